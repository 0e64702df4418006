// Texts between 4D's UTF-16 and the plugin's UTF-8.
//
// The conversions themselves are the host's (HostConvertCharset); this layer
// sizes buffers for the worst case, adds terminators and shrinks to fit.
// Growable buffers are C-heap blocks (PluginMalloc) passed by address: the
// callee allocates, enlarges or shrinks them, the caller frees them. A result
// of 0 bytes leaves no buffer (null). Lengths are in bytes and count the
// terminator when one was asked for.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/host_calls.h"

// Charset identifiers of HostConvertCharset.
inline constexpr int64_t kCharsetUtf16 = 2;
inline constexpr int64_t kCharsetUtf8 = 7;
inline constexpr int64_t kCharsetLegacy = 100;

// The conversion core. Each returns the converted length in bytes; on a
// failed allocation it returns 0 and leaves *buffer null (and freed).
int64_t Utf16ToUtf8(const void* src, int64_t srcBytes, char** buffer, bool terminate);
int64_t SystemToUtf8(const void* src, int64_t srcBytes, char** buffer, bool terminate);
int64_t Utf8ToUtf16(const void* src, int64_t srcBytes, char** buffer, bool terminate);

// UTF-16 to UTF-8 with a NUL written after the converted bytes and not
// counted: the length is the text's own, whatever characters it ends with.
int64_t Utf16ToUtf8Text(const void* src, int64_t srcBytes, char** buffer);
// A new 4D text (the caller's, until handed to 4D) from UTF-8; {0, nullptr}
// when the text cannot be converted or made.
HostText NewHostTextFromUtf8(std::string_view utf8);
// A NUL-terminated UTF-8 copy of a text variable into a growable buffer;
// 0 (buffer untouched) when the variable holds no text.
int64_t TextVariableToUtf8(const HostVariable& variable, char** buffer);
// A process or interprocess ("<>" prefix) variable by UTF-8 name; kind 255
// when the name cannot be converted.
HostVariable GetVariableByUtf8Name(const char* name);
// A host folder as a NUL-terminated UTF-8 path in `out` (capacity bytes);
// the empty string on failure or when the path does not fit.
void GetFolderPathUtf8(char* out, int64_t capacity, int32_t kind, bool create);
// Turns a length-prefixed string into a NUL-terminated one, in place.
void PrefixedToTerminated(char* buffer);
