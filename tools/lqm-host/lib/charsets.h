// Character-set conversion as 4D's EX_CONVERT_CHARSET_TO_CHARSET does it, for
// the three sets the plugin uses: UTF-16 little-endian (2), UTF-8 (7) and the
// single-byte legacy set (100), which this host treats as Mac OS Roman.
//
// Conversions decode the source into code points and encode them into the
// destination, writing only whole characters and never more than the
// destination's capacity; no terminator is added. Damaged input never fails
// the conversion: an invalid UTF-8 sequence, a lone UTF-16 surrogate or a
// trailing odd byte of UTF-16 becomes U+FFFD, and a character that Mac OS
// Roman cannot hold becomes '?'. UTF-16 to UTF-16 copies units unchanged (a
// lone surrogate stays), as copying a 4D text does.
//
// Also the UTF-8 <-> UTF-16 helpers the host itself uses for names, paths
// and the protocol's texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lqm::host {

// Whether the set is one of the three this host converts.
bool IsSupportedCharset(int64_t charset);

// Converts srcBytes bytes of src from srcSet into at most dstCapacity bytes at
// dst in dstSet; returns the number of bytes written, or -1 when a set is not
// supported. dst may be null only when dstCapacity is 0.
int64_t ConvertCharset(const void* src, size_t srcBytes, int64_t srcSet, void* dst,
                       size_t dstCapacity, int64_t dstSet);

// The Unicode character of a Mac OS Roman byte, and the byte of a character
// (-1 when Mac OS Roman has none).
char32_t MacRomanToUnicode(uint8_t byte);
int MacRomanFromUnicode(char32_t character);

// Reads one UTF-8 character of the n > 0 bytes at s and sets `taken` to the
// bytes it used (1 for an invalid sequence, which gives U+FFFD). `loose`
// accepts the 3-byte forms of surrogates.
char32_t DecodeUtf8Character(const uint8_t* s, size_t n, size_t& taken, bool loose);

// Appends one code point (or lone surrogate, in its 3-byte form) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// UTF-8 to UTF-16 (invalid sequences become U+FFFD). `loose` reads the
// 3-byte forms of surrogates as those single units, which is how the JSON
// reader of loose_json.h keeps an unpaired \ud800 escape.
std::u16string Utf8ToUtf16(std::string_view utf8, bool loose = false);
// UTF-16 to UTF-8 (lone surrogates become U+FFFD).
std::string Utf16ToUtf8(std::u16string_view utf16);
// UTF-16 to UTF-8 keeping lone surrogates as their 3-byte forms, so that the
// protocol writer can show them as \uXXXX escapes instead of losing them.
std::string Utf16ToLooseUtf8(std::u16string_view utf16);

}  // namespace lqm::host
