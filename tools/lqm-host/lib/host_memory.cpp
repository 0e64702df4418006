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

// A data block of `size` bytes, the first `copied` taken from `bytes` and
// the rest filled with kFillByte, each byte written once; false when memory
// runs out. The capacity is one byte at least, so that a 0-byte handle still
// has a distinct block.
bool AllocateData(std::vector<uint8_t>& out, size_t size, const void* bytes, size_t copied) {
  try {
    std::vector<uint8_t> block;
    block.reserve(size == 0 ? 1 : size);
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    if (copied) block.assign(from, from + copied);
    block.resize(size, HostMemory::kFillByte);
    out.swap(block);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

char* DataOf(std::vector<uint8_t>& bytes) { return reinterpret_cast<char*>(bytes.data()); }
}  // namespace

HostMemory::~HostMemory() {
  for (auto& [handle, entry] : handles_) delete handle;
}

// ---------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------

namespace {
// NewHandle and NewHandleFrom: a handle of `size` bytes starting with a copy
// of `copied` bytes.
char** MakeHandle(int64_t size, const void* bytes, size_t copied, std::vector<uint8_t>& block,
                  int16_t* error) {
  if (size < 0 || size > kMaxHandleSize) {
    *error = size < 0 ? kBadParameter : kNoMemory;
    return nullptr;
  }
  char** handle = AllocateData(block, size_t(size), bytes, copied) ? new (std::nothrow) char*(DataOf(block))
                                                                    : nullptr;
  if (!handle) *error = kNoMemory;
  return handle;
}
}  // namespace

char** HostMemory::NewHandle(int64_t size, Owner owner, int16_t* error, uint64_t* serial) {
  std::vector<uint8_t> block;
  char** handle = MakeHandle(size, nullptr, 0, block, error);
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (serial) *serial = nextSerial_;
  handles_[handle] = HandleEntry{std::move(block), false, owner, nextSerial_++};
  return handle;
}

char** HostMemory::NewHandleFrom(const void* bytes, int64_t length, Owner owner, int16_t* error,
                                 uint64_t* serial) {
  if (length > 0 && !bytes) {
    *error = kBadParameter;
    return nullptr;
  }
  std::vector<uint8_t> block;
  char** handle = MakeHandle(length, bytes, length > 0 ? size_t(length) : 0, block, error);
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (serial) *serial = nextSerial_;
  handles_[handle] = HandleEntry{std::move(block), false, owner, nextSerial_++};
  return handle;
}

char** HostMemory::NewHandleAdopting(std::vector<uint8_t>& bytes, Owner owner, int16_t* error,
                                     uint64_t* serial) {
  if (bytes.size() > size_t(kMaxHandleSize)) {
    *error = kNoMemory;
    return nullptr;
  }
  try {
    if (bytes.capacity() == 0) bytes.reserve(1);
  } catch (const std::bad_alloc&) {
    *error = kNoMemory;
    return nullptr;
  }
  char** handle = new (std::nothrow) char*(DataOf(bytes));
  if (!handle) {
    *error = kNoMemory;
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (serial) *serial = nextSerial_;
  handles_[handle] = HandleEntry{std::move(bytes), false, owner, nextSerial_++};
  bytes.clear();
  return handle;
}

int16_t HostMemory::DisposeHandleLocked(char** handle, bool force) {
  if (!handle) return kNullHandle;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  if (!force && it->second.owner == Owner::kPinned) return kNotOwned;
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
  std::vector<uint8_t> block;
  size_t kept = entry.bytes.size() < size_t(size) ? entry.bytes.size() : size_t(size);
  if (!AllocateData(block, size_t(size), entry.bytes.data(), kept)) return kNoMemory;
  entry.bytes.swap(block);
  *handle = DataOf(entry.bytes);
  return 0;
}

int16_t HostMemory::HandleSize(char** handle, int64_t* size) const {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  *size = int64_t(it->second.bytes.size());
  return 0;
}

int16_t HostMemory::LockHandle(char** handle, void** data) {
  if (!handle) return kNullHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return kUnknownBlock;
  it->second.locked = true;
  *data = DataOf(it->second.bytes);
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

bool HostMemory::TakeHandleBytes(char** handle, std::vector<uint8_t>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.owner == Owner::kPinned) return false;
  out = std::move(it->second.bytes);
  delete handle;
  handles_.erase(it);
  return true;
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

// Takes `units` only once its entry exists, so a failure leaves it with the
// caller.
char16_t* HostMemory::RegisterText(std::unique_ptr<std::u16string>& units, Owner owner, uint64_t* serial) {
  char16_t* key = units->data();
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    texts_.emplace(key, TextEntry{nullptr, owner, nextSerial_}).first->second.units = std::move(units);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (serial) *serial = nextSerial_;
  ++nextSerial_;
  return key;
}

char16_t* HostMemory::NewText(const char16_t* units, size_t length, Owner owner, uint64_t* serial) {
  try {
    auto copy = std::make_unique<std::u16string>(units, length);
    return RegisterText(copy, owner, serial);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

char16_t* HostMemory::NewTextAdopting(std::u16string& text, Owner owner, uint64_t* serial) {
  std::unique_ptr<std::u16string> holder(new (std::nothrow) std::u16string);
  if (!holder) return nullptr;
  holder->swap(text);
  char16_t* units = RegisterText(holder, owner, serial);
  if (!units) holder->swap(text);
  return units;
}

bool HostMemory::TakeTextUnits(const char16_t* units, std::u16string& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = texts_.find(units);
  if (it == texts_.end() || it->second.owner == Owner::kPinned) return false;
  out = std::move(*it->second.units);
  texts_.erase(it);
  return true;
}

int16_t HostMemory::DisposeTextLocked(char16_t* units, bool force) {
  auto it = texts_.find(units);
  if (it == texts_.end()) return kUnknownBlock;
  if (!force && it->second.owner == Owner::kPinned) return kNotOwned;
  texts_.erase(it);
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
  *length = it->second.units->size();
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
