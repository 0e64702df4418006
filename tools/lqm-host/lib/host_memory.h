// The host's registry of every memory object it hands to the plugin: master
// pointer handles, texts, and the tokens of variables that crossed over.
//
// Why a registry: the plugin gives back raw pointers (a handle, a text's
// units). Looking each one up before use lets the host answer a stale or
// foreign pointer with an error code, as the ABI asks, instead of freeing
// memory it does not own. It also knows who owns each object, which is what
// the leak accounting counts.
//
// Handles are classic master-pointer handles: the handle is the address of a
// pointer to the data, so `*(char**)handle` reaches the bytes without
// locking. The data block always exists (at least one byte), so a handle of
// size 0 is not null. Resizing always moves the data to a new block, which
// makes a plugin that keeps a stale data pointer fail under the sanitizers
// instead of working by luck. New bytes are filled with 0xA5, not zero: 4D
// promises no zeroing, and the plugin's own zero-filling is what is tested.
// A handle made from bytes is written once (no fill before the copy), and
// its block is a byte vector, so that the host can move a BLOB it reads
// back after a call into the Value instead of copying it a second time: at
// 64 MiB those copies into fresh pages cost more than the codecs.
//
// Texts are keyed by their units pointer; the units are NUL-terminated and
// the registered length excludes the NUL. A text's units are a string of
// their own, so a call's text argument moves in and its text read back moves
// out, as with BLOBs: 4D hands its texts over without copying them either.
//
// Every operation locks the registry's mutex, so several plugin threads may
// call at once. Each entry has a serial number, unique for the life of the
// registry, so a caller that remembered (address, serial) can tell its object
// from a later one that reused the address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lqm::host {

enum class Owner : uint8_t {
  kHost,    // the host's own, e.g. a parameter's storage; released by the host
  kPlugin,  // made by or handed to the plugin; counted as live until released
  kPinned,  // the content of a named host variable; the plugin may not release it
};

struct LiveObjects {
  int64_t texts = 0;
  int64_t handles = 0;
  int64_t variables = 0;
};

class HostMemory {
 public:
  static constexpr uint8_t kFillByte = 0xA5;

  HostMemory() = default;
  ~HostMemory();
  HostMemory(const HostMemory&) = delete;
  HostMemory& operator=(const HostMemory&) = delete;

  // --- handles ---------------------------------------------------------------
  // Every New... sets *serial (when given) to the new object's serial.
  // Null (with *error set) when the size is negative or memory runs out.
  char** NewHandle(int64_t size, Owner owner, int16_t* error, uint64_t* serial = nullptr);
  // A new handle holding a copy of `length` bytes.
  char** NewHandleFrom(const void* bytes, int64_t length, Owner owner, int16_t* error,
                       uint64_t* serial = nullptr);
  // A new handle whose block is `bytes` itself, moved in (left empty); on
  // failure `bytes` is left as it was.
  char** NewHandleAdopting(std::vector<uint8_t>& bytes, Owner owner, int16_t* error, uint64_t* serial = nullptr);
  // Each returns 0 or the error code for the error word.
  int16_t DisposeHandle(char** handle);
  int16_t ResizeHandle(char** handle, int64_t size);
  int16_t HandleSize(char** handle, int64_t* size) const;
  int16_t LockHandle(char** handle, void** data);
  int16_t UnlockHandle(char** handle);
  int16_t HandleState(char** handle, int64_t* state) const;  // bit 7: locked
  int16_t SetHandleState(char** handle, int64_t state);
  bool IsHandle(char** handle) const;
  // Moves the bytes of a live handle that is not pinned into `out` and
  // disposes of the handle, whatever its owner (the host's clean-up after a
  // call, for a handle it was about to copy and release). False, with
  // nothing changed, for any other pointer.
  bool TakeHandleBytes(char** handle, std::vector<uint8_t>& out);

  // --- texts -----------------------------------------------------------------
  // The units of a new text holding a copy of `length` units plus a NUL.
  char16_t* NewText(const char16_t* units, size_t length, Owner owner, uint64_t* serial = nullptr);
  // A new text whose units are `text` itself, moved in (left empty); on
  // failure `text` is left as it was.
  char16_t* NewTextAdopting(std::u16string& text, Owner owner, uint64_t* serial = nullptr);
  // Moves the units of a live text that is not pinned into `out` and
  // disposes of the text (the TakeHandleBytes of texts).
  bool TakeTextUnits(const char16_t* units, std::u16string& out);
  int16_t DisposeText(char16_t* units);
  // False when `units` is not a live text of this registry.
  bool TextLength(const char16_t* units, size_t* length) const;

  // --- owners and serials ----------------------------------------------------
  // Serial of a live handle or text, 0 when the pointer is not one.
  uint64_t SerialOf(const void* object) const;
  bool OwnerOf(const void* object, Owner* owner) const;
  void SetOwner(const void* object, Owner owner);
  // Releases a handle or text whatever its owner (the host's own clean-up).
  void Release(const void* object);

  // --- variables that crossed over -----------------------------------------
  uint64_t NewVariableToken();
  bool RetireVariableToken(uint64_t token);  // false when not live

  LiveObjects Live() const;

 private:
  struct HandleEntry {
    // The data block; its capacity is at least 1, so that data() is a
    // distinct block even for size 0. Moving the entry keeps the block.
    std::vector<uint8_t> bytes;
    bool locked;
    Owner owner;
    uint64_t serial;
  };
  struct TextEntry {
    // Its own allocation, so the units stay put wherever the entry goes.
    std::unique_ptr<std::u16string> units;
    Owner owner;
    uint64_t serial;
  };
  int16_t DisposeHandleLocked(char** handle, bool force);
  int16_t DisposeTextLocked(char16_t* units, bool force);
  char16_t* RegisterText(std::unique_ptr<std::u16string>& units, Owner owner, uint64_t* serial);

  mutable std::mutex mutex_;
  uint64_t nextSerial_ = 1;
  std::unordered_map<char**, HandleEntry> handles_;
  std::unordered_map<const char16_t*, TextEntry> texts_;
  std::unordered_set<uint64_t> variableTokens_;
};

}  // namespace lqm::host
