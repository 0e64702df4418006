// The development host: lifecycle, command calls, named variables, settings
// and paths (host.h). The callback's selectors are in host_callback.cpp.
//
// Contents
//   Lifecycle and init block
//   Command calls: one CallFrame (call_frame.h) per call
//   Named variables, settings, statistics
//   Paths of the emulated platform, the executable's own path
#include "host.h"

#include <cstring>

#include "call_frame.h"
#include "charsets.h"
#include "frame/command_table.h"
#include "host_records.h"
#include "named_commands.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lqm::host {

void RegisterActiveHost(Host* host);
void UnregisterActiveHost(Host* host);

using abi::VariableRecord;

// ---------------------------------------------------------------------------
// Lifecycle and init block
// ---------------------------------------------------------------------------

Host::Host() {
  settings_.appFolder = DefaultAppFolder();
  RegisterActiveHost(this);
}

Host::~Host() {
  // The plugin must not call back while it is being unloaded.
  UnregisterActiveHost(this);
  library_.Unload();
  std::lock_guard<std::mutex> lock(variablesMutex_);
  for (auto* table : {&processVariables_, &interprocessVariables_})
    for (auto& [name, record] : *table) {
      std::vector<const void*> objects;
      CollectObjects(memory_, record, objects);
      for (const void* object : objects) memory_.Release(object);
    }
}

bool Host::LoadPlugin(const std::filesystem::path& path, std::string& error) {
  return library_.Load(path, error);
}

void Host::AttachEntryPoint(abi::EntryPointFunction entry) { library_.Attach(entry); }

int32_t Host::Select(int32_t selector) {
  if (!library_.IsLoaded()) return 0;
  if (selector == abi::kSelectorInit || selector == abi::kSelectorServerInit) {
    abi::InitBlock init;
    std::memset(&init, 0, sizeof init);
    init.hostVersion = abi::kInterfaceVersion;
    init.length = int32_t(sizeof init);
    init.callback = reinterpret_cast<void*>(&Host::Callback);
    library_.entry()(selector, &init, &dataSlot_, nullptr);
    return init.supportedVersion;
  }
  if (selector > 0) {
    Call(selector, {});
    return 0;
  }
  // Lifecycle notices carry no block.
  library_.entry()(selector, nullptr, &dataSlot_, nullptr);
  return 0;
}

// ---------------------------------------------------------------------------
// Command calls
// ---------------------------------------------------------------------------

CallOutcome Host::Call(int32_t routine, const std::vector<Value>& args) {
  return CallWith(routine, args, nullptr);
}

CallOutcome Host::Call(int32_t routine, std::vector<Value>&& args) { return CallWith(routine, args, &args); }

CallOutcome Host::CallWith(int32_t routine, const std::vector<Value>& args, std::vector<Value>* movable) {
  CallOutcome outcome;
  if (!library_.IsLoaded()) {
    outcome.error = "no plugin loaded";
    return outcome;
  }
  // Routines without a row (0, 20..23, negative) get storage that matches
  // the values given.
  const CommandInfo* row = routine > 0 ? FindCommand(routine) : nullptr;
  CallFrame frame(*this, row);
  if (!frame.Build(args, movable, outcome.error)) return outcome;
  frame.Run(routine);
  return frame.Collect();
}

CallOutcome Host::Call(std::string_view name, const std::vector<Value>& args) {
  std::string folded = FoldName(std::string(name));
  for (const CommandInfo& row : kCommandTable)
    if (FoldName(std::string(row.name)) == folded) return Call(row.number, args);
  CallOutcome outcome;
  outcome.error = "unknown command \"" + std::string(name) + "\"";
  return outcome;
}

// ---------------------------------------------------------------------------
// Named variables, settings, statistics
// ---------------------------------------------------------------------------

namespace {
// "<>name" is the interprocess variable "name".
bool SplitVariableName(const std::string& name, std::string& key) {
  bool interprocess = name.compare(0, 2, "<>") == 0;
  key = FoldName(interprocess ? name.substr(2) : name);
  return interprocess;
}

void ReleaseRecord(HostMemory& memory, const VariableRecord& record) {
  std::vector<const void*> objects;
  CollectObjects(memory, record, objects);
  for (const void* object : objects) memory.Release(object);
}
}  // namespace

void Host::SetVariable(const std::string& name, const Value& value) {
  std::string key;
  bool interprocess = SplitVariableName(name, key);
  VariableRecord record;
  if (!StoreValue(memory_, value, record, Owner::kPinned)) return;
  std::lock_guard<std::mutex> lock(variablesMutex_);
  auto& table = interprocess ? interprocessVariables_ : processVariables_;
  auto it = table.find(key);
  if (it != table.end()) {
    ReleaseRecord(memory_, it->second);
    it->second = record;
  } else {
    table.emplace(key, record);
  }
}

void Host::UnsetVariable(const std::string& name) {
  std::string key;
  bool interprocess = SplitVariableName(name, key);
  std::lock_guard<std::mutex> lock(variablesMutex_);
  auto& table = interprocess ? interprocessVariables_ : processVariables_;
  auto it = table.find(key);
  if (it == table.end()) return;
  ReleaseRecord(memory_, it->second);
  table.erase(it);
}

std::optional<Value> Host::GetVariable(const std::string& name) {
  std::string key;
  bool interprocess = SplitVariableName(name, key);
  std::lock_guard<std::mutex> lock(variablesMutex_);
  auto& table = interprocess ? interprocessVariables_ : processVariables_;
  auto it = table.find(key);
  if (it == table.end()) return std::nullopt;
  Value value;
  std::string error;
  if (!ReadValue(memory_, it->second, value, error)) return std::nullopt;
  return value;
}

Settings Host::GetSettings() const {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  return settings_;
}

void Host::SetSettings(const Settings& settings) {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  settings_ = settings;
}

LiveCounts Host::GetLiveCounts() const {
  LiveObjects live = memory_.Live();
  return LiveCounts{live.variables, live.texts, live.handles};
}

Stats Host::GetStats() const {
  Stats stats;
  stats.callbacks = callbacks_.load();
  {
    std::lock_guard<std::mutex> lock(statsMutex_);
    stats.commandsRun = commandsRun_;
    stats.pathsTested = pathsTested_;
  }
  stats.live = GetLiveCounts();
  return stats;
}

void Host::NotePathTested(std::u16string path) {
  std::lock_guard<std::mutex> lock(statsMutex_);
  pathsTested_.push_back(std::move(path));
}

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

namespace {
// The volume a macOS path starts with; it stands for the real root.
constexpr char16_t kMacVolume[] = u"Macintosh HD";
}  // namespace

std::u16string Host::EmulatedPath(const std::filesystem::path& real) const {
  std::filesystem::path absolute = real.is_absolute() ? real : std::filesystem::absolute(real);
  Platform platform = GetSettings().platform;
  std::u16string out;
  if (platform == Platform::kMacOS) {
    // HFS syntax: "Volume:folder:folder:" as 4D reports folders on macOS.
    out = kMacVolume;
    for (const auto& part : absolute.relative_path())
      if (!part.empty()) out += u":" + Utf8ToUtf16(part.u8string());
    return out + u":";
  }
  // Windows syntax. On Linux the real root is shown as drive Z:, as wine does.
#if defined(_WIN32)
  out = Utf8ToUtf16(absolute.u8string());
#else
  out = u"Z:" + Utf8ToUtf16(absolute.u8string());
#endif
  for (char16_t& c : out)
    if (c == u'/') c = u'\\';
  if (out.empty() || out.back() != u'\\') out += u'\\';
  return out;
}

// 4D resolves a relative path against the database folder (the one folder
// kind 4 reports), not against the process's working folder, and so does
// this host. On Windows a path is absolute when it starts with a drive letter
// or with two backslashes (a network path); one starting with a single
// backslash is, as on Windows, taken from the root of the database folder's
// drive (on Linux the emulated drive is the root, as in EmulatedPath). On
// macOS a path is absolute when it starts with a volume name ("Volume:...");
// one starting with ':', or without any ':', is relative.
std::optional<std::filesystem::path> Host::RealPath(std::u16string_view emulated) const {
  const Settings settings = GetSettings();
  std::string path = Utf16ToUtf8(emulated);
  if (path.empty()) return std::nullopt;
  if (settings.platform == Platform::kMacOS) {
    std::string volume = Utf16ToUtf8(kMacVolume) + ":";
    const bool relative = path[0] == ':' || path.find(':') == std::string::npos;
    std::filesystem::path out;
    size_t start = 0;
    if (relative) {
      out = settings.appFolder;
    } else {
      if (path.compare(0, volume.size(), volume) != 0) return std::nullopt;
      out = settings.appFolder.root_path();
      if (out.empty()) out = std::filesystem::path("/");
      start = volume.size();
    }
    while (start <= path.size()) {
      size_t end = path.find(':', start);
      if (end == std::string::npos) end = path.size();
      if (end > start) out /= std::filesystem::u8path(path.substr(start, end - start));
      start = end + 1;
    }
    return out;
  }
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  const bool network = path.compare(0, 2, "\\\\") == 0;
#if defined(_WIN32)
  std::filesystem::path real = std::filesystem::u8path(path);
#else
  if (drive) path = path.substr(2);  // the drive stands for "/"
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty()) return std::nullopt;
  std::filesystem::path real = std::filesystem::u8path(path);
#endif
  if (drive || network) return real;
  return settings.appFolder / real;
}

std::filesystem::path ExecutablePath() {
#if defined(_WIN32)
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  buffer.resize(n);
  return std::filesystem::path(buffer);
#else
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
}

std::filesystem::path DefaultAppFolder() {
  return (ExecutablePath().parent_path() / ".." / "app").lexically_normal();
}

std::filesystem::path DefaultPluginPath() {
#if defined(_WIN32)
  const char* platform = "Windows64";
  const char* file = "VarnelFolioforge.4DX";
#else
  const char* platform = "Linux64";
  const char* file = "VarnelFolioforge.so";
#endif
  return DefaultAppFolder() / "Plugins" / "VarnelFolioforge.bundle" / "Contents" / platform / file;
}

}  // namespace lqm::host
