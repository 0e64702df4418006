// The development host: an in-process stand-in for the 4D application that
// loads the plugin library and plays 4D's side of the plugin interface.
//
// Contents
//   Settings, Stats, CallOutcome   what tests and the session protocol see
//   FaultPlan, FaultStatus         failing the N-th host operation of a kind
//   Host                           one emulated 4D application
//
// Invariants
// - Every text, handle and variable the host hands to the plugin is in the
//   host's registry (host_memory.h) with its owner: the host, or the plugin
//   when the plugin made it (or received it as the content of a command's
//   output) and has neither released it nor handed it back. The "live"
//   counts of Stats are the plugin-owned entries; after every command of a
//   correct plugin they are 0.
// - The plugin reaches the host only through the callback, a plain function
//   that finds the active Host through one process-wide pointer: the most
//   recently constructed Host that is still alive. One Host per process at a
//   time is the supported use.
// - Everything the callback touches is guarded by the host's mutex, so codec
//   commands marked thread-safe may run on several threads at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/resfile.h"

#include "host/host_abi.h"
#include "host_memory.h"
#include "plugin_library.h"
#include "values.h"

namespace lqm::host {

enum class Platform { kWindows, kMacOS, kUnknown };

struct Settings {
  Platform platform = Platform::kWindows;
  bool platformProperties = true;  // false: "PLATFORM PROPERTIES" is unknown
  int32_t applicationType = 0;     // 0 single-user, 1 merged, 4 remote, 5 server
  bool compiled = false;
  std::filesystem::path appFolder;  // real directory reported as folder kind 4
  // Forced answers of EX_GET_COMMAND_ID, by lower-cased 4D command name.
  std::map<std::string, int32_t> commandIds;
  // Lower-cased names of commands whose execution fails.
  std::set<std::string> failingCommands;
};

// Fault injection: the host fails the N-th operation of one kind, counted
// from the moment the plan is set, as the real operation fails (error word,
// outputs cleared as on a genuine failure) and does nothing else. The kinds
// group the callback selectors:
//   handle     EX_CONVERT_STRING (BLOB measure, copy, make) and every
//              EX_HANDLE_MANAGER sub-operation                     error -108
//   variable   EX_CLEAR_VARIABLE, EX_GET_VARIABLE (both tables),
//              EX_VARIABLE_TO_STRING                               error -108
//   text       EX_CREATE/SET/DISPOSE_UNISTRING                     error -108
//   charset    EX_CONVERT_CHARSET_TO_CHARSET                       error -50
//   lookup     EX_GET_COMMAND_ID (answers 0)                       error -108
//   execution  EX_EXECUTE_COMMAND_BY_ID (the command does not run) error -9999
//   folder     EX_GET_4D_FOLDER                                    error -43
// A release (dispose, clear) that fails leaves its object alive, as it would
// in 4D; the live counts then show it. A persistent plan fails releases only
// as the N-th operation, so the failure paths' own clean-up is still seen.
enum class FaultKind { kNone, kHandle, kVariable, kText, kCharset, kLookup, kExecution, kFolder };

struct FaultPlan {
  FaultKind kind = FaultKind::kNone;
  int64_t nth = 0;          // 1: the next operation of the kind fails
  bool persistent = false;  // true: the N-th and every later one but releases fail
};

struct FaultStatus {
  int64_t counted = 0;        // operations of the planned kind since the plan was set
  int64_t fired = 0;          // how many of them failed
  int16_t lastSelector = 0;   // the selector of the last failed operation
  int64_t lastOperation = 0;  // its sub-operation (fParam1), for handles
  bool lastWasRelease = false;  // the last failure left an object alive
  bool releaseFailed = false;   // some failure left an object alive
};

// Parses "handle", "variable", ...; false for an unknown name.
bool FaultKindFromName(const std::string& name, FaultKind& kind);
const char* FaultKindName(FaultKind kind);

struct LiveCounts {
  int64_t variables = 0;
  int64_t texts = 0;
  int64_t handles = 0;
  bool operator==(const LiveCounts& o) const {
    return variables == o.variables && texts == o.texts && handles == o.handles;
  }
};

struct Stats {
  uint64_t callbacks = 0;
  std::map<std::string, int64_t> commandsRun;  // by the 4D command's own spelling
  // Every path "Test path name" was given, in order, as the plugin wrote it:
  // where discovery looked for the bundle (`lqm-host where` reads them).
  std::vector<std::u16string> pathsTested;
  LiveCounts live;
};

struct CallOutcome {
  std::string error;            // not empty: the call was refused or the plugin broke a rule
  std::optional<Value> result;  // empty when the command set no result
  std::vector<Value> args;      // the arguments after the call
  bool ok() const { return error.empty(); }
};

// Error codes the host puts into the engine block's error word. The memory
// codes are the classic Memory Manager's, which 4D's own handle calls report.
inline constexpr int16_t kErrorUnknownSelector = -4;  // unimplemented routine
inline constexpr int16_t kErrorFileNotFound = -43;
inline constexpr int16_t kErrorBadParameter = -50;
inline constexpr int16_t kErrorNoMemory = -108;
inline constexpr int16_t kErrorNullHandle = -109;
inline constexpr int16_t kErrorUnknownBlock = -111;   // not a block this host made, or freed
inline constexpr int16_t kErrorNotOwned = -117;       // a named variable's content
inline constexpr int16_t kErrorCommandFailed = -9999; // a command listed as failing

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Loads the library and finds FourDPackex; false with a message otherwise.
  bool LoadPlugin(const std::filesystem::path& path, std::string& error);
  // Runs an entry point linked into the calling program instead of a loaded
  // library (tests drive the statically linked plugin this way, whose
  // allocator seam they can reach). Its globals are its own, apart from any
  // loaded library's.
  void AttachEntryPoint(abi::EntryPointFunction entry);
  bool HasPlugin() const { return library_.IsLoaded(); }

  // Runs the entry point with a lifecycle selector. For -1 and -200 returns
  // the version the plugin wrote into the init block; 0 otherwise. A
  // positive selector runs the routine with empty parameters.
  int32_t Select(int32_t selector);

  // Runs routine `routine` (or the command named `name`, any case) with the
  // given arguments, stored as 4D stores each declared parameter kind.
  CallOutcome Call(int32_t routine, const std::vector<Value>& args);
  // The same, but each BLOB argument's bytes move into its parameter's
  // handle instead of being copied (the BLOBs of `args` are left empty); the
  // outcome's `args` hold them again after the call, so a caller repeating
  // a call on large BLOBs passes them along without copying (4D's own BLOBs
  // are handles already; the copy is this host's, not the interface's).
  CallOutcome Call(int32_t routine, std::vector<Value>&& args);
  CallOutcome Call(std::string_view name, const std::vector<Value>& args);

  // Process variables, or interprocess ones when the name starts with "<>".
  void SetVariable(const std::string& name, const Value& value);
  void UnsetVariable(const std::string& name);
  std::optional<Value> GetVariable(const std::string& name);

  Settings GetSettings() const;
  void SetSettings(const Settings& settings);
  Stats GetStats() const;
  LiveCounts GetLiveCounts() const;
  void NotePathTested(std::u16string path);  // for "Test path name"

  // Arms a fault plan (FaultKind::kNone disarms) and restarts its counts.
  void InjectFault(const FaultPlan& plan);
  FaultStatus GetFaultStatus() const;

  // The callback handed to the plugin: static, with 4D's signature.
  static void LQM_CALLCONV Callback(int16_t selector, abi::EngineBlock* block);
  // The callback's work for this host (also callable directly by tests).
  void HandleCallback(int16_t selector, abi::EngineBlock& block);

  // Path syntax of the emulated platform: the app folder as the plugin sees
  // it, and a path the plugin hands back turned into a real one (a relative
  // path is taken from the app folder, the database folder, as 4D does).
  std::u16string EmulatedPath(const std::filesystem::path& real) const;
  std::optional<std::filesystem::path> RealPath(std::u16string_view emulated) const;

  HostMemory& memory() { return memory_; }

  // The resource files "Open resource file" has opened, in opening order;
  // "GET RESOURCE" without a file searches them most recent first. 4D keeps
  // them open until the application quits, and so does a Host.
  struct OpenResourceFile {
    int32_t reference;
    std::vector<resfile::Resource> resources;
  };
  std::vector<OpenResourceFile>& openResourceFiles() { return openResourceFiles_; }
  std::mutex& resourceFilesMutex() { return resourceFilesMutex_; }

 private:
  friend struct CommandContext;
  friend class CallFrame;  // call_frame.h

  // Both Call overloads: `movable` is `args` itself when its BLOBs may move.
  CallOutcome CallWith(int32_t routine, const std::vector<Value>& args, std::vector<Value>* movable);

  // Selector handlers (host_callback.cpp). Each reads only its own fields.
  void OnConvertString(abi::EngineBlock& block);
  void OnHandleManager(abi::EngineBlock& block);
  void OnClearVariable(abi::EngineBlock& block);
  void OnCreateText(abi::EngineBlock& block);
  void OnSetText(abi::EngineBlock& block);
  void OnDisposeText(abi::EngineBlock& block);
  void OnVariableToText(abi::EngineBlock& block);
  void OnGetVariable(abi::EngineBlock& block, bool interprocess);
  void OnGetFolder(abi::EngineBlock& block);
  void OnConvertCharset(abi::EngineBlock& block);
  void OnGetCommandId(abi::EngineBlock& block);
  void OnExecuteCommand(abi::EngineBlock& block);
  // True when this operation is the one the fault plan fails; it has then
  // been failed (host_callback.cpp).
  bool FailIfPlanned(int16_t selector, abi::EngineBlock& block);

  PluginLibrary library_;
  void* dataSlot_ = nullptr;  // the per-plugin `data` slot, never read
  HostMemory memory_;
  mutable std::mutex settingsMutex_;
  Settings settings_;
  std::atomic<uint64_t> callbacks_{0};
  mutable std::mutex statsMutex_;
  std::map<std::string, int64_t> commandsRun_;
  std::vector<std::u16string> pathsTested_;
  // Named variables, keyed by lower-cased name; contents host-owned, pinned.
  std::mutex variablesMutex_;
  std::map<std::string, abi::VariableRecord> processVariables_;
  std::map<std::string, abi::VariableRecord> interprocessVariables_;
  std::mutex resourceFilesMutex_;
  std::vector<OpenResourceFile> openResourceFiles_;
  mutable std::mutex faultMutex_;
  // Whether a plan is in force, read without the lock by every callback:
  // with none (the usual case) a callback takes no lock for it.
  std::atomic<bool> faultArmed_{false};
  FaultPlan faultPlan_;
  FaultStatus faultStatus_;
};

// The executable's own path (for the default plugin and app folder).
std::filesystem::path ExecutablePath();
// <exe dir>/../app/Plugins/VarnelFolioforge.bundle/Contents/<platform>/<file>
std::filesystem::path DefaultPluginPath();
// <exe dir>/../app
std::filesystem::path DefaultAppFolder();

}  // namespace lqm::host
