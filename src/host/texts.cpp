// Texts between 4D's UTF-16 and the plugin's UTF-8 (see texts.h).
//
// Every conversion sizes its buffer once for the worst case of its charset
// pair, lets the host convert, adds the terminator that was asked for and
// shrinks the buffer to fit. A failed allocation gives length 0 and no
// buffer, which every caller already treats as "no text".
#include "host/texts.h"

#include <cstring>

#include "base/plugin_heap.h"

namespace {

// What a conversion does about the terminator: nothing, make sure the text
// ends with one (counted in the length), or always write one after the
// converted bytes (not counted, so a text that itself ends in U+0000 keeps
// that character).
enum class Terminator { kNone, kEnsure, kAppend };

// One conversion of the core family. `capacityFor` gives the worst-case
// capacity for srcBytes of input (terminator included), `nulBytes` is the
// size of the target's terminator.
int64_t ConvertInto(const void* src, int64_t srcBytes, int64_t srcSet, int64_t dstSet,
                    int64_t (*capacityFor)(int64_t), int nulBytes, char** buffer, Terminator terminator) {
  if (srcBytes < 0) srcBytes = 0;
  const int64_t worstCase = capacityFor(srcBytes);
  void* resized = PluginRealloc(*buffer, static_cast<size_t>(worstCase));
  if (resized == nullptr) {
    PluginFree(*buffer);
    *buffer = nullptr;
    return 0;
  }
  *buffer = static_cast<char*>(resized);
  int64_t n = srcBytes > 0 ? HostConvertCharset(src, srcBytes, srcSet, *buffer, worstCase, dstSet) : 0;
  if (terminator == Terminator::kAppend && n > 0) {
    if (n + nulBytes > worstCase) n = worstCase - nulBytes;
    std::memset(*buffer + n, 0, static_cast<size_t>(nulBytes));
    if (void* shrunk = PluginRealloc(*buffer, static_cast<size_t>(n + nulBytes)))
      *buffer = static_cast<char*>(shrunk);
    return n;
  }
  if (terminator == Terminator::kEnsure) {
    bool terminated = n >= nulBytes;
    for (int i = 1; terminated && i <= nulBytes; ++i) terminated = (*buffer)[n - i] == 0;
    if (!terminated) {
      // The worst case leaves room for the terminator; a host that filled the
      // whole buffer loses its last unit instead of overrunning it.
      if (n + nulBytes > worstCase) n = worstCase - nulBytes;
      std::memset(*buffer + n, 0, static_cast<size_t>(nulBytes));
      n += nulBytes;
    }
  }
  if (n == 0) {
    PluginFree(*buffer);
    *buffer = nullptr;
  } else if (n != worstCase) {
    if (void* shrunk = PluginRealloc(*buffer, static_cast<size_t>(n)))
      *buffer = static_cast<char*>(shrunk);
  }
  return n;
}

}  // namespace

// The capacities are the worst cases of each pair, kept tight because whole
// documents pass here: a UTF-16 unit (or a lone trailing byte) gives at most
// 3 UTF-8 bytes, a surrogate pair 4 for its two units; a legacy byte at most
// 3; a UTF-8 byte at most one UTF-16 unit (a 4-byte sequence gives two).
namespace {
int64_t Utf8CapacityForUtf16(int64_t n) { return 1 + 3 * ((n + 1) / 2); }
Terminator EnsureIf(bool terminate) { return terminate ? Terminator::kEnsure : Terminator::kNone; }
}  // namespace

int64_t Utf16ToUtf8(const void* src, int64_t srcBytes, char** buffer, bool terminate) {
  return ConvertInto(src, srcBytes, kCharsetUtf16, kCharsetUtf8, Utf8CapacityForUtf16, 1, buffer,
                     EnsureIf(terminate));
}

int64_t Utf16ToUtf8Text(const void* src, int64_t srcBytes, char** buffer) {
  return ConvertInto(src, srcBytes, kCharsetUtf16, kCharsetUtf8, Utf8CapacityForUtf16, 1, buffer,
                     Terminator::kAppend);
}

int64_t SystemToUtf8(const void* src, int64_t srcBytes, char** buffer, bool terminate) {
  return ConvertInto(src, srcBytes, kCharsetLegacy, kCharsetUtf8, [](int64_t n) { return 1 + 3 * n; }, 1, buffer,
                     EnsureIf(terminate));
}

int64_t Utf8ToUtf16(const void* src, int64_t srcBytes, char** buffer, bool terminate) {
  return ConvertInto(src, srcBytes, kCharsetUtf8, kCharsetUtf16, [](int64_t n) { return 2 * n + 2; }, 2, buffer,
                     EnsureIf(terminate));
}

HostText NewHostTextFromUtf8(std::string_view utf8) {
  char* utf16 = nullptr;
  Utf8ToUtf16(utf8.data(), static_cast<int64_t>(utf8.size()), &utf16, true);
  if (utf16 == nullptr) return {0, nullptr};
  const HostText text = HostCreateText(reinterpret_cast<const char16_t*>(utf16));
  PluginFree(utf16);
  return text;
}

int64_t TextVariableToUtf8(const HostVariable& variable, char** buffer) {
  if (HostGetVariableKind(variable) != lqm::abi::kKindText) return 0;
  const HostText text = HostGetTextVariable(variable);
  if (text.units == nullptr) return Utf16ToUtf8(nullptr, 0, buffer, true);
  return Utf16ToUtf8(text.units, static_cast<int64_t>(text.length) * 2, buffer, true);
}

HostVariable GetVariableByUtf8Name(const char* name) {
  char* utf16 = nullptr;
  if (name != nullptr)
    Utf8ToUtf16(name, static_cast<int64_t>(std::strlen(name)), &utf16, true);
  if (utf16 == nullptr) {
    HostVariable none;
    std::memset(&none, 0, sizeof none);
    none.kind = lqm::abi::kKindNone;
    return none;
  }
  HostVariable variable = HostGetVariableByName(reinterpret_cast<const char16_t*>(utf16));
  PluginFree(utf16);
  return variable;
}

void GetFolderPathUtf8(char* out, int64_t capacity, int32_t kind, bool create) {
  if (out == nullptr || capacity < 1) return;
  out[0] = 0;
  HostText folder = HostGetFolderPath(kind, create);
  if (HostGetLastError() == 0 && folder.units != nullptr) {
    char* converted = nullptr;
    const int64_t n = Utf16ToUtf8(folder.units, static_cast<int64_t>(folder.length) * 2,
                                  &converted, true);
    // A path that does not fit is no path: a cut one could name another folder.
    if (converted != nullptr && n <= capacity) std::memcpy(out, converted, static_cast<size_t>(n));
    PluginFree(converted);
  }
  HostDisposeText(folder);
}

void PrefixedToTerminated(char* buffer) {
  if (buffer == nullptr) return;
  const auto n = static_cast<unsigned char>(buffer[0]);
  if (n == 0) {
    buffer[0] = 0;
    return;
  }
  std::memmove(buffer, buffer + 1, n);
  buffer[n] = 0;
}
