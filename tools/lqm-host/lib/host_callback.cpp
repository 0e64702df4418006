// The host's callback: 4D's side of every EX_... selector the plugin uses.
//
// Each handler reads only the engine-block fields of its selector and writes
// only its outputs; the error word is written on failure and only then (the
// plugin zeroes it before each call). Pointers from the plugin are looked up
// in the registry before use, so a stale handle or text gets an error code,
// not a crash. Outputs are cleared on failure, so nothing half-made escapes.
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LQM_HOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LQM_HOST_ASAN 1
#endif
#endif

#include "charsets.h"
#include "host.h"
#include "host_records.h"
#include "named_commands.h"

namespace lqm::host {

using abi::EngineBlock;
using abi::TextRecord;
using abi::VariableRecord;

namespace {

std::atomic<Host*> gActiveHost{nullptr};

// Longest text the host accepts from a NUL-terminated plugin string; a
// missing terminator then fails instead of reading on forever.
constexpr size_t kMaxTextUnits = size_t(1) << 28;
// 4D takes at most 25 parameters; the SDK never passes more.
constexpr int64_t kMaxCommandArguments = 32;

bool MeasureUnits(const char16_t* units, size_t& length) {
  length = 0;
#if defined(__SSE2__) && !defined(LQM_HOST_ASAN)
  // Eight units a step once the address is 16-byte aligned: an aligned load
  // never crosses into the next page, so reading past the terminator within
  // the step is safe (the address sanitizer would still call it an overrun,
  // so its builds take the unit loop). Texts of whole documents pass here.
  if ((reinterpret_cast<uintptr_t>(units) & 1) == 0) {
    while ((reinterpret_cast<uintptr_t>(units + length) & 15) != 0) {
      if (units[length] == 0) return true;
      ++length;
    }
    for (; length < kMaxTextUnits; length += 8) {
      const __m128i step = _mm_load_si128(reinterpret_cast<const __m128i*>(units + length));
      const int zeros = _mm_movemask_epi8(_mm_cmpeq_epi16(step, _mm_setzero_si128()));
      if (zeros != 0) {
        length += static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(zeros))) / 2;
        return length < kMaxTextUnits;
      }
    }
    return false;
  }
#endif
  for (; length < kMaxTextUnits; ++length)
    if (units[length] == 0) return true;
  return false;
}

// fUName holds a NUL-terminated name of at most 255 units.
std::string NameOf(const EngineBlock& block) {
  char16_t units[256];
  std::memcpy(units, block.uName, sizeof units);
  size_t length = 0;
  while (length < 255 && units[length] != 0) ++length;
  return Utf16ToUtf8(std::u16string_view(units, length));
}

TextRecord LoadText(const TextRecord& packed) {
  TextRecord text;
  std::memcpy(&text, &packed, sizeof text);
  return text;
}

}  // namespace

void RegisterActiveHost(Host* host) { gActiveHost.store(host); }
void UnregisterActiveHost(Host* host) {
  Host* expected = host;
  gActiveHost.compare_exchange_strong(expected, nullptr);
}

void LQM_CALLCONV Host::Callback(int16_t selector, EngineBlock* block) {
  if (!block) return;
  Host* host = gActiveHost.load();
  if (!host) {
    block->error = kErrorUnknownSelector;
    return;
  }
  host->HandleCallback(selector, *block);
}

void Host::HandleCallback(int16_t selector, EngineBlock& block) {
  callbacks_.fetch_add(1);
  if (FailIfPlanned(selector, block)) return;
  switch (selector) {
    case abi::kConvertString: OnConvertString(block); break;
    case abi::kHandleManager: OnHandleManager(block); break;
    case abi::kClearVariable: OnClearVariable(block); break;
    case abi::kCreateUnistring: OnCreateText(block); break;
    case abi::kSetUnistring: OnSetText(block); break;
    case abi::kDisposeUnistring: OnDisposeText(block); break;
    case abi::kVariableToString: OnVariableToText(block); break;
    case abi::kGetVariable: OnGetVariable(block, false); break;
    case abi::kGetInterprocessVariable: OnGetVariable(block, true); break;
    case abi::kGet4DFolder: OnGetFolder(block); break;
    case abi::kConvertCharsetToCharset: OnConvertCharset(block); break;
    case abi::kGetCommandId: OnGetCommandId(block); break;
    case abi::kExecuteCommandById: OnExecuteCommand(block); break;
    default: block.error = kErrorUnknownSelector; break;
  }
}

// ---------------------------------------------------------------------------
// Fault injection (FaultPlan in host.h)
// ---------------------------------------------------------------------------

namespace {

struct FaultKindRow {
  FaultKind kind;
  const char* name;
};
constexpr FaultKindRow kFaultKinds[] = {
    {FaultKind::kNone, "none"},         {FaultKind::kHandle, "handle"},
    {FaultKind::kVariable, "variable"}, {FaultKind::kText, "text"},
    {FaultKind::kCharset, "charset"},   {FaultKind::kLookup, "lookup"},
    {FaultKind::kExecution, "execution"}, {FaultKind::kFolder, "folder"},
};

FaultKind FaultKindOf(int16_t selector) {
  switch (selector) {
    case abi::kConvertString:
    case abi::kHandleManager: return FaultKind::kHandle;
    case abi::kClearVariable:
    case abi::kGetVariable:
    case abi::kGetInterprocessVariable:
    case abi::kVariableToString: return FaultKind::kVariable;
    case abi::kCreateUnistring:
    case abi::kSetUnistring:
    case abi::kDisposeUnistring: return FaultKind::kText;
    case abi::kConvertCharsetToCharset: return FaultKind::kCharset;
    case abi::kGetCommandId: return FaultKind::kLookup;
    case abi::kExecuteCommandById: return FaultKind::kExecution;
    case abi::kGet4DFolder: return FaultKind::kFolder;
    default: return FaultKind::kNone;
  }
}

bool IsRelease(int16_t selector, const EngineBlock& block) {
  return selector == abi::kClearVariable || selector == abi::kDisposeUnistring ||
         (selector == abi::kHandleManager && block.param1 == abi::kHandleDispose);
}

// The outputs and error word of a genuine failure of each operation.
void FailOperation(int16_t selector, EngineBlock& block) {
  const TextRecord empty{0, nullptr, 0, 0};
  int16_t error = kErrorNoMemory;
  switch (selector) {
    case abi::kConvertString:
      if (block.param1 == abi::kBlobMeasureOrCopy) block.param4 = 0;
      if (block.param1 == abi::kBlobFromBytes) block.handle = nullptr;
      break;
    case abi::kHandleManager:
      if (block.param1 == abi::kHandleNew) block.handle = nullptr;
      if (block.param1 == abi::kHandleGetSize || block.param1 == abi::kHandleGetState)
        block.param2 = 0;
      if (block.param1 == abi::kHandleLock) block.param3 = 0;
      break;
    case abi::kGetVariable:
    case abi::kGetInterprocessVariable:
      if (auto* out = static_cast<VariableRecord*>(block.handle)) {
        std::memset(out, 0, sizeof *out);
        out->kind = abi::kKindUndefined;
      }
      break;
    case abi::kVariableToString:
    case abi::kCreateUnistring: std::memcpy(&block.uniString1, &empty, sizeof empty); break;
    case abi::kGet4DFolder:
      std::memcpy(&block.uniString1, &empty, sizeof empty);
      error = kErrorFileNotFound;
      break;
    case abi::kConvertCharsetToCharset:
      block.param3 = 0;
      error = kErrorBadParameter;
      break;
    case abi::kGetCommandId: block.param1 = 0; break;
    case abi::kExecuteCommandById: error = kErrorCommandFailed; break;
    default: break;  // clear, set and dispose change nothing when they fail
  }
  block.error = error;
}

}  // namespace

bool FaultKindFromName(const std::string& name, FaultKind& kind) {
  for (const FaultKindRow& row : kFaultKinds)
    if (name == row.name) {
      kind = row.kind;
      return true;
    }
  return false;
}

const char* FaultKindName(FaultKind kind) {
  for (const FaultKindRow& row : kFaultKinds)
    if (row.kind == kind) return row.name;
  return "none";
}

void Host::InjectFault(const FaultPlan& plan) {
  std::lock_guard<std::mutex> lock(faultMutex_);
  faultPlan_ = plan;
  faultStatus_ = FaultStatus{};
  faultArmed_.store(plan.kind != FaultKind::kNone);
}

FaultStatus Host::GetFaultStatus() const {
  std::lock_guard<std::mutex> lock(faultMutex_);
  return faultStatus_;
}

bool Host::FailIfPlanned(int16_t selector, EngineBlock& block) {
  if (!faultArmed_.load()) return false;
  {
    std::lock_guard<std::mutex> lock(faultMutex_);
    if (faultPlan_.kind == FaultKind::kNone || FaultKindOf(selector) != faultPlan_.kind)
      return false;
    const int64_t count = ++faultStatus_.counted;
    // A persistent plan spares the releases after the N-th: what the plugin
    // gives back is still taken, so a leak on the failure path stays visible.
    const bool fails = count == faultPlan_.nth ||
                       (faultPlan_.persistent && count > faultPlan_.nth && !IsRelease(selector, block));
    if (!fails) return false;
    ++faultStatus_.fired;
    faultStatus_.lastSelector = selector;
    faultStatus_.lastOperation = block.param1;
    faultStatus_.lastWasRelease = IsRelease(selector, block);
    faultStatus_.releaseFailed = faultStatus_.releaseFailed || faultStatus_.lastWasRelease;
  }
  FailOperation(selector, block);
  return true;
}

// ---------------------------------------------------------------------------
// BLOBs and handles
// ---------------------------------------------------------------------------

void Host::OnConvertString(EngineBlock& block) {
  if (block.param1 == abi::kBlobMeasureOrCopy) {
    char** handle = static_cast<char**>(block.handle);
    int64_t size = 0;
    int16_t error = memory_.HandleSize(handle, &size);
    if (error) {
      block.param4 = 0;
      block.error = error;
      return;
    }
    if (block.param3 != 0 && size > 0)
      std::memcpy(reinterpret_cast<void*>(block.param3), *handle, size_t(size));
    block.param4 = size;
  } else if (block.param1 == abi::kBlobFromBytes) {
    int16_t error = 0;
    const void* bytes = reinterpret_cast<const void*>(block.param3);
    char** handle = memory_.NewHandleFrom(bytes, block.param4, Owner::kPlugin, &error);
    block.handle = handle;
    if (!handle) block.error = error;
  } else {
    block.error = kErrorBadParameter;
  }
}

void Host::OnHandleManager(EngineBlock& block) {
  char** handle = static_cast<char**>(block.handle);
  int16_t error = 0;
  switch (block.param1) {
    case abi::kHandleNew:
      handle = memory_.NewHandle(block.param2, Owner::kPlugin, &error);
      block.handle = handle;
      break;
    case abi::kHandleDispose: error = memory_.DisposeHandle(handle); break;
    case abi::kHandleSetSize: error = memory_.ResizeHandle(handle, block.param2); break;
    case abi::kHandleGetSize: {
      int64_t size = 0;
      error = memory_.HandleSize(handle, &size);
      block.param2 = size;
      break;
    }
    case abi::kHandleLock: {
      void* data = nullptr;
      error = memory_.LockHandle(handle, &data);
      block.param3 = reinterpret_cast<int64_t>(data);
      break;
    }
    case abi::kHandleUnlock: error = memory_.UnlockHandle(handle); break;
    case abi::kHandleGetState: {
      int64_t state = 0;
      error = memory_.HandleState(handle, &state);
      block.param2 = state;
      break;
    }
    case abi::kHandleSetState: error = memory_.SetHandleState(handle, block.param2); break;
    default: error = kErrorBadParameter; break;
  }
  if (error) block.error = error;
}

// ---------------------------------------------------------------------------
// Variables
// ---------------------------------------------------------------------------

void Host::OnClearVariable(EngineBlock& block) {
  auto* record = static_cast<VariableRecord*>(block.ptr1);
  if (!record) {
    block.error = kErrorBadParameter;
    return;
  }
  uint64_t token = TokenOf(*record);
  if (token) memory_.RetireVariableToken(token);
  int16_t error = ClearRecord(memory_, *record);
  if (error) block.error = error;
}

void Host::OnVariableToText(EngineBlock& block) {
  auto* record = static_cast<const VariableRecord*>(block.handle);
  TextRecord text{0, nullptr, 0, 0};
  if (!record || !IsTextKind(record->kind)) {
    block.error = kErrorBadParameter;
  } else {
    // The variable's own text, not a copy: the caller never releases it.
    text = LoadText(record->value.text);
    size_t length;
    if (text.units && !memory_.TextLength(text.units, &length)) {
      block.error = kErrorUnknownBlock;
      text = TextRecord{0, nullptr, 0, 0};
    }
  }
  std::memcpy(&block.uniString1, &text, sizeof text);
}

void Host::OnGetVariable(EngineBlock& block, bool interprocess) {
  auto* out = static_cast<VariableRecord*>(block.handle);
  if (!out) {
    block.error = kErrorBadParameter;
    return;
  }
  std::string key = FoldName(NameOf(block));
  std::lock_guard<std::mutex> lock(variablesMutex_);
  auto& table = interprocess ? interprocessVariables_ : processVariables_;
  auto it = table.find(key);
  if (it != table.end()) {
    std::memcpy(out, &it->second, sizeof *out);
  } else {
    // An unknown name is no error: the variable is simply undefined.
    std::memset(out, 0, sizeof *out);
    out->kind = abi::kKindUndefined;
  }
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

void Host::OnCreateText(EngineBlock& block) {
  const auto* units = static_cast<const char16_t*>(block.handle);
  size_t length = 0;
  TextRecord text{0, nullptr, 0, 0};
  if (!units || !MeasureUnits(units, length)) {
    block.error = kErrorBadParameter;
  } else if (char16_t* copy = memory_.NewText(units, length, Owner::kPlugin)) {
    text = TextRecord{int32_t(length), copy, 0, 0};
  } else {
    block.error = kErrorNoMemory;
  }
  std::memcpy(&block.uniString1, &text, sizeof text);
}

void Host::OnSetText(EngineBlock& block) {
  TextRecord old = LoadText(block.uniString1);
  const auto* units = static_cast<const char16_t*>(block.handle);
  size_t length = 0;
  if (!units || !MeasureUnits(units, length)) {
    block.error = kErrorBadParameter;
    return;
  }
  // The new text takes the old one's owner: replacing the text of a result
  // or parameter keeps it the host's; a record of the plugin's stays the
  // plugin's.
  Owner owner = Owner::kPlugin;
  if (old.units && !memory_.OwnerOf(old.units, &owner)) {
    block.error = kErrorUnknownBlock;
    return;
  }
  if (owner == Owner::kPinned) {
    block.error = kErrorNotOwned;
    return;
  }
  // Made before the old one is freed, so the new units never reuse its
  // address: a caller can tell "replaced" from "untouched" by the pointer.
  char16_t* copy = memory_.NewText(units, length, owner);
  if (!copy) {
    block.error = kErrorNoMemory;
    return;
  }
  if (old.units) memory_.DisposeText(old.units);
  TextRecord text{int32_t(length), copy, old.reserved1, old.reserved2};
  std::memcpy(&block.uniString1, &text, sizeof text);
}

void Host::OnDisposeText(EngineBlock& block) {
  TextRecord text = LoadText(block.uniString1);
  int16_t error = memory_.DisposeText(text.units);
  if (error) block.error = error;
}

// ---------------------------------------------------------------------------
// Folders and character sets
// ---------------------------------------------------------------------------

void Host::OnGetFolder(EngineBlock& block) {
  // Only the database folder (kind 4) exists in this host: it is the folder
  // that holds Plugins/, which is what the plugin looks for.
  constexpr int64_t kDatabaseFolder = 4;
  TextRecord text{0, nullptr, 0, 0};
  std::filesystem::path folder = GetSettings().appFolder;
  if (block.param1 != kDatabaseFolder) {
    block.error = kErrorBadParameter;
  } else if (folder.empty()) {
    block.error = kErrorFileNotFound;
  } else {
    std::u16string path = EmulatedPath(folder);
    char16_t* units = memory_.NewText(path.data(), path.size(), Owner::kPlugin);
    if (units)
      text = TextRecord{int32_t(path.size()), units, 0, 0};
    else
      block.error = kErrorNoMemory;
  }
  std::memcpy(&block.uniString1, &text, sizeof text);
}

void Host::OnConvertCharset(EngineBlock& block) {
  const void* src = block.ptr1;
  void* dst = block.ptr2;
  int64_t srcBytes = block.param1, capacity = block.param3;
  bool valid = srcBytes >= 0 && capacity >= 0 && (src || srcBytes == 0) &&
               (dst || capacity == 0) && IsSupportedCharset(block.param2) &&
               IsSupportedCharset(block.param4);
  if (!valid) {
    block.param3 = 0;
    block.error = kErrorBadParameter;
    return;
  }
  block.param3 = ConvertCharset(src, size_t(srcBytes), block.param2, dst, size_t(capacity),
                                block.param4);
}

// ---------------------------------------------------------------------------
// 4D commands
// ---------------------------------------------------------------------------

namespace {

const NamedCommand* FindNamedCommand(const std::string& foldedName, const Settings& settings) {
  for (const NamedCommand& row : NamedCommands())
    if (FoldName(row.name) == foldedName && (!row.available || row.available(settings)))
      return &row;
  return nullptr;
}

const NamedCommand* FindNamedCommand(int64_t number, const Settings& settings) {
  for (const NamedCommand& row : NamedCommands())
    if (row.number == number && (!row.available || row.available(settings))) return &row;
  return nullptr;
}

}  // namespace

void Host::OnGetCommandId(EngineBlock& block) {
  Settings settings = GetSettings();
  std::string name = FoldName(NameOf(block));
  auto forced = settings.commandIds.find(name);
  if (forced != settings.commandIds.end()) {
    block.param1 = forced->second;
    return;
  }
  // An unknown name answers 0 without an error, as the plugin's runners expect.
  const NamedCommand* row = FindNamedCommand(name, settings);
  block.param1 = row ? row->number : 0;
}

void Host::OnExecuteCommand(EngineBlock& block) {
  int64_t count = block.param2;
  auto* list = static_cast<VariableRecord* const*>(block.ptr1);
  auto* result = static_cast<VariableRecord*>(block.ptr2);
  if (count < 0 || count > kMaxCommandArguments || (count > 0 && !list) || !result) {
    block.error = kErrorBadParameter;
    return;
  }
  CommandContext context{*this, {}, result};
  for (int64_t i = 0; i < count; ++i) {
    if (!list[i]) {
      block.error = kErrorBadParameter;
      return;
    }
    context.args.push_back(list[i]);
  }
  // Every record that crossed over must come back through EX_CLEAR_VARIABLE.
  for (VariableRecord* record : context.args)
    if (!TokenOf(*record)) StampToken(*record, memory_.NewVariableToken());
  if (!TokenOf(*result)) StampToken(*result, memory_.NewVariableToken());

  Settings settings = GetSettings();
  const NamedCommand* row = FindNamedCommand(block.param1, settings);
  if (!row) {
    block.error = kErrorBadParameter;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(statsMutex_);
    ++commandsRun_[row->name];
  }
  if (settings.failingCommands.count(FoldName(row->name))) {
    block.error = kErrorCommandFailed;
    return;
  }
  row->run(context);
  if (context.error) block.error = context.error;
}

}  // namespace lqm::host
