// The development host: lifecycle, command calls, named variables, settings
// and paths (host.h). The callback's selectors are in host_callback.cpp.
//
// Contents
//   Lifecycle and init block
//   Command calls: CallFrame builds 4D's parameter storage and result slot
//   Named variables, settings, statistics
//   Paths of the emulated platform, the executable's own path
#include "host.h"

#include <algorithm>
#include <cstring>
#include <deque>

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

using abi::TextRecord;
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

namespace {

// A numeric result slot starts with a pattern that no sign-extended longint
// can take (its high half is neither 0 nor all ones), so a slot still
// holding it means "no result set".
constexpr int64_t kNoResultPattern = 0x7E57A11FDEADBEEF;

// The 4D letter a value without a declared parameter is stored as (a
// variable, an array or undefined: a variable record).
char LetterOfValue(const Value& value) {
  switch (value.kind) {
    case ValueKind::kLongint: return 'L';
    case ValueKind::kInteger: return 'I';
    case ValueKind::kReal: return 'R';
    case ValueKind::kText: return 'T';
    case ValueKind::kBlob: return 'O';
    case ValueKind::kTime: return 'H';
    default: return 'Y';
  }
}

// One parameter's storage; element N-1 of the parameter array points at it.
struct ParameterSlot {
  char letter = 'Y';
  bool wrapped = false;  // given as {"variable": ...}
  union {
    int32_t longint;
    int16_t integer;
    double real;
    TextRecord text;
    char** handle;
    VariableRecord variable;
  };
  // Only the small members' bytes: a variable slot's whole record is
  // zeroed by StoreValue, and clearing all 260 bytes here was a third of
  // building a call's parameters.
  ParameterSlot() { std::memset(&text, 0, sizeof text); }
};

}  // namespace

// The storage of one call: parameters, result slot, and the objects the host
// made for them (address and serial, so that a block freed by the plugin and
// reused for one of its own is never mistaken for the host's).
class CallFrame {
 public:
  CallFrame(Host& host, const CommandInfo* row) : host_(host), memory_(host.memory_), row_(row) {}
  ~CallFrame() {
    for (auto [object, serial] : made_)
      if (memory_.SerialOf(object) == serial) memory_.Release(object);
  }

  // `movable`: the same arguments, whose BLOB bytes may be moved (or null).
  bool Build(const std::vector<Value>& args, std::vector<Value>* movable, std::string& error);
  void Run(int32_t routine);
  CallOutcome Collect();

 private:
  bool Store(ParameterSlot& slot, const Value* value, Value* movable, std::string& error);
  void Remember(const void* object) {
    if (object) made_.emplace_back(object, memory_.SerialOf(object));
  }
  // The same for an object just made, whose serial its maker gave.
  void Remember(const void* object, uint64_t serial) { made_.emplace_back(object, serial); }
  // An object Collect has released or moved out: the destructor need not
  // look it up (an entry for an earlier object at the same address is moot
  // too, since that object is gone).
  void Forget(const void* object) {
    made_.erase(std::remove_if(made_.begin(), made_.end(), [&](const auto& made) { return made.first == object; }),
                made_.end());
  }
  void RememberRecord(const VariableRecord& record) {
    std::vector<const void*> objects;
    CollectObjects(memory_, record, objects);
    for (const void* object : objects) Remember(object);
  }
  bool ReadSlot(const ParameterSlot& slot, Value& out, std::string& error);
  bool ReadResult(std::optional<Value>& out, std::string& error);
  bool ReachedOnce(const void* object, std::vector<const void*>::iterator* found);
  bool TakeBlob(char** handle, Value& out);
  bool TakeText(const TextRecord& text, Value& out);
  void CollectReachable(std::vector<const void*>& out) const;

  Host& host_;
  HostMemory& memory_;
  const CommandInfo* row_;
  std::deque<ParameterSlot> slots_;  // a deque keeps each slot's address
  std::vector<void*> pointers_;
  char resultLetter_ = 0;
  int64_t numericResult_ = kNoResultPattern;
  double realResult_ = 0;
  TextRecord textResult_{0, nullptr, 0, 0};
  char16_t* textSentinel_ = nullptr;
  char** blobSentinel_ = nullptr;
  void* resultSlot_ = nullptr;  // what `result` points at
  std::vector<std::pair<const void*, uint64_t>> made_;
  // What the parameters and the result reach after the call (Collect): the
  // objects the host releases once it has read them.
  std::vector<const void*> reachable_;
};

bool CallFrame::Store(ParameterSlot& slot, const Value* given, Value* movable, std::string& error) {
  const Value* value = given ? &given->Held() : nullptr;
  ValueKind kind = value ? value->kind : ValueKind::kUndefined;
  auto expect = [&](const char* what) {
    error = std::string("expected ") + what + ", got " + ValueKindName(given->kind);
    return false;
  };
  switch (slot.letter) {
    case 'L':
    case 'H':
      if (value && kind != ValueKind::kLongint && kind != ValueKind::kInteger &&
          kind != ValueKind::kTime && kind != ValueKind::kBoolean)
        return expect("a longint");
      slot.longint = value ? int32_t(value->number) : 0;
      return true;
    case 'I':
      if (value && kind != ValueKind::kInteger && kind != ValueKind::kLongint)
        return expect("an integer");
      slot.integer = value ? int16_t(value->number) : 0;
      return true;
    case 'R':
      if (value && kind != ValueKind::kReal) return expect("a real");
      slot.real = value ? value->real : 0;
      return true;
    case 'T': {
      if (value && kind != ValueKind::kText) return expect("a text");
      std::u16string empty;
      const std::u16string& text = value ? value->text : empty;
      const size_t length = text.size();
      uint64_t serial = 0;
      char16_t* units = movable && value
                            ? memory_.NewTextAdopting(movable->kind == ValueKind::kVariable ? movable->inner[0].text
                                                                                            : movable->text,
                                                      Owner::kHost, &serial)
                            : memory_.NewText(text.data(), length, Owner::kHost, &serial);
      if (!units) return error = "out of memory", false;
      Remember(units, serial);
      slot.text = TextRecord{int32_t(length), units, 0, 0};
      return true;
    }
    case 'O': {
      if (value && kind != ValueKind::kBlob) return expect("a BLOB");
      int16_t code = 0;
      uint64_t serial = 0;
      const std::vector<uint8_t> none;
      const std::vector<uint8_t>& bytes = value ? value->blob : none;
      if (movable && value)
        slot.handle = memory_.NewHandleAdopting(movable->kind == ValueKind::kVariable ? movable->inner[0].blob
                                                                                      : movable->blob,
                                                Owner::kHost, &code, &serial);
      else
        slot.handle = memory_.NewHandleFrom(bytes.data(), int64_t(bytes.size()), Owner::kHost, &code, &serial);
      if (!slot.handle) return error = "out of memory", false;
      Remember(slot.handle, serial);
      return true;
    }
    default:  // 'Y': a variable holding the value (omitted: undefined)
      if (!StoreValue(memory_, value ? *value : Value::Undefined(), slot.variable, Owner::kHost))
        return error = "out of memory", false;
      RememberRecord(slot.variable);
      return true;
  }
}

bool CallFrame::Build(const std::vector<Value>& args, std::vector<Value>* movable, std::string& error) {
  size_t declared = row_ ? row_->parameters.size() : 0;
  if (row_ && args.size() > declared) {
    error = std::string(row_->name) + " takes " + std::to_string(declared) + " arguments, not " +
            std::to_string(args.size());
    return false;
  }
  // Omitted trailing parameters still get storage holding empty values.
  size_t count = row_ ? declared : args.size();
  pointers_.reserve(count);
  made_.reserve(count + 1);
  for (size_t i = 0; i < count; ++i) {
    ParameterSlot& slot = slots_.emplace_back();
    const Value* value = i < args.size() ? &args[i] : nullptr;
    slot.letter = row_ ? row_->parameters[i] : LetterOfValue(*value);
    slot.wrapped = value && value->kind == ValueKind::kVariable;
    Value* movableValue = movable && i < args.size() ? &(*movable)[i] : nullptr;
    if (!Store(slot, value, movableValue, error)) {
      error = "argument " + std::to_string(i + 1) + ": " + error;
      return false;
    }
    pointers_.push_back(&slot.longint);
  }
  // The result slot, in the form of the declared result kind.
  resultLetter_ = row_ && !row_->result.empty() ? row_->result[0] : 0;
  switch (resultLetter_) {
    case 'T': {
      uint64_t serial = 0;
      textSentinel_ = memory_.NewText(u"", 0, Owner::kHost, &serial);
      if (!textSentinel_) return error = "out of memory", false;
      Remember(textSentinel_, serial);
      textResult_ = TextRecord{0, textSentinel_, 0, 0};
      numericResult_ = reinterpret_cast<int64_t>(&textResult_);
      break;
    }
    case 'O': {
      int16_t code = 0;
      uint64_t serial = 0;
      blobSentinel_ = memory_.NewHandle(0, Owner::kHost, &code, &serial);
      if (!blobSentinel_) return error = "out of memory", false;
      Remember(blobSentinel_, serial);
      numericResult_ = reinterpret_cast<int64_t>(blobSentinel_);
      break;
    }
    case 'R':
      std::memcpy(&realResult_, &kNoResultPattern, sizeof realResult_);
      numericResult_ = reinterpret_cast<int64_t>(&realResult_);
      break;
    default: break;
  }
  resultSlot_ = &numericResult_;
  return true;
}

void CallFrame::Run(int32_t routine) {
  void** parameters = pointers_.empty() ? nullptr : pointers_.data();
  host_.library_.entry()(routine, parameters, &host_.dataSlot_, resultSlot_);
}

// A BLOB handle (or text) that Collect is about to release, reached once
// only, has its bytes moved into the Value instead of copied and is released
// here. One reached twice (the same BLOB as a parameter and the result) or a
// named variable's pinned content is copied as before.
bool CallFrame::ReachedOnce(const void* object, std::vector<const void*>::iterator* found) {
  *found = std::find(reachable_.begin(), reachable_.end(), object);
  return object && *found != reachable_.end() && std::count(*found, reachable_.end(), object) == 1;
}

bool CallFrame::TakeBlob(char** handle, Value& out) {
  std::vector<const void*>::iterator found;
  if (!ReachedOnce(handle, &found)) return false;
  std::vector<uint8_t> bytes;
  if (!memory_.TakeHandleBytes(handle, bytes)) return false;
  reachable_.erase(found);
  Forget(handle);
  out = Value::Blob(std::move(bytes));
  return true;
}

// The same for a text; a record whose length does not fit its units is left
// to ReadText, which reports it.
bool CallFrame::TakeText(const TextRecord& text, Value& out) {
  std::vector<const void*>::iterator found;
  size_t length = 0;
  if (!ReachedOnce(text.units, &found) || !memory_.TextLength(text.units, &length) || text.length < 0 ||
      size_t(text.length) > length)
    return false;
  std::u16string units;
  if (!memory_.TakeTextUnits(text.units, units)) return false;
  reachable_.erase(found);
  Forget(text.units);
  units.resize(size_t(text.length));
  out = Value::Text(std::move(units));
  return true;
}

bool CallFrame::ReadSlot(const ParameterSlot& slot, Value& out, std::string& error) {
  switch (slot.letter) {
    case 'L': out = Value::Longint(slot.longint); return true;
    case 'H': out = Value::Time(slot.longint); return true;
    case 'I': out = Value::Integer(slot.integer); return true;
    case 'R': out = Value::Real(slot.real); return true;
    case 'T':
      if (TakeText(slot.text, out)) return true;
      out = Value::Text(u"");
      return ReadText(memory_, slot.text, out.text, error);
    case 'O': {
      if (TakeBlob(slot.handle, out)) return true;
      abi::VariableRecord record;
      std::memset(&record, 0, sizeof record);
      record.kind = abi::kKindBlob;
      record.value.blob.handle = slot.handle;
      return ReadValue(memory_, record, out, error);
    }
    default: {
      Value held;
      if (!ReadValue(memory_, slot.variable, held, error)) return false;
      out = slot.wrapped ? Value::Variable(std::move(held)) : std::move(held);
      return true;
    }
  }
}

bool CallFrame::ReadResult(std::optional<Value>& out, std::string& error) {
  out.reset();
  switch (resultLetter_) {
    case 'T': {
      if (textResult_.units == textSentinel_) return true;
      Value text = Value::Text(u"");
      if (TakeText(textResult_, text)) {
        out = std::move(text);
        return true;
      }
      if (!ReadText(memory_, textResult_, text.text, error)) return false;
      out = std::move(text);
      return true;
    }
    case 'O': {
      char** handle = reinterpret_cast<char**>(numericResult_);
      if (handle == blobSentinel_) return true;
      Value taken;
      if (TakeBlob(handle, taken)) {
        out = std::move(taken);
        return true;
      }
      abi::VariableRecord record;
      std::memset(&record, 0, sizeof record);
      record.kind = abi::kKindBlob;
      record.value.blob.handle = handle;
      Value blob;
      if (!ReadValue(memory_, record, blob, error)) return false;
      out = std::move(blob);
      return true;
    }
    case 'R': {
      int64_t bits;
      std::memcpy(&bits, &realResult_, sizeof bits);
      if (bits != kNoResultPattern) out = Value::Real(realResult_);
      return true;
    }
    default: {
      if (numericResult_ == kNoResultPattern) return true;
      if (numericResult_ < INT32_MIN || numericResult_ > INT32_MAX) {
        error = "the result slot holds " + std::to_string(numericResult_) +
                ", which is no longint sign-extended to 64 bits";
        return false;
      }
      if (resultLetter_ == 'I')
        out = Value::Integer(int16_t(numericResult_));
      else
        out = Value::Longint(int32_t(numericResult_));
      return true;
    }
  }
}

void CallFrame::CollectReachable(std::vector<const void*>& out) const {
  out.reserve(slots_.size() + 1);
  for (const ParameterSlot& slot : slots_) {
    if (slot.letter == 'T' && slot.text.units) {
      if (memory_.SerialOf(slot.text.units)) out.push_back(slot.text.units);
    } else if (slot.letter == 'O' && slot.handle) {
      if (memory_.SerialOf(slot.handle)) out.push_back(slot.handle);
    } else if (slot.letter == 'Y') {
      CollectObjects(memory_, slot.variable, out);
    }
  }
  if (resultLetter_ == 'T' && textResult_.units && memory_.SerialOf(textResult_.units))
    out.push_back(textResult_.units);
  if (resultLetter_ == 'O') {
    char** handle = reinterpret_cast<char**>(numericResult_);
    if (handle && memory_.SerialOf(handle)) out.push_back(handle);
  }
}

CallOutcome CallFrame::Collect() {
  CallOutcome outcome;
  std::string error;
  CollectReachable(reachable_);
  outcome.args.reserve(slots_.size());
  for (size_t i = 0; i < slots_.size(); ++i) {
    Value value;
    if (!ReadSlot(slots_[i], value, error)) {
      outcome.error = "after the call, argument " + std::to_string(i + 1) + ": " + error;
      break;
    }
    outcome.args.push_back(std::move(value));
  }
  if (outcome.ok() && !ReadResult(outcome.result, error)) outcome.error = "result: " + error;
  // Whatever the parameters and the result hold now has been handed back to
  // the host: release it (a named variable's pinned content stays). The
  // BLOBs moved into the outcome are released already.
  for (const void* object : reachable_) {
    Owner owner;
    if (memory_.OwnerOf(object, &owner) && owner != Owner::kPinned) {
      memory_.Release(object);
      Forget(object);
    }
  }
  return outcome;
}

CallOutcome Host::Call(int32_t routine, const std::vector<Value>& args) {
  CallOutcome outcome;
  if (!library_.IsLoaded()) {
    outcome.error = "no plugin loaded";
    return outcome;
  }
  // Routines without a row (0, 20..23, negative) get storage that matches
  // the values given.
  const CommandInfo* row = routine > 0 ? FindCommand(routine) : nullptr;
  CallFrame frame(*this, row);
  if (!frame.Build(args, nullptr, outcome.error)) return outcome;
  frame.Run(routine);
  return frame.Collect();
}

CallOutcome Host::Call(int32_t routine, std::vector<Value>&& args) {
  CallOutcome outcome;
  if (!library_.IsLoaded()) {
    outcome.error = "no plugin loaded";
    return outcome;
  }
  const CommandInfo* row = routine > 0 ? FindCommand(routine) : nullptr;
  CallFrame frame(*this, row);
  if (!frame.Build(args, &args, outcome.error)) return outcome;
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
  }
  stats.live = GetLiveCounts();
  return stats;
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

std::optional<std::filesystem::path> Host::RealPath(std::u16string_view emulated) const {
  Platform platform = GetSettings().platform;
  std::string path = Utf16ToUtf8(emulated);
  if (platform == Platform::kMacOS) {
    std::string volume = Utf16ToUtf8(kMacVolume) + ":";
    if (path.compare(0, volume.size(), volume) != 0) return std::nullopt;
    std::filesystem::path root = GetSettings().appFolder.root_path();
    if (root.empty()) root = std::filesystem::path("/");
    std::filesystem::path out = root;
    size_t start = volume.size();
    while (start <= path.size()) {
      size_t end = path.find(':', start);
      if (end == std::string::npos) end = path.size();
      if (end > start) out /= std::filesystem::u8path(path.substr(start, end - start));
      start = end + 1;
    }
    return out;
  }
#if defined(_WIN32)
  return std::filesystem::u8path(path);
#else
  if (path.size() >= 2 && path[1] == ':') path = path.substr(2);  // the drive stands for "/"
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty()) return std::nullopt;
  return std::filesystem::u8path(path);
#endif
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
