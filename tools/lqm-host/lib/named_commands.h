// The 4D language commands the host can run for the plugin through
// EX_GET_COMMAND_ID and EX_EXECUTE_COMMAND_BY_ID.
//
// A command is one row: its 4D number, its English name as 4D spells it, a
// runner and an availability test over the host's settings (a command that is
// not available is unknown: its look-up answers 0). The rows come from two
// files: named_commands.cpp (environment commands) and resource_commands.cpp
// (paths and resource files); adding a command is one row and one runner in
// the file of its family.
//
// A runner reads the argument variables and writes outputs in place, as 4D
// does: an output argument's old content is released and the new content
// belongs to the caller, who clears the variable afterwards. A runner
// reports failure through `error`, which becomes the engine block's error
// word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_abi.h"
#include "values.h"

namespace lqm::host {

class Host;
struct Settings;

struct CommandContext {
  Host& host;
  std::vector<abi::VariableRecord*> args;
  abi::VariableRecord* result;
  int16_t error = 0;

  // Readers: false when the argument is missing or of another kind.
  bool ArgText(size_t index, std::u16string& out) const;
  bool ArgLongint(size_t index, int32_t& out) const;  // longint or time
  // Writers replace the argument's or the result's value.
  void SetArg(size_t index, const Value& value);
  void SetResult(const Value& value);
};

using CommandRunner = void (*)(CommandContext& context);

struct NamedCommand {
  int32_t number;
  const char* name;
  CommandRunner run;
  bool (*available)(const Settings& settings);  // null: always
};

// Every command the host knows, from both families.
const std::vector<NamedCommand>& NamedCommands();
// The rows of each family.
void AddEnvironmentCommands(std::vector<NamedCommand>& rows);
void AddResourceCommands(std::vector<NamedCommand>& rows);

// Lower-cases ASCII letters: 4D matches command and variable names in any case.
std::string FoldName(std::string name);

}  // namespace lqm::host
