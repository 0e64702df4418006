// The environment commands of the emulated 4D (named_commands.h): platform,
// compilation mode, application type. Their answers come from the host's
// settings, which the session protocol's "host" request changes.
#include "named_commands.h"

#include <cstring>

#include "host.h"
#include "host_records.h"

namespace lqm::host {

std::string FoldName(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return name;
}

// ---------------------------------------------------------------------------
// Context helpers
// ---------------------------------------------------------------------------

bool CommandContext::ArgText(size_t index, std::u16string& out) const {
  if (index >= args.size() || !IsTextKind(args[index]->kind)) return false;
  std::string problem;
  abi::TextRecord text;
  std::memcpy(&text, &args[index]->value.text, sizeof text);
  return ReadText(host.memory(), text, out, problem);
}

bool CommandContext::ArgLongint(size_t index, int32_t& out) const {
  if (index >= args.size()) return false;
  uint8_t kind = args[index]->kind;
  if (kind != abi::kKindLongint && kind != abi::kKindTime) return false;
  out = args[index]->value.longint;
  return true;
}

namespace {
// Replaces a variable's value in place, keeping its crossing token.
void Replace(HostMemory& memory, abi::VariableRecord& record, const Value& value) {
  uint64_t token = TokenOf(record);
  ClearRecord(memory, record);
  StoreValue(memory, value, record, Owner::kPlugin);
  if (token) StampToken(record, token);
}
}  // namespace

void CommandContext::SetArg(size_t index, const Value& value) {
  if (index < args.size()) Replace(host.memory(), *args[index], value);
}

void CommandContext::SetResult(const Value& value) { Replace(host.memory(), *result, value); }

// ---------------------------------------------------------------------------
// Environment commands
// ---------------------------------------------------------------------------

namespace {

// What PLATFORM PROPERTIES reports besides the platform: a plausible system
// version (Windows 10, macOS 14) and machine kind 0; the plugin reads only
// the platform.
constexpr int32_t kPlatformMacOS = 2;
constexpr int32_t kPlatformWindows = 3;

void RunPlatformProperties(CommandContext& c) {
  bool mac = c.host.GetSettings().platform == Platform::kMacOS;
  const int32_t values[3] = {mac ? kPlatformMacOS : kPlatformWindows, mac ? 14 : 10, 0};
  for (size_t i = 0; i < 3; ++i) c.SetArg(i, Value::Longint(values[i]));
}

void RunIsMacOS(CommandContext& c) {
  c.SetResult(Value::Boolean(c.host.GetSettings().platform == Platform::kMacOS));
}

void RunIsWindows(CommandContext& c) {
  c.SetResult(Value::Boolean(c.host.GetSettings().platform == Platform::kWindows));
}

void RunIsCompiledMode(CommandContext& c) {
  c.SetResult(Value::Boolean(c.host.GetSettings().compiled));
}

void RunApplicationType(CommandContext& c) {
  c.SetResult(Value::Longint(c.host.GetSettings().applicationType));
}

bool PlatformKnown(const Settings& s) { return s.platform != Platform::kUnknown; }
bool PlatformPropertiesKnown(const Settings& s) {
  return s.platform != Platform::kUnknown && s.platformProperties;
}

}  // namespace

void AddEnvironmentCommands(std::vector<NamedCommand>& rows) {
  rows.push_back({365, "PLATFORM PROPERTIES", RunPlatformProperties, PlatformPropertiesKnown});
  rows.push_back({492, "Is compiled mode", RunIsCompiledMode, nullptr});
  rows.push_back({494, "Application type", RunApplicationType, nullptr});
  rows.push_back({1572, "Is macOS", RunIsMacOS, PlatformKnown});
  rows.push_back({1573, "Is Windows", RunIsWindows, PlatformKnown});
}

const std::vector<NamedCommand>& NamedCommands() {
  static const std::vector<NamedCommand> rows = [] {
    std::vector<NamedCommand> all;
    AddEnvironmentCommands(all);
    AddResourceCommands(all);
    return all;
  }();
  return rows;
}

}  // namespace lqm::host
