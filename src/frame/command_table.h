// The command table as data: one CommandInfo per row of commands.def, in
// routine order, for the dispatcher and for every consumer that needs names,
// kinds or rules at run time (lqm-host, the manifest generator, the
// documentation, the tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What must hold before a command's handler runs; each level includes the
// ones before it (see commands.def).
enum class CommandNeeds : uint8_t { kNothing, kResources, kPlugin, kSession };
// The answer when a need is not met.
enum class MissingAnswer : uint8_t { kNone, kEmpty };

struct CommandInfo {
  int32_t number;
  std::string_view name;
  std::string_view theme;
  std::string_view parameters;  // one 4D type letter per parameter
  std::string_view result;      // one letter, or empty
  CommandNeeds needs;
  MissingAnswer missing;
  std::string_view typicalCall;  // `lqm-host call` arguments
  std::string_view summary;
  // May run in preemptive 4D processes: it needs nothing of the plugin's
  // state, so the dispatcher runs it without discovery (needs kNothing).
  bool threadSafe;
};

namespace lqm::detail {
inline constexpr CommandNeeds NOTHING = CommandNeeds::kNothing;
inline constexpr CommandNeeds RESOURCES = CommandNeeds::kResources;
inline constexpr CommandNeeds PLUGIN = CommandNeeds::kPlugin;
inline constexpr CommandNeeds SESSION = CommandNeeds::kSession;
inline constexpr MissingAnswer NONE = MissingAnswer::kNone;
inline constexpr MissingAnswer EMPTY = MissingAnswer::kEmpty;
}  // namespace lqm::detail

inline constexpr CommandInfo kCommandTable[] = {
#define LQM_COMMAND(number, name, theme, parameters, result, needs, missing, typical, summary) \
  {number, #name, theme, parameters, result, lqm::detail::needs, lqm::detail::missing, typical, summary, \
   lqm::detail::needs == CommandNeeds::kNothing},
#include "host/commands.def"
#undef LQM_COMMAND
};

// The highest routine number 4D may call: the last row's.
inline constexpr int32_t kHighestRoutine = kCommandTable[std::size(kCommandTable) - 1].number;

namespace lqm::detail {
constexpr bool CommandTableIsWellFormed() {
  int32_t previous = 0;
  for (const CommandInfo& row : kCommandTable) {
    if (row.number <= previous) return false;
    for (char letter : row.parameters)
      if (letter != 'L' && letter != 'I' && letter != 'T' && letter != 'O' && letter != 'Y') return false;
    if (row.result.size() > 1) return false;
    // A command without a result has no empty answer to give.
    if (row.result.empty() && row.missing == MissingAnswer::kEmpty) return false;
    previous = row.number;
  }
  return true;
}
}  // namespace lqm::detail

static_assert(lqm::detail::CommandTableIsWellFormed(),
              "commands.def: routine numbers must ascend, use known type letters, and a command "
              "without a result cannot answer EMPTY");

// The row of a routine number, or null when it has none.
constexpr const CommandInfo* FindCommand(int32_t number) {
  for (const CommandInfo& row : kCommandTable)
    if (row.number == number) return &row;
  return nullptr;
}

// The row of a command name (exact spelling), or null.
constexpr const CommandInfo* FindCommand(std::string_view name) {
  for (const CommandInfo& row : kCommandTable)
    if (row.name == name) return &row;
  return nullptr;
}
