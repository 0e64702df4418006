// Resource readers over "GET RESOURCE" (see resource_readers.h).
//
// Layouts as 4D delivers them: "STR#" = 16-bit item count (little-endian)
// then length-prefixed items; "STR " = one length-prefixed string; "vers" =
// six bytes of numeric fields, then the short and the long version string,
// each length-prefixed. Strings are in the legacy single-byte charset and
// are converted to UTF-8 when asked.
//
// State, private to this file: the references of the plugin's open resource
// files and the two cached texts. ResourcesInit forgets the files (4D closes
// them with the process; a new initialisation opens them again) and frees
// the caches; ResourcesShutdown frees the caches only, so the files stay
// usable after -2, as they have always been.
#include "resources/resource_readers.h"

#include <cstring>

#include "base/byte_order.h"
#include "base/plugin_heap.h"
#include "host/named_commands.h"
#include "host/texts.h"

namespace {

int32_t gResourceFileRefs[kMaxResourceFiles] = {};
int32_t gResourceFileCount = 0;
char* gVersionText = nullptr;
char* gStringListText = nullptr;

void ReleaseCaches() {
  PluginRelease(gVersionText);
  PluginRelease(gStringListText);
}

// Moves `size` bytes (NUL included) into *out, reallocating it; on a failed
// allocation *out keeps what it had and 0 is returned.
int64_t StoreResult(char** out, const char* bytes, int64_t size) {
  void* resized = PluginRealloc(*out, static_cast<size_t>(size));
  if (resized == nullptr) return 0;
  *out = static_cast<char*>(resized);
  std::memcpy(*out, bytes, static_cast<size_t>(size));
  return size;
}

// Takes the length-prefixed string at data[offset] (which the caller has
// checked lies inside the data): NUL-terminated in place, or converted.
int64_t TakePrefixedString(char** out, char* data, int64_t offset, bool convert) {
  char* text = data + offset;
  const int64_t length = static_cast<unsigned char>(text[0]);
  if (!convert) {
    PrefixedToTerminated(text);
    return StoreResult(out, text, length + 1);
  }
  char* converted = nullptr;
  int64_t size = SystemToUtf8(text + 1, length, &converted, true);
  size = converted ? StoreResult(out, converted, size) : StoreResult(out, "", 1);
  PluginFree(converted);
  return size;
}

}  // namespace

void ResourcesInit() {
  ReleaseCaches();
  for (int32_t& ref : gResourceFileRefs) ref = 0;
  gResourceFileCount = 0;
}

void ResourcesShutdown() { ReleaseCaches(); }

bool ResourceFilesOpen() { return gResourceFileCount > 0; }

uint16_t TestPathName(const char* path) { return RunTestPathName(path); }

bool OpenPluginResourceFile(const char* path) {
  if (gResourceFileCount >= kMaxResourceFiles) return false;
  const int32_t ref = RunOpenResourceFile(path);
  if (ref == 0) return false;
  gResourceFileRefs[gResourceFileCount++] = ref;
  return true;
}

int64_t ReadResourceToBuffer(char** buffer, const char* type, uint32_t number, uint16_t extra) {
  if (!ResourceFilesOpen()) return 0;
  int64_t length = 0;
  if (!RunGetResource(type, number, buffer, &length, extra)) return 0;
  return length + extra;
}

HostHandle ReadResourceToHandle(const char* type, uint32_t number, uint16_t extra) {
  char* data = nullptr;
  const int64_t size = ReadResourceToBuffer(&data, type, number, extra);
  HostHandle handle = nullptr;
  if (size > 0) {
    handle = HostNewHandle(size);
    void* bytes = handle ? HostLockHandle(handle) : nullptr;
    if (bytes != nullptr) {
      std::memcpy(bytes, data, static_cast<size_t>(size - extra));
      HostUnlockHandle(handle);
    } else if (handle != nullptr) {
      HostDisposeHandle(handle);
      handle = nullptr;
    }
  }
  PluginFree(data);
  return handle;
}

int64_t ReadStringListItem(char** out, uint32_t number, int32_t index, bool convert) {
  char* data = nullptr;
  const int64_t n = ReadResourceToBuffer(&data, "STR#", number, 0);
  int64_t size = 0;
  if (n >= 3) {
    int16_t count;
    std::memcpy(&count, data, 2);
    UnitsToLittleEndian(reinterpret_cast<unsigned char*>(&count), 2, 2);
    if (index >= 1 && index <= count) {
      int64_t offset = 2;
      for (int32_t item = 1; offset < n; ++item) {
        const int64_t length = static_cast<unsigned char>(data[offset]);
        if (offset + length >= n) break;  // the item would run past the data
        if (item == index) {
          size = TakePrefixedString(out, data, offset, convert);
          break;
        }
        offset += 1 + length;
      }
    }
  }
  PluginFree(data);
  return size > 0 ? size : StoreResult(out, "", 1);
}

int64_t ReadSingleString(char** out, uint32_t number, bool convert) {
  char* data = nullptr;
  const int64_t n = ReadResourceToBuffer(&data, "STR ", number, 0);
  int64_t size = 0;
  if (n >= 1 && static_cast<unsigned char>(data[0]) < n)
    size = TakePrefixedString(out, data, 0, convert);
  PluginFree(data);
  return size > 0 ? size : StoreResult(out, "", 1);
}

int64_t ReadVersionString(char** out, uint32_t number, bool longForm, bool convert) {
  char* data = nullptr;
  const int64_t n = ReadResourceToBuffer(&data, "vers", number, 0);
  int64_t size = 0;
  if (n > 6) {
    int64_t offset = 6;
    if (longForm) offset = 7 + static_cast<unsigned char>(data[6]);
    if (offset < n && offset + static_cast<unsigned char>(data[offset]) < n)
      size = TakePrefixedString(out, data, offset, convert);
  }
  PluginFree(data);
  return size > 0 ? size : StoreResult(out, "", 1);
}

namespace {
using CacheFiller = void (*)(char** cache);

const char* LoadCachedText(char*& cache, CacheFiller fill, char* dest, int64_t capacity) {
  if (cache == nullptr || cache[0] == 0) fill(&cache);
  const char* text = cache ? cache : "";
  if (dest != nullptr && capacity > 0) {
    const size_t size = std::strlen(text) + 1;
    if (static_cast<int64_t>(size) <= capacity)
      std::memcpy(dest, text, size);
    else
      dest[0] = 0;
  }
  return text;
}
}  // namespace

const char* LoadInfoString(char* dest, int64_t capacity) {
  return LoadCachedText(gStringListText,
                        [](char** cache) { ReadStringListItem(cache, 20015, 1, true); }, dest,
                        capacity);
}

const char* LoadVersionText(char* dest, int64_t capacity) {
  return LoadCachedText(gVersionText,
                        [](char** cache) { ReadVersionString(cache, 1, false, true); }, dest,
                        capacity);
}
