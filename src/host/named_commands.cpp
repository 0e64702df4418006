// Runners of 4D commands by name (see named_commands.h).
//
// Caching rules: the three commands run on every resource access keep their
// number from one look-up to the next, private to this file and cleared by
// NamedCommandsInit/NamedCommandsShutdown. A stored 0 means "not looked up
// yet", so a name 4D did not know is looked up again next time.
// "GET RESOURCE" does not run with number 0; "Open resource file" and "Test
// Path Name" run with any number that is not negative, and keep a negative
// answer until the next initialisation, failing at once with it. The
// uncached commands look their name up on each run.
#include "host/named_commands.h"

#include <cstring>

#include "base/plugin_heap.h"
#include "host/host_calls.h"
#include "host/texts.h"

namespace {

using lqm::abi::kKindBlob;
using lqm::abi::kKindBoolean;
using lqm::abi::kKindLongint;
using lqm::abi::kKindTime;
using lqm::abi::kKindUndefined;

// The 4D commands run often enough to keep their numbers.
enum CachedCommand { kCommandGetResource = 0, kCommandTestPathName = 1, kCommandOpenResourceFile = 2 };
constexpr int kCachedCommandCount = 3;
constexpr const char* kCachedCommandNames[kCachedCommandCount] = {"GET RESOURCE", "Test Path Name",
                                                                   "Open resource file"};

int32_t gCommandIdCache[kCachedCommandCount] = {};

// The number of a cached command after a look-up when none is stored yet.
int32_t CachedCommandId(CachedCommand command) {
  int32_t& slot = gCommandIdCache[command];
  if (slot == 0) slot = LookUpCommandId(kCachedCommandNames[command]);
  return slot;
}

// Whether a cached number may be run: "GET RESOURCE" needs a number 4D gave;
// the path commands are refused only a number 4D marked as unknown.
bool Runnable(CachedCommand command, int32_t id) {
  return command == kCommandGetResource ? id != 0 : id >= 0;
}

// Argument variables of one run, released on every path out.
struct CommandArguments {
  HostVariable variables[4];
  int count = 0;

  HostVariable& Add() {
    HostVariable& variable = variables[count++];
    variable = HostCreateVariable();
    return variable;
  }
  // A text argument: a 4D text made from UTF-8, owned by the variable.
  bool AddText(const char* utf8) {
    HostVariable& variable = Add();
    const HostText text = NewHostTextFromUtf8(utf8);
    if (HostGetLastError() != 0 || text.units == nullptr) return false;
    HostSetTextVariable(variable, text);
    return true;
  }
  ~CommandArguments() {
    for (int i = 0; i < count; ++i) HostClearVariable(variables[i]);
  }
};

// The result variable of one run, released on every path out.
struct CommandResult {
  HostVariable variable;
  bool ok;
  CommandResult(int32_t command, CommandArguments& arguments)
      : variable(HostExecuteCommand(command, arguments.variables, arguments.count)),
        ok(HostGetLastError() == 0) {}
  ~CommandResult() { HostClearVariable(variable); }
};

}  // namespace

void NamedCommandsInit() {
  for (int32_t& id : gCommandIdCache) id = 0;
}

void NamedCommandsShutdown() { NamedCommandsInit(); }

int32_t LookUpCommandId(const char* name) {
  char* utf16 = nullptr;
  Utf8ToUtf16(name, static_cast<int64_t>(std::strlen(name)), &utf16, true);
  if (utf16 == nullptr) return 0;
  const int32_t id = HostGetCommandId(reinterpret_cast<const char16_t*>(utf16));
  PluginFree(utf16);
  return id;
}

namespace {
// Runs a cached command with one path argument; the result variable when it
// ran and gave `kind`.
bool RunPathCommand(CachedCommand cached, const char* path, lqm::abi::VariableKind kind,
                    HostVariable* out) {
  const int32_t command = CachedCommandId(cached);
  if (!Runnable(cached, command)) return false;
  CommandArguments arguments;
  if (!arguments.AddText(path)) return false;
  CommandResult result(command, arguments);
  if (!result.ok || HostGetVariableKind(result.variable) != kind) return false;
  *out = result.variable;  // a plain value: nothing it holds outlives the clear
  return true;
}
}  // namespace

uint16_t RunTestPathName(const char* path) {
  HostVariable result;
  if (!RunPathCommand(kCommandTestPathName, path, kKindLongint, &result)) return 65535;
  return static_cast<uint16_t>(HostGetLongVariable(result));
}

int32_t RunOpenResourceFile(const char* path) {
  HostVariable result;
  if (!RunPathCommand(kCommandOpenResourceFile, path, kKindTime, &result)) return 0;
  return HostGetTimeVariable(result);
}

bool RunGetResource(const char* type, uint32_t number, char** data, int64_t* length, int64_t extra) {
  *length = 0;
  if (number == 0xFFFFFFFFu) return false;
  const int32_t command = CachedCommandId(kCommandGetResource);
  if (!Runnable(kCommandGetResource, command)) return false;
  CommandArguments arguments;
  if (!arguments.AddText(type)) return false;
  HostSetLongVariable(arguments.Add(), static_cast<int32_t>(number));
  HostSetBlobVariable(arguments.Add(), nullptr, 0);
  CommandResult result(command, arguments);
  if (!result.ok) return false;
  const HostVariable& blob = arguments.variables[2];
  if (HostGetVariableKind(blob) != kKindBlob) return false;
  const int64_t size = HostGetBlobVariable(blob, nullptr);
  if (size <= 0 || HostGetLastError() != 0) return false;
  if (extra < 0) extra = 0;
  void* buffer = PluginRealloc(*data, static_cast<size_t>(size + extra));
  if (buffer == nullptr) return false;
  *data = static_cast<char*>(buffer);
  if (HostGetBlobVariable(blob, *data) != size || HostGetLastError() != 0) return false;
  *length = size;
  return true;
}

int RunPlatformProperties(int32_t values[3]) {
  const int32_t command = LookUpCommandId("PLATFORM PROPERTIES");
  if (command == 0 || HostGetLastError() != 0) return -1;
  CommandArguments arguments;
  for (int i = 0; i < 3; ++i) HostSetLongVariable(arguments.Add(), 0);
  CommandResult result(command, arguments);
  // The command exists but failed: nothing is known, and asking "Is macOS"
  // instead would answer a different question than the one that failed.
  if (!result.ok) return 0;
  int read = 0;
  while (read < 3 && HostGetVariableKind(arguments.variables[read]) == kKindLongint) {
    values[read] = HostGetLongVariable(arguments.variables[read]);
    ++read;
  }
  return read;
}

namespace {
// Runs an uncached 4D command without arguments; the result variable when it
// ran and gave `kind`, else undefined.
bool RunResultCommand(const char* name, lqm::abi::VariableKind kind, HostVariable* out) {
  const int32_t command = LookUpCommandId(name);
  if (HostGetLastError() != 0) return false;
  CommandArguments arguments;
  CommandResult result(command, arguments);
  if (!result.ok || HostGetVariableKind(result.variable) != kind) return false;
  *out = result.variable;  // a plain value: nothing it holds outlives the clear
  return true;
}
}  // namespace

bool RunBooleanCommand(const char* name, bool* value) {
  HostVariable result;
  *value = false;
  if (!RunResultCommand(name, kKindBoolean, &result)) return false;
  *value = HostGetBooleanVariable(result);
  return true;
}

bool RunLongintCommand(const char* name, int32_t* value) {
  HostVariable result;
  if (!RunResultCommand(name, kKindLongint, &result)) return false;
  *value = HostGetLongVariable(result);
  return true;
}
