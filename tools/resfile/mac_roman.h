// Mac OS Roman, the charset of the texts inside classic resources.
//
// Bytes 0x00-0x7F are ASCII; 0x80-0xFF map one to one onto 128 Unicode code
// points (kMacRomanHigh), so every byte string decodes and decoding then
// encoding gives the same bytes back. The reverse direction fails for any
// code point outside those 256. Invalid UTF-8 (overlong forms, surrogates,
// truncated sequences, values past U+10FFFF) is refused, never repaired.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace resfile {

// Unicode for Mac OS Roman 0x80-0xFF, in the modern form of the charset: 0xDB
// is the euro sign (the currency sign before Mac OS 8.5) and 0xF0 the Apple
// logo at U+F8FF in the private use area. Checked entry by entry against an
// independent codec; tests/tools/resfile_test.cpp compares it with the C
// library's converter where one is available.
inline constexpr uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 0x80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 0x88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 0x90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 0x98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // 0xA0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // 0xA8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // 0xB0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // 0xB8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // 0xC0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // 0xC8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // 0xD0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // 0xD8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // 0xE0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // 0xE8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // 0xF0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // 0xF8
};

namespace detail {
constexpr bool MacRomanIsBijective() {
  for (int i = 0; i < 128; ++i) {
    if (kMacRomanHigh[i] < 0x80) return false;
    for (int j = i + 1; j < 128; ++j)
      if (kMacRomanHigh[i] == kMacRomanHigh[j]) return false;
  }
  return true;
}
}  // namespace detail
static_assert(detail::MacRomanIsBijective(),
              "Mac OS Roman must map 256 bytes to 256 distinct characters");

// Why a UTF-8 to Mac Roman conversion failed. byteOffset is where the
// offending sequence starts in the UTF-8 input.
struct MacRomanFailure {
  bool invalidUtf8 = false;  // else: a valid character with no Mac Roman byte
  uint32_t codePoint = 0;    // the unmappable character
  size_t byteOffset = 0;
};

// The Unicode code point of one Mac Roman byte.
uint32_t MacRomanToCodePoint(uint8_t byte);
// The Mac Roman byte of a code point, or -1 when it has none.
int CodePointToMacRoman(uint32_t codePoint);

std::string MacRomanToUtf8(std::string_view macRoman);
// On failure *macRoman is left empty and *failure says why.
bool Utf8ToMacRoman(std::string_view utf8, std::string* macRoman, MacRomanFailure* failure);

// Decodes the UTF-8 sequence at text[*offset], advancing *offset past it.
// Returns false (offset unchanged) on an invalid or truncated sequence.
bool DecodeUtf8(std::string_view text, size_t* offset, uint32_t* codePoint);
// Appends a code point (<= U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

}  // namespace resfile

namespace resfile {

// A Mac Roman byte string as a double-quoted literal of the resource source
// language (UTF-8): `"` and `\` escaped, tab, CR and LF as \t \r \n, other
// control bytes as \u{XX}. The compiler's lexer reads it back to the same
// bytes.
std::string QuoteMacRoman(std::string_view macRoman);

}  // namespace resfile
