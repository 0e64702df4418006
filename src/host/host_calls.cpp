// Every Host... operation of the plugin, over 4D's callback or directly on
// the records 4D hands over (see host_calls.h for the contracts).
//
// Each callback starts from a zeroed engine block, fills only the fields its
// selector reads, and copies the block's error field into the calling
// thread's error word afterwards. Plugin-side operations reproduce what 4D's
// own plugin library does on the plugin's side of the seam, so that records
// stay exactly as 4D expects them. This file is the only place that knows a
// selector number or a record offset.
#include "host/host_calls.h"

#include <climits>
#include <cstring>

namespace abi = lqm::abi;

namespace {

abi::HostCallbackFunction gHostCallback = nullptr;
// 4D keeps one error word per thread; so do we.
thread_local int16_t tLastError = 0;

constexpr int16_t kErrorNoCallback = -1;  // no host to talk to yet
// A request the plugin refuses before asking 4D: a length a record cannot
// hold. 4D's own code for a bad parameter, so callers see one kind of failure.
constexpr int16_t kErrorBadParameter = -50;

// Records are packed: copy fields with memcpy, never through member pointers.
template <typename T>
T LoadUnaligned(const void* address) {
  T value;
  std::memcpy(&value, address, sizeof value);
  return value;
}

template <typename T>
void StoreUnaligned(void* address, const T& value) {
  std::memcpy(address, &value, sizeof value);
}

struct CallbackBlock {
  abi::EngineBlock block;
  CallbackBlock() { std::memset(&block, 0, sizeof block); }
};

void Call(int16_t selector, abi::EngineBlock& block) {
  if (gHostCallback == nullptr) {
    tLastError = kErrorNoCallback;
    return;
  }
  block.error = 0;
  gHostCallback(selector, &block);
  tLastError = block.error;
}

// Size of a BLOB's handle; the bytes are copied too when buffer is not null.
// A null handle is an empty BLOB, read without asking 4D.
int64_t MeasureOrCopyBlob(HostHandle handle, void* buffer) {
  if (handle == nullptr) return 0;
  CallbackBlock call;
  call.block.param1 = abi::kBlobMeasureOrCopy;
  call.block.param3 = reinterpret_cast<int64_t>(buffer);
  call.block.handle = handle;
  Call(abi::kConvertString, call.block);
  return tLastError == 0 ? call.block.param4 : 0;
}

// A new 4D handle holding a copy of the bytes. As 4D's library does: no
// bytes, no call, and a null handle (an empty BLOB); null on failure too.
HostHandle BlobFromBytes(const void* bytes, int64_t length) {
  if (bytes == nullptr) return nullptr;
  CallbackBlock call;
  call.block.param1 = abi::kBlobFromBytes;
  call.block.param3 = reinterpret_cast<int64_t>(bytes);
  call.block.param4 = length;
  Call(abi::kConvertString, call.block);
  return tLastError == 0 ? static_cast<HostHandle>(call.block.handle) : nullptr;
}

void* ParameterSlot(const PluginParameters& params, int n) {
  if (params.parameters == nullptr || n < 1) return nullptr;
  return params.parameters[n - 1];
}

bool IsArrayKind(uint8_t kind) {
  switch (kind) {
    case abi::kKindArray2D:
    case abi::kKindRealArray:
    case abi::kKindIntegerArray:
    case abi::kKindLongintArray:
    case abi::kKindDateArray:
    case abi::kKindPictureArray:
    case abi::kKindPointerArray:
    case abi::kKindBooleanArray:
    case abi::kKindBlobArray:
    case abi::kKindTimeArray:
    case abi::kKindTextArray:
    case abi::kKindObjectArray:
      return true;
    default:
      return false;
  }
}

// Byte size of one element in an array's elements handle. The plugin reads,
// writes and resizes number and text arrays only; 0 for every other kind,
// whose arrays it never resizes.
size_t ElementSize(uint8_t kind) {
  switch (kind) {
    case abi::kKindRealArray: return abi::kRealElementSize;
    case abi::kKindIntegerArray: return abi::kIntegerElementSize;
    case abi::kKindLongintArray: return abi::kLongintElementSize;
    case abi::kKindTextArray: return abi::kTextElementSize;
    default: return 0;
  }
}

// Address of element `index` when the array has the expected kind and the
// index lies in 0..count; null otherwise. Elements are reached through the
// master pointer without locking, as 4D's own library does.
char* ElementAddress(const HostVariable& variable, uint8_t kind, int32_t index) {
  if (variable.kind != kind) return nullptr;
  const abi::ArrayRecord array = LoadUnaligned<abi::ArrayRecord>(&variable.value.array);
  if (index < 0 || index > array.count || array.elements == nullptr || *array.elements == nullptr)
    return nullptr;
  return *array.elements + static_cast<size_t>(index) * ElementSize(kind);
}

}  // namespace

// ---------------------------------------------------------------------------
// Callback and error word
// ---------------------------------------------------------------------------

void HostSetCallback(void* callback) {
  gHostCallback = reinterpret_cast<abi::HostCallbackFunction>(callback);
}

int16_t HostGetLastError() { return tLastError; }

void HostAcceptInitBlock(void* initBlock) {
  if (initBlock == nullptr) return;
  auto* block = static_cast<char*>(initBlock);
  HostSetCallback(LoadUnaligned<void*>(block + offsetof(abi::InitBlock, callback)));
  StoreUnaligned<int32_t>(block + offsetof(abi::InitBlock, supportedVersion),
                          abi::kInterfaceVersion);
}

// ---------------------------------------------------------------------------
// Parameters and result
// ---------------------------------------------------------------------------

int32_t HostGetLongParameter(const PluginParameters& params, int n) {
  const void* slot = ParameterSlot(params, n);
  return slot ? LoadUnaligned<int32_t>(slot) : 0;
}

uint16_t HostGetShortParameter(const PluginParameters& params, int n) {
  const void* slot = ParameterSlot(params, n);
  return slot ? LoadUnaligned<uint16_t>(slot) : 0;
}

HostText HostGetTextParameter(const PluginParameters& params, int n) {
  const void* slot = ParameterSlot(params, n);
  if (slot == nullptr) return HostText{};
  return LoadUnaligned<HostText>(slot);
}

HostVariable HostGetVariableParameter(const PluginParameters& params, int n) {
  HostVariable variable;
  std::memset(&variable, 0, sizeof variable);
  variable.kind = abi::kKindUndefined;
  if (const void* slot = ParameterSlot(params, n)) std::memcpy(&variable, slot, sizeof variable);
  return variable;
}

void HostSetVariableParameter(const PluginParameters& params, int n, const HostVariable& variable) {
  void* slot = ParameterSlot(params, n);
  if (slot == nullptr) return;
  // Kind and filler, then the union member that belongs to the kind.
  auto* target = static_cast<HostVariable*>(slot);
  target->kind = variable.kind;
  target->filler = variable.filler;
  size_t valueBytes = 0;
  switch (variable.kind) {
    case abi::kKindReal: valueBytes = sizeof(double); break;
    case abi::kKindDate: valueBytes = 6; break;
    case abi::kKindBoolean: valueBytes = 1; break;
    case abi::kKindLongint:
    case abi::kKindTime: valueBytes = sizeof(int32_t); break;
    case abi::kKindPicture:
    case abi::kKindPointer:
    case abi::kKindObject:
    case abi::kKindCollection: valueBytes = sizeof(void*); break;
    case abi::kKindBlob: valueBytes = sizeof(abi::BlobRecord); break;
    case abi::kKindText: valueBytes = sizeof(abi::TextRecord); break;
    default:
      if (IsArrayKind(variable.kind)) valueBytes = sizeof(abi::ArrayRecord);
      break;
  }
  std::memcpy(&target->value, &variable.value, valueBytes);
}

HostHandle HostGetBlobHandleParameter(const PluginParameters& params, int n) {
  const void* slot = ParameterSlot(params, n);
  return slot != nullptr ? LoadUnaligned<HostHandle>(slot) : nullptr;
}

void HostReturnLong(const PluginParameters& params, int32_t value) {
  if (params.result == nullptr) return;
  StoreUnaligned<int64_t>(params.result, value);
}

void HostReturnText(const PluginParameters& params, const char16_t* utf16) {
  if (params.result == nullptr || utf16 == nullptr) return;
  auto* record = LoadUnaligned<HostText*>(params.result);
  if (record == nullptr) return;
  CallbackBlock call;
  std::memcpy(&call.block.uniString1, record, sizeof(HostText));
  call.block.handle = const_cast<char16_t*>(utf16);
  Call(abi::kSetUnistring, call.block);
  if (tLastError == 0) std::memcpy(record, &call.block.uniString1, sizeof(HostText));
}

void HostReturnBlob(const PluginParameters& params, const void* bytes, int64_t length) {
  if (params.result == nullptr) return;
  StoreUnaligned<HostHandle>(params.result, BlobFromBytes(bytes, length));
}

// ---------------------------------------------------------------------------
// Character sets
// ---------------------------------------------------------------------------

int64_t HostConvertCharset(const void* src, int64_t srcBytes, int64_t srcSet, void* dst,
                           int64_t dstSize, int64_t dstSet) {
  CallbackBlock call;
  call.block.ptr1 = const_cast<void*>(src);
  call.block.param1 = srcBytes;
  call.block.param2 = srcSet;
  call.block.ptr2 = dst;
  call.block.param3 = dstSize;
  call.block.param4 = dstSet;
  Call(abi::kConvertCharsetToCharset, call.block);
  if (tLastError != 0 || call.block.param3 < 0 || call.block.param3 > dstSize) return 0;
  return call.block.param3;
}

// ---------------------------------------------------------------------------
// Variables
// ---------------------------------------------------------------------------

HostVariable HostCreateVariable() {
  HostVariable variable;
  std::memset(&variable, 0, sizeof variable);
  variable.kind = abi::kKindUndefined;
  return variable;
}

void HostClearVariable(HostVariable& variable) {
  CallbackBlock call;
  call.block.ptr1 = &variable;
  Call(abi::kClearVariable, call.block);
}

VariableKind HostGetVariableKind(const HostVariable& variable) {
  switch (variable.kind) {
    case 0:
    case abi::kKindLegacyText:
    case abi::kKindFixedString: return abi::kKindText;
    case abi::kKindLegacyTextArray:
    case abi::kKindStringArray: return abi::kKindTextArray;
    default: return static_cast<VariableKind>(variable.kind);
  }
}

void HostSetLongVariable(HostVariable& variable, int32_t value) {
  variable.kind = abi::kKindLongint;
  StoreUnaligned(&variable.value.longint, value);
}

void HostSetTextVariable(HostVariable& variable, HostText text) {
  variable.kind = abi::kKindText;
  StoreUnaligned(&variable.value.text, text);
}

bool HostSetBlobVariable(HostVariable& variable, const void* bytes, int64_t length) {
  // The record keeps a 32-bit length: a longer BLOB would be cut silently.
  if (length < 0 || length > INT32_MAX) {
    tLastError = kErrorBadParameter;
    return false;
  }
  const HostHandle handle = BlobFromBytes(bytes, length);
  variable.kind = abi::kKindBlob;
  abi::BlobRecord blob{handle ? static_cast<int32_t>(length) : 0, handle};
  StoreUnaligned(&variable.value.blob, blob);
  return handle != nullptr || bytes == nullptr;
}

int32_t HostGetLongVariable(const HostVariable& variable) {
  return variable.kind == abi::kKindLongint ? LoadUnaligned<int32_t>(&variable.value.longint) : 0;
}

int32_t HostGetTimeVariable(const HostVariable& variable) {
  return variable.kind == abi::kKindTime ? LoadUnaligned<int32_t>(&variable.value.longint) : 0;
}

bool HostGetBooleanVariable(const HostVariable& variable) {
  return variable.kind == abi::kKindBoolean && variable.value.boolean != 0;
}

HostText HostGetTextVariable(const HostVariable& variable) {
  // 4D copies the text out of a copy of the record; the text stays the variable's.
  HostVariable copy = variable;
  CallbackBlock call;
  call.block.handle = &copy;
  Call(abi::kVariableToString, call.block);
  if (tLastError != 0) return HostText{};
  return call.block.uniString1;
}

int64_t HostGetBlobVariable(const HostVariable& variable, void* buffer) {
  if (variable.kind != abi::kKindBlob) return 0;
  return MeasureOrCopyBlob(LoadUnaligned<abi::BlobRecord>(&variable.value.blob).handle, buffer);
}

HostVariable HostGetVariableByName(const char16_t* name) {
  HostVariable variable;
  std::memset(&variable, 0, sizeof variable);
  variable.kind = abi::kKindUndefined;
  if (name == nullptr) return variable;
  CallbackBlock call;
  int16_t selector = abi::kGetVariable;
  if (name[0] == u'<' && name[1] == u'>') {
    selector = abi::kGetInterprocessVariable;
    name += 2;
  }
  // 4D reads at most 255 units and a terminator from the name field.
  size_t length = 0;
  while (name[length] != 0 && length < 255) ++length;
  std::memcpy(call.block.uName, name, length * sizeof(char16_t));
  call.block.uName[length] = 0;
  call.block.handle = &variable;
  Call(selector, call.block);
  return variable;
}

// ---------------------------------------------------------------------------
// Arrays
// ---------------------------------------------------------------------------

int32_t HostGetArraySize(const HostVariable& variable) {
  if (!IsArrayKind(variable.kind)) return -1;
  return LoadUnaligned<int32_t>(&variable.value.array.count);
}

bool HostResizeArray(HostVariable& variable, int32_t count) {
  if (count < 0 || !IsArrayKind(variable.kind)) return false;
  abi::ArrayRecord array = LoadUnaligned<abi::ArrayRecord>(&variable.value.array);
  const size_t elementSize = ElementSize(variable.kind);
  if (array.count == count) return true;
  if (array.elements == nullptr || elementSize == 0) return false;
  if (variable.kind == abi::kKindTextArray && count < array.count && *array.elements != nullptr) {
    for (int32_t i = count + 1; i <= array.count; ++i) {
      HostText old;
      char* element = *array.elements + static_cast<size_t>(i) * elementSize;
      std::memcpy(&old, element, sizeof old);
      HostDisposeText(old);
      std::memcpy(element, &old, sizeof old);
    }
  }
  const int64_t newBytes = (static_cast<int64_t>(count) + 1) * static_cast<int64_t>(elementSize);
  const int64_t oldBytes = (static_cast<int64_t>(array.count) + 1) * static_cast<int64_t>(elementSize);
  if (!HostSetHandleSize(array.elements, newBytes)) return false;
  if (newBytes > oldBytes && *array.elements != nullptr)
    std::memset(*array.elements + oldBytes, 0, static_cast<size_t>(newBytes - oldBytes));
  array.count = count;
  StoreUnaligned(&variable.value.array, array);
  return true;
}

int32_t HostGetLongArrayElement(const HostVariable& variable, int32_t index) {
  const char* element = ElementAddress(variable, abi::kKindLongintArray, index);
  return element ? LoadUnaligned<int32_t>(element) : 0;
}

int16_t HostGetIntegerArrayElement(const HostVariable& variable, int32_t index) {
  const char* element = ElementAddress(variable, abi::kKindIntegerArray, index);
  return element ? LoadUnaligned<int16_t>(element) : 0;
}

double HostGetRealArrayElement(const HostVariable& variable, int32_t index) {
  const char* element = ElementAddress(variable, abi::kKindRealArray, index);
  return element ? LoadUnaligned<double>(element) : 0.0;
}

void HostSetLongArrayElement(HostVariable& variable, int32_t index, int32_t value) {
  if (char* element = ElementAddress(variable, abi::kKindLongintArray, index))
    StoreUnaligned(element, value);
}

void HostSetIntegerArrayElement(HostVariable& variable, int32_t index, int16_t value) {
  if (char* element = ElementAddress(variable, abi::kKindIntegerArray, index))
    StoreUnaligned(element, value);
}

void HostSetRealArrayElement(HostVariable& variable, int32_t index, double value) {
  if (char* element = ElementAddress(variable, abi::kKindRealArray, index))
    StoreUnaligned(element, value);
}

void HostSetTextArrayElement(HostVariable& variable, int32_t index, HostText text) {
  char* element = ElementAddress(variable, abi::kKindTextArray, index);
  if (element == nullptr) {
    HostDisposeText(text);
    return;
  }
  HostText old;
  std::memcpy(&old, element, sizeof old);
  HostDisposeText(old);
  std::memcpy(element, &text, sizeof text);
}

// ---------------------------------------------------------------------------
// Texts and memory blocks
// ---------------------------------------------------------------------------

HostText HostCreateText(const char16_t* utf16) {
  CallbackBlock call;
  call.block.handle = const_cast<char16_t*>(utf16 ? utf16 : u"");
  Call(abi::kCreateUnistring, call.block);
  if (tLastError != 0) return HostText{};
  return call.block.uniString1;
}

void HostDisposeText(HostText& text) {
  if (text.units != nullptr) {
    CallbackBlock call;
    call.block.uniString1 = text;
    Call(abi::kDisposeUnistring, call.block);
  }
  text = HostText{};
}

namespace {
CallbackBlock HandleCall(abi::HandleOperation operation, HostHandle handle, int64_t size = 0) {
  CallbackBlock call;
  call.block.param1 = operation;
  call.block.param2 = size;
  call.block.handle = handle;
  Call(abi::kHandleManager, call.block);
  return call;
}
}  // namespace

HostHandle HostNewHandle(int64_t size) {
  if (size < 0) return nullptr;
  CallbackBlock call = HandleCall(abi::kHandleNew, nullptr, size);
  return tLastError == 0 ? static_cast<HostHandle>(call.block.handle) : nullptr;
}

void HostDisposeHandle(HostHandle handle) {
  if (handle != nullptr) HandleCall(abi::kHandleDispose, handle);
}

void* HostLockHandle(HostHandle handle) {
  if (handle == nullptr) return nullptr;
  CallbackBlock call = HandleCall(abi::kHandleLock, handle);
  return tLastError == 0 ? reinterpret_cast<void*>(call.block.param3) : nullptr;
}

void HostUnlockHandle(HostHandle handle) {
  if (handle != nullptr) HandleCall(abi::kHandleUnlock, handle);
}

bool HostSetHandleSize(HostHandle handle, int64_t size) {
  if (handle == nullptr || size < 0) return false;
  HandleCall(abi::kHandleSetSize, handle, size);
  return tLastError == 0;
}

int64_t HostGetHandleSize(HostHandle handle) {
  if (handle == nullptr) return 0;
  CallbackBlock call = HandleCall(abi::kHandleGetSize, handle);
  return tLastError == 0 ? call.block.param2 : 0;
}

// ---------------------------------------------------------------------------
// 4D commands and folders
// ---------------------------------------------------------------------------

int32_t HostGetCommandId(const char16_t* name) {
  CallbackBlock call;
  size_t length = 0;
  while (name != nullptr && name[length] != 0 && length < 255) ++length;
  if (length > 0) std::memcpy(call.block.uName, name, length * sizeof(char16_t));
  Call(abi::kGetCommandId, call.block);
  return static_cast<int32_t>(call.block.param1);
}

HostVariable HostExecuteCommand(int32_t command, HostVariable* arguments, int count) {
  HostVariable result;
  std::memset(&result, 0, sizeof result);
  result.kind = abi::kKindUndefined;
  if (count < 0 || (count > 0 && arguments == nullptr)) {
    tLastError = kErrorNoCallback;
    return result;
  }
  // 4D's library passes the argument pointers in a host block (a 0-byte one
  // when there are no arguments); we do the same rather than rely on a plain
  // array being accepted.
  const int64_t listBytes = static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(void*));
  // Without the list the command never runs: the error word says so and the
  // result stays undefined, so no caller can read a failure as a value.
  HostHandle list = HostNewHandle(listBytes);
  if (list == nullptr) {
    if (tLastError == 0) tLastError = kErrorBadParameter;
    return result;
  }
  auto* pointers = static_cast<HostVariable**>(HostLockHandle(list));
  if (pointers == nullptr) {
    const int16_t error = tLastError != 0 ? tLastError : kErrorBadParameter;
    HostDisposeHandle(list);
    tLastError = error;
    return result;
  }
  for (int i = 0; i < count; ++i) pointers[i] = &arguments[i];
  CallbackBlock call;
  call.block.param1 = command;
  call.block.param2 = count;
  call.block.ptr1 = pointers;
  call.block.ptr2 = &result;
  Call(abi::kExecuteCommandById, call.block);
  const int16_t error = tLastError;
  HostUnlockHandle(list);
  HostDisposeHandle(list);
  tLastError = error;  // the command's outcome, not the clean-up's
  return result;
}

HostText HostGetFolderPath(int32_t kind, bool create) {
  CallbackBlock call;  // zeroed: 4D may leave the text untouched on failure
  call.block.param1 = kind;
  call.block.param2 = create ? 1 : 0;
  call.block.param3 = abi::kFolderRequestTag;
  Call(abi::kGet4DFolder, call.block);
  return call.block.uniString1;
}
