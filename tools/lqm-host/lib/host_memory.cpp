// The host's registry of handles, texts and variable tokens (host_memory.h).
#include "host_memory.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace lqm::host {
namespace {
constexpr int16_t kBadParameter = -50;
constexpr int16_t kNoMemory = -108;
constexpr int16_t kNullHandle = -109;
constexpr int16_t kUnknownBlock = -111;
constexpr int16_t kNotOwned = -117;
// No handle may exceed what 4D's int32 BLOB sizes can describe.
constexpr int64_t kMaxHandleSize = std::numeric_limits<int32_t>::max();

char* AllocateData(size_t size) {
  // One byte at least, so that a 0-byte handle still has a distinct block.
  return static_cast<char*>(std::malloc(size == 0 ? 1 : size));
}
}  // namespace

HostMemory::~HostMemory() {
  for (auto& [handle, entry] : handles_) {
    std::free(entry.data);
    delete handle;
  }
  for (auto& [units, entry] : texts_) delete[] units;
}

// ---------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------

char** HostMemory::NewHandle(int64_t size, Owner owner, int16_t* error) {
  if (size < 0 || size > kMaxHandleSize) {
    *error = size < 0 ? kBadParameter : kNoMemory;
    return nullptr;
  }
  char* data = AllocateData(size_t(size));
  char** handle = data ? new (std::nothrow) char*(data) : nullptr;
  if (!handle) {
    std::free(data);
    *error = kNoMemory;
    return nullptr;
  }
  std::memset(data, kFillByte, size_t(size));
  std::lock_guard<std::mutex> lock(mutex_);
  handles_[handle] = HandleEntry{data, size_t(size), false, owner, nextSerial_++};
  return handle;
}

char** HostMemory::NewHandleFrom(const void* bytes, int64_t length, Owner owner, int16_t* error) {
  if (length > 0 && !bytes) {
    *error = kBadParameter;
    return nullptr;
  }
  char** handle = NewHandle(length, owner, error);
  if (handle && length > 0) std::memcpy(*handle, bytes, size_t(length));
  return handle;
}

int16_t HostMemory::DisposeHandleLocked(char** handle, bool force) {
  if (!handle) return kNullHandle;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  if (!force && it->second.owner == Owner::kPinned) return kNotOwned;
  std::free(it->second.data);
  delete handle;
  handles_.erase(it);
  return 0;
}

int16_t HostMemory::DisposeHandle(char** handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  return DisposeHandleLocked(handle, false);
}

int16_t HostMemory::ResizeHandle(char** handle, int64_t size) {
  if (!handle) return kNullHandle;
  if (size < 0) return kBadParameter;
  if (size > kMaxHandleSize) return kNoMemory;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  HandleEntry& entry = it->second;
  char* data = AllocateData(size_t(size));
  if (!data) return kNoMemory;
  size_t kept = entry.size < size_t(size) ? entry.size : size_t(size);
  std::memcpy(data, entry.data, kept);
  std::memset(data + kept, kFillByte, size_t(size) - kept);
  std::free(entry.data);
  entry.data = data;
  entry.size = size_t(size);
  *handle = data;
  return 0;
}

int16_t HostMemory::HandleSize(char** handle, int64_t* size) const {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  *size = int64_t(it->second.size);
  return 0;
}

int16_t HostMemory::LockHandle(char** handle, void** data) {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  it->second.locked = true;
  *data = it->second.data;
  return 0;
}

int16_t HostMemory::UnlockHandle(char** handle) {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  it->second.locked = false;
  return 0;
}

int16_t HostMemory::HandleState(char** handle, int64_t* state) const {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  *state = it->second.locked ? 0x80 : 0;
  return 0;
}

int16_t HostMemory::SetHandleState(char** handle, int64_t state) {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  it->second.locked = (state & 0x80) != 0;
  return 0;
}

bool HostMemory::IsHandle(char** handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handles_.count(handle) != 0;
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

char16_t* HostMemory::NewText(const char16_t* units, size_t length, Owner owner) {
  char16_t* copy = new (std::nothrow) char16_t[length + 1];
  if (!copy) return nullptr;
  if (length) std::memcpy(copy, units, length * sizeof(char16_t));
  copy[length] = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  texts_[copy] = TextEntry{length, owner, nextSerial_++};
  return copy;
}

int16_t HostMemory::DisposeTextLocked(char16_t* units, bool force) {
  auto it = texts_.find(units);
  if (it == texts_.end()) return kUnknownBlock;
  if (!force && it->second.owner == Owner::kPinned) return kNotOwned;
  texts_.erase(it);
  delete[] units;
  return 0;
}

int16_t HostMemory::DisposeText(char16_t* units) {
  if (!units) return 0;  // an all-zero record is an empty text: nothing to release
  std::lock_guard<std::mutex> lock(mutex_);
  return DisposeTextLocked(units, false);
}

bool HostMemory::TextLength(const char16_t* units, size_t* length) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = texts_.find(units);
  if (it == texts_.end()) return false;
  *length = it->second.length;
  return true;
}

// ---------------------------------------------------------------------------
// Owners, serials, tokens
// ---------------------------------------------------------------------------

uint64_t HostMemory::SerialOf(const void* object) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto h = handles_.find(static_cast<char**>(const_cast<void*>(object)));
  if (h != handles_.end()) return h->second.serial;
  auto t = texts_.find(static_cast<const char16_t*>(object));
  return t != texts_.end() ? t->second.serial : 0;
}

bool HostMemory::OwnerOf(const void* object, Owner* owner) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto h = handles_.find(static_cast<char**>(const_cast<void*>(object)));
  if (h != handles_.end()) return *owner = h->second.owner, true;
  auto t = texts_.find(static_cast<const char16_t*>(object));
  if (t != texts_.end()) return *owner = t->second.owner, true;
  return false;
}

void HostMemory::SetOwner(const void* object, Owner owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto h = handles_.find(static_cast<char**>(const_cast<void*>(object)));
  if (h != handles_.end()) h->second.owner = owner;
  auto t = texts_.find(static_cast<const char16_t*>(object));
  if (t != texts_.end()) t->second.owner = owner;
}

void HostMemory::Release(const void* object) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (DisposeHandleLocked(static_cast<char**>(const_cast<void*>(object)), true) != 0)
    DisposeTextLocked(static_cast<char16_t*>(const_cast<void*>(object)), true);
}

uint64_t HostMemory::NewVariableToken() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t token = nextSerial_++;
  variableTokens_.insert(token);
  return token;
}

bool HostMemory::RetireVariableToken(uint64_t token) {
  std::lock_guard<std::mutex> lock(mutex_);
  return variableTokens_.erase(token) != 0;
}

LiveObjects HostMemory::Live() const {
  std::lock_guard<std::mutex> lock(mutex_);
  LiveObjects live;
  for (const auto& [handle, entry] : handles_)
    if (entry.owner == Owner::kPlugin) ++live.handles;
  for (const auto& [units, entry] : texts_)
    if (entry.owner == Owner::kPlugin) ++live.texts;
  live.variables = int64_t(variableTokens_.size());
  return live;
}

}  // namespace lqm::host
