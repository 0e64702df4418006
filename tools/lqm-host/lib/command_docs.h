// The command reference: the rows of src/host/commands.def joined with their
// prose from src/frame/command_docs.def, and the text made of them
// (docs/commands.md by `lqm-gen commands-md`, one entry by `lqm-host help`).
//
// Invariants, checked at compile time below: every command has exactly one
// prose row, every prose row names a command, and each row describes as many
// parameters as the command declares. Numbers, names, types, themes and
// thread safety come only from commands.def.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frame/command_table.h"

namespace lqm::docs {

struct CommandDoc {
  std::string_view name;
  std::string_view parameters;  // one "name: meaning" line per parameter
  std::string_view result;
  std::string_view failure;
  std::string_view example;
};

inline constexpr CommandDoc kCommandDocs[] = {
#define LQM_DOC(name, parameters, result, failure, example) {#name, parameters, result, failure, example},
#include "frame/command_docs.def"
#undef LQM_DOC
};

// The themes in the order of the reference; every row's theme is one of them.
inline constexpr std::string_view kThemeOrder[] = {"LQM Codecs", "LQM Formats", "LQM Resources",
                                                   "LQM Print"};

namespace detail {
constexpr size_t CountLines(std::string_view text) {
  if (text.empty()) return 0;
  size_t lines = 1;
  for (char c : text)
    if (c == '\n') ++lines;
  return lines;
}

constexpr bool DocsMatchCommandTable() {
  for (const CommandInfo& row : kCommandTable) {
    int found = 0;
    for (const CommandDoc& doc : kCommandDocs)
      if (doc.name == row.name) {
        ++found;
        if (CountLines(doc.parameters) != row.parameters.size()) return false;
      }
    if (found != 1) return false;
    bool themeKnown = false;
    for (std::string_view theme : kThemeOrder) themeKnown = themeKnown || theme == row.theme;
    if (!themeKnown) return false;
  }
  // Compared by name, not by FindCommand's pointer: GCC does not fold
  // pointer comparisons into constants in sanitizer builds.
  for (const CommandDoc& doc : kCommandDocs) {
    bool known = false;
    for (const CommandInfo& row : kCommandTable) known = known || row.name == doc.name;
    if (!known) return false;
  }
  return true;
}
}  // namespace detail

static_assert(detail::DocsMatchCommandTable(),
              "command_docs.def: one row per command of commands.def, each with one line per "
              "parameter; every theme listed in kThemeOrder");

// The prose row of a command name, or null.
const CommandDoc* FindCommandDoc(std::string_view name);

struct ParameterDoc {
  std::string name;
  std::string type;  // the 4D type as the reference shows it
  std::string meaning;
};

// The parameters of a command with names, 4D types and meanings. A line that
// does not read "name: meaning" (or "name [Type]: meaning" for a parameter of
// letter Y) gives a parameter named "?" so that the tests catch it.
std::vector<ParameterDoc> DescribeParameters(const CommandInfo& row);

// The 4D type name of a parameter or result letter ("Longint", "BLOB" ...).
std::string TypeName(char letter);

// The call as 4D's method editor shows it: "LQM_ComputeCRC(data; model; engine) -> Longint".
std::string SyntaxLine(const CommandInfo& row);

// One command's entry in Markdown (heading, syntax, parameters, result, bad
// input, resources, thread safety, example).
std::string CommandEntryMarkdown(const CommandInfo& row);

// The whole of docs/commands.md.
std::string CommandsMarkdown();


}  // namespace lqm::docs
