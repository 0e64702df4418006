// The command table as data: one CommandInfo per row of commands.def, in
// routine order, for every consumer that needs names and kinds at run time
// (lqm-host, the manifest generator, the documentation). The dispatcher
// expands commands.def itself, into handler pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct CommandInfo {
  int32_t number;
  std::string_view name;
  std::string_view theme;
  std::string_view parameters;  // one 4D type letter per parameter
  std::string_view result;      // one letter, or empty
  bool threadSafe;
  std::string_view summary;
};

inline constexpr CommandInfo kCommandTable[] = {
#define LQM_COMMAND(number, name, theme, parameters, result, threadSafe, summary) \
  {number, #name, theme, parameters, result, threadSafe, summary},
#include "frame/commands.def"
#undef LQM_COMMAND
};

inline constexpr int32_t kHighestRoutine = 46;

namespace lqm::detail {
constexpr bool CommandTableIsOrdered() {
  int32_t previous = 0;
  for (const CommandInfo& row : kCommandTable) {
    if (row.number <= previous || row.number > kHighestRoutine) return false;
    for (char letter : row.parameters)
      if (letter != 'L' && letter != 'I' && letter != 'T' && letter != 'O' && letter != 'Y')
        return false;
    if (row.result.size() > 1) return false;
    previous = row.number;
  }
  return previous == kHighestRoutine;
}
}  // namespace lqm::detail

static_assert(lqm::detail::CommandTableIsOrdered(),
              "commands.def: routine numbers must ascend within 1..46 and use known type letters");

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
