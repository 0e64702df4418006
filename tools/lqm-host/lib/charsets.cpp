// Character-set conversion of the development host (see charsets.h).
//
// Every conversion goes through code points: a decoder reads one character
// from the source and reports how many bytes it took; an encoder writes one
// character if it fits. Keeping the two sides separate makes each of the nine
// set pairs the same loop.
#include "charsets.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "resfile/mac_roman.h"

namespace lqm::host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Reads one character; `taken` is set to the bytes consumed (at least 1
// while bytes remain, so every loop ends). `loose` keeps lone surrogates.
char32_t DecodeUtf16(const uint8_t* s, size_t n, size_t& taken, bool loose) {
  if (n < 2) {
    taken = n;
    return kReplacement;
  }
  char32_t first = char32_t(s[0] | (s[1] << 8));
  taken = 2;
  if (first < 0xD800 || first > 0xDFFF) return first;
  if (first <= 0xDBFF && n >= 4) {
    char32_t second = char32_t(s[2] | (s[3] << 8));
    if (second >= 0xDC00 && second <= 0xDFFF) {
      taken = 4;
      return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }
  }
  return loose ? first : kReplacement;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. A
// bad sequence consumes only its first byte, so the bytes after it are read
// again as the start of the next character.
char32_t DecodeUtf8(const uint8_t* s, size_t n, size_t& taken, bool loose) {
  taken = 1;
  uint8_t lead = s[0];
  if (lead < 0x80) return lead;
  size_t length;
  char32_t c;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  if (n < length) return kReplacement;
  for (size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (s[i] & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (IsSurrogate(c) && !loose)) return kReplacement;
  taken = length;
  return c;
}

char32_t DecodeMacRoman(const uint8_t* s, size_t, size_t& taken) {
  taken = 1;
  return MacRomanToUnicode(s[0]);
}

// Writes one character if `room` allows; returns the bytes written, 0 when
// it does not fit.
size_t EncodeUtf16(char32_t c, uint8_t* d, size_t room) {
  if (c < 0x10000) {
    if (room < 2) return 0;
    d[0] = uint8_t(c), d[1] = uint8_t(c >> 8);
    return 2;
  }
  if (room < 4) return 0;
  char32_t v = c - 0x10000;
  char16_t high = char16_t(0xD800 + (v >> 10)), low = char16_t(0xDC00 + (v & 0x3FF));
  d[0] = uint8_t(high), d[1] = uint8_t(high >> 8), d[2] = uint8_t(low), d[3] = uint8_t(low >> 8);
  return 4;
}

size_t EncodeUtf8(char32_t c, uint8_t* d, size_t room) {
  if (c < 0x80) {
    if (room < 1) return 0;
    d[0] = uint8_t(c);
    return 1;
  }
  if (c < 0x800) {
    if (room < 2) return 0;
    d[0] = uint8_t(0xC0 | (c >> 6)), d[1] = uint8_t(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    if (room < 3) return 0;
    d[0] = uint8_t(0xE0 | (c >> 12)), d[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
    d[2] = uint8_t(0x80 | (c & 0x3F));
    return 3;
  }
  if (room < 4) return 0;
  d[0] = uint8_t(0xF0 | (c >> 18)), d[1] = uint8_t(0x80 | ((c >> 12) & 0x3F));
  d[2] = uint8_t(0x80 | ((c >> 6) & 0x3F)), d[3] = uint8_t(0x80 | (c & 0x3F));
  return 4;
}

size_t EncodeMacRoman(char32_t c, uint8_t* d, size_t room) {
  if (room < 1) return 0;
  int byte = MacRomanFromUnicode(c);
  d[0] = uint8_t(byte < 0 ? '?' : byte);
  return 1;
}

// ASCII runs, 16 characters a step: the bulk of most texts, so that a long
// text's conversion costs about a copy. Each returns the characters it
// converted from the start of a run; the caller's byte loop takes over at
// the first character that is not ASCII or at the last partial step.
size_t AsciiUtf16ToBytes(const uint8_t* in, size_t units, uint8_t* out) {
  size_t done = 0;
#if defined(__SSE2__)
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; done + 16 <= units; done += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * done));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * done + 16));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(a, b), high), _mm_setzero_si128())) != 0xFFFF)
      break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(a, b));
  }
#endif
  (void)in, (void)out;
  return done;
}

size_t AsciiBytesToUtf16(const uint8_t* in, size_t bytes, uint8_t* out) {
  size_t done = 0;
#if defined(__SSE2__)
  for (; done + 16 <= bytes; done += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    if (_mm_movemask_epi8(a) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * done), _mm_unpacklo_epi8(a, _mm_setzero_si128()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * done + 16), _mm_unpackhi_epi8(a, _mm_setzero_si128()));
  }
#endif
  (void)in, (void)out;
  return done;
}

size_t AsciiBytesToBytes(const uint8_t* in, size_t bytes, uint8_t* out) {
  size_t done = 0;
#if defined(__SSE2__)
  for (; done + 16 <= bytes; done += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    if (_mm_movemask_epi8(a) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), a);
  }
#endif
  (void)in, (void)out;
  return done;
}

}  // namespace

char32_t DecodeUtf8Character(const uint8_t* s, size_t n, size_t& taken, bool loose) {
  return DecodeUtf8(s, n, taken, loose);
}

bool IsSupportedCharset(int64_t charset) {
  return charset == 2 || charset == 7 || charset == 100;
}

// One Mac OS Roman table serves the host and the resource compiler.
char32_t MacRomanToUnicode(uint8_t byte) { return char32_t(resfile::MacRomanToCodePoint(byte)); }

int MacRomanFromUnicode(char32_t character) { return resfile::CodePointToMacRoman(character); }

int64_t ConvertCharset(const void* src, size_t srcBytes, int64_t srcSet, void* dst,
                       size_t dstCapacity, int64_t dstSet) {
  if (!IsSupportedCharset(srcSet) || !IsSupportedCharset(dstSet)) return -1;
  const uint8_t* in = static_cast<const uint8_t*>(src);
  uint8_t* out = static_cast<uint8_t*>(dst);
  // Copying a text keeps its units as they are, lone surrogates included.
  const bool copyUnits = srcSet == 2 && dstSet == 2;
  size_t read = 0, written = 0;
  while (read < srcBytes) {
    // A run of ASCII is the same characters in every supported set (Mac OS
    // Roman's low half included), one unit for one unit: copied without the
    // decode and encode below, which give exactly this for it. UTF-16 to
    // UTF-16 keeps the general loop (odd lengths, lone surrogates).
    if (srcSet == 2 && dstSet != 2) {
      const size_t fits = std::min((srcBytes - read) / 2, dstCapacity - written);
      const size_t n = AsciiUtf16ToBytes(in + read, fits, out + written);
      read += 2 * n, written += n;
      while (read + 2 <= srcBytes && written < dstCapacity && in[read] < 0x80 && in[read + 1] == 0) {
        out[written++] = in[read];
        read += 2;
      }
    } else if (srcSet != 2 && dstSet == 2) {
      const size_t n = AsciiBytesToUtf16(in + read, std::min(srcBytes - read, (dstCapacity - written) / 2),
                                         out + written);
      read += n, written += 2 * n;
      while (read < srcBytes && written + 2 <= dstCapacity && in[read] < 0x80) {
        out[written] = in[read];
        out[written + 1] = 0;
        written += 2;
        ++read;
      }
    } else if (srcSet != 2) {
      const size_t n = AsciiBytesToBytes(in + read, std::min(srcBytes - read, dstCapacity - written), out + written);
      read += n, written += n;
      while (read < srcBytes && written < dstCapacity && in[read] < 0x80) out[written++] = in[read++];
    }
    if (read >= srcBytes) break;
    size_t taken = 0;
    char32_t c;
    switch (srcSet) {
      case 2: c = DecodeUtf16(in + read, srcBytes - read, taken, copyUnits); break;
      case 7: c = DecodeUtf8(in + read, srcBytes - read, taken, false); break;
      default: c = DecodeMacRoman(in + read, srcBytes - read, taken); break;
    }
    size_t put;
    switch (dstSet) {
      case 2:
        // A lone surrogate kept by copyUnits is written back as one unit.
        put = EncodeUtf16(c, out + written, dstCapacity - written);
        break;
      case 7: put = EncodeUtf8(c, out + written, dstCapacity - written); break;
      default: put = EncodeMacRoman(c, out + written, dstCapacity - written); break;
    }
    if (put == 0) break;  // the next whole character does not fit
    written += put;
    read += taken;
  }
  return int64_t(written);
}

std::u16string Utf8ToUtf16(std::string_view utf8, bool loose) {
  std::u16string out;
  const uint8_t* s = reinterpret_cast<const uint8_t*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    size_t taken;
    char32_t c = DecodeUtf8(s + i, utf8.size() - i, taken, loose);
    i += taken;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(char16_t(0xD800 + (c >> 10)));
      out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return out;
}

namespace {
std::string Utf16ToUtf8Impl(std::u16string_view utf16, bool loose) {
  std::string out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(c) && !loose) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}
}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  uint8_t bytes[4];
  const size_t n = EncodeUtf8(c, bytes, sizeof bytes);
  out.append(reinterpret_cast<char*>(bytes), n);
}

std::string Utf16ToUtf8(std::u16string_view utf16) { return Utf16ToUtf8Impl(utf16, false); }
std::string Utf16ToLooseUtf8(std::u16string_view utf16) { return Utf16ToUtf8Impl(utf16, true); }

}  // namespace lqm::host
