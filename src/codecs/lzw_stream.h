// The LZW code stream: its code space, the width rule, the validity rule, the
// bit reader and packer, and the output block both directions fill. The
// compressor (lzw_compress.cpp) and the expander (lzw_expand.cpp) take every
// rule of the stream from here, so that the two cannot drift apart; the hot
// helpers are inline for the loops that call them per code.
//
// STREAM LAYOUT (docs/lzw-stream.md)
//
//   Codes       0 .. 2^r - 1 are the roots (single bytes, r = 3..8 bits).
//               2^r is the clear code and 2^r + 1 the end code, each only
//               when switched on; with only the end code on, 2^r stays
//               unused. String codes follow, assigned in order from the
//               first free code up to 2^m - 2 (m = r + 1 .. 14 bits).
//   Bit order   codes are packed most significant bit first into bytes;
//               the last byte is padded with zero bits.
//   Widths      a dictionary starts with codes of r + 1 bits. Early change
//               (TIFF; PDF with EarlyChange 1): the compressor writes w + 1
//               bits from the moment it assigns 2^w - 1, never more than m.
//               The expander assigns each code one step later than the
//               compressor and so asks the same rule about code + 1.
//   Clear       with clear codes on, the compressor writes a clear code at
//               the current width right after assigning 2^m - 2 and starts
//               a new dictionary. With them off, a full dictionary is kept
//               as it is by both sides.
//   End         written at the width the expander reads it with: the
//               expander adds one more entry when it reads the last code
//               (unless that code opened its dictionary or the dictionary is
//               full), so the compressor widens for that entry first.
//   Padding     without a written end code, roots of 6 bits or fewer can
//               leave enough zero padding to read as one more code (a 0
//               byte); only the end code tells them apart.
//
// Invariants: every code fits in 14 bits, so a 64-bit reader refilled to at
// least 56 bits holds 4 codes, and a packer flushing whole 32-bit words never
// holds more than 31 + 14 bits. String lengths are at most 2^14 + 1 bytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "codecs/lzw.h"

// ---------------------------------------------------------------------------
// Code space
// ---------------------------------------------------------------------------

inline constexpr int32_t kLzwSmallestRootBits = 3;
inline constexpr int32_t kLzwLargestRootBits = 8;
inline constexpr int32_t kLzwLargestCodeBits = 14;

// The command's clamping of its two sizes (docs/lzw-stream.md, settings).
inline constexpr int32_t LzwClampRootBits(int32_t rootBits) {
  if (rootBits == -1) return kLzwLargestRootBits;
  if (rootBits < kLzwSmallestRootBits) return kLzwSmallestRootBits;
  return rootBits > kLzwLargestRootBits ? kLzwLargestRootBits : rootBits;
}

inline constexpr int32_t LzwClampMaxBits(int32_t maxBits, int32_t rootBits) {
  if (maxBits < rootBits + 1) return rootBits + 1;
  return maxBits > kLzwLargestCodeBits ? kLzwLargestCodeBits : maxBits;
}

// The codes of one stream shape. Dictionary entry j (1 .. capacity) is code
// highestRoot + j; the first reservedCount entries are the clear and end
// codes (and the unused one), so string codes start at FirstStringCode().
struct LzwCodeSpace {
  int32_t rootBits;       // 3..8
  int32_t highestRoot;    // 2^rootBits - 1
  int32_t maxBits;        // rootBits + 1 .. 14
  int32_t maxCode;        // 2^maxBits - 1: the largest code a stream can hold
  int32_t clearCode;      // highestRoot + 1, or -1 when clear codes are off
  int32_t endCode;        // highestRoot + 2, or -1 when the end code is off
  int32_t reservedCount;  // 2 with the end code on, 1 with only the clear code, else 0
  int32_t capacity;       // maxCode - highestRoot: reserved entries and string codes

  constexpr int32_t FirstStringCode() const { return highestRoot + reservedCount + 1; }
  constexpr int32_t FirstWidth() const { return rootBits + 1; }
};

inline constexpr LzwCodeSpace LzwCodeSpaceOf(const LzwSettings& settings) {
  LzwCodeSpace space{};
  space.rootBits = LzwClampRootBits(settings.rootBits);
  space.highestRoot = (1 << space.rootBits) - 1;
  space.maxBits = LzwClampMaxBits(settings.maxBits, space.rootBits);
  space.maxCode = (1 << space.maxBits) - 1;
  space.clearCode = settings.clearOn ? space.highestRoot + 1 : -1;
  space.endCode = settings.endOn ? space.highestRoot + 2 : -1;
  space.reservedCount = settings.endOn ? 2 : settings.clearOn ? 1 : 0;
  space.capacity = space.maxCode - space.highestRoot;
  return space;
}

// ---------------------------------------------------------------------------
// Width rule (early change)
// ---------------------------------------------------------------------------

// The largest code of `width` bits, 2^width - 1: assigning it (compressor)
// or the code before it (expander) widens the codes.
inline constexpr int32_t LzwWidthLimit(int32_t width) { return (int32_t{1} << width) - 1; }

// The width of the codes that follow the compressor's assignment of
// `assigned`, from the current `width`: the smallest w with assigned <
// 2^w - 1, within rootBits + 1 .. maxBits.
inline int32_t LzwCompressorWidth(int32_t assigned, int32_t width, const LzwCodeSpace& space) {
  while (assigned >= LzwWidthLimit(width)) ++width;
  if (width < space.FirstWidth()) width = space.FirstWidth();
  return width < space.maxBits ? width : space.maxBits;
}

// The same switch seen from the expander, one assignment behind.
inline int32_t LzwExpanderWidth(int32_t assigned, int32_t width, const LzwCodeSpace& space) {
  return LzwCompressorWidth(assigned + 1, width, space);
}

// The first code whose assignment by the expander widens codes of `width`
// bits (where the expander's fast steps must stop).
inline constexpr int32_t LzwExpanderWidensAt(int32_t width) { return LzwWidthLimit(width) - 1; }

// ---------------------------------------------------------------------------
// Validity rule
// ---------------------------------------------------------------------------
//
// A dictionary's first code must be a root. After it, a code is valid when
// it is a root, a string code assigned so far, or `nextCode`, the one this
// very step assigns (the KwKwK case: its string is the previous one plus
// that one's first byte). The reserved codes between the roots and the
// string codes never are: the clear and end codes are acted on by value
// before this rule is asked, and the unused one has no string. A full
// dictionary's nextCode is maxCode + 1, beyond every code. Passing a smaller
// limit than nextCode asks about assigned codes only, and -1 makes every
// code invalid (the expander's way of routing all codes to its slow cases).

inline constexpr bool LzwIsValidFirstCode(int32_t code, int32_t highestRoot) { return code <= highestRoot; }

inline constexpr bool LzwIsReservedCode(int32_t code, int32_t highestRoot, int32_t reservedCount) {
  return static_cast<uint32_t>(code - highestRoot - 1) < static_cast<uint32_t>(reservedCount);
}

inline constexpr bool LzwIsValidCode(int32_t code, int32_t nextCode, int32_t highestRoot, int32_t reservedCount) {
  return (code <= nextCode) & !LzwIsReservedCode(code, highestRoot, reservedCount);
}

// ---------------------------------------------------------------------------
// Byte loads and stores of the bit reader, the packer and the expander
// ---------------------------------------------------------------------------

inline void LzwStoreBigEndian32(unsigned char* out, uint32_t value) {
  out[0] = static_cast<unsigned char>(value >> 24);
  out[1] = static_cast<unsigned char>(value >> 16);
  out[2] = static_cast<unsigned char>(value >> 8);
  out[3] = static_cast<unsigned char>(value);
}

inline uint64_t LzwLoadBigEndian64(const unsigned char* in) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // GCC does not merge the portable loop below into one load (seen in the
  // expander's profile): one load and a byte swap.
  uint64_t value;
  std::memcpy(&value, in, 8);
  return __builtin_bswap64(value);
#else
  uint64_t value = 0;
  for (int byte = 0; byte < 8; ++byte) value = value << 8 | in[byte];
  return value;
#endif
}

// The low 8 bytes of `head` at `to`, lowest byte first (a plain 8-byte
// store on little-endian machines, which compilers see through).
inline void LzwStoreLittleEndian64(unsigned char* to, uint64_t head) {
  unsigned char bytes[8];
  for (int byte = 0; byte < 8; ++byte) bytes[byte] = static_cast<unsigned char>(head >> (8 * byte));
  std::memcpy(to, bytes, 8);
}

inline uint64_t LzwLoadLittleEndian64(const unsigned char* from) {
  uint64_t head = 0;
  for (int byte = 7; byte >= 0; --byte) head = head << 8 | from[byte];
  return head;
}

// ---------------------------------------------------------------------------
// Bit reader and bit packer
// ---------------------------------------------------------------------------

// MSB-first code reader: the top `count` bits of `bits` are pending.
struct LzwBitReader {
  const unsigned char* input;
  int64_t length;
  int64_t position;
  uint64_t bits;
  int32_t count;

  // The next code of `width` bits; false when fewer bits remain.
  inline bool Next(int32_t width, int32_t* code) {
    if (count < width) {
      if (length - position >= 8) {
        bits |= LzwLoadBigEndian64(input + position) >> count;
        position += (63 - count) >> 3;
        count |= 56;
      } else {
        while (count <= 56 && position < length) {
          bits |= static_cast<uint64_t>(input[position++]) << (56 - count);
          count += 8;
        }
        if (count < width) return false;
      }
    }
    *code = static_cast<int32_t>(bits >> (64 - width));
    bits <<= width;
    count -= width;
    return true;
  }
};

// MSB-first code packer: the low `count` bits of `bits` are pending; whole
// 32-bit words leave as soon as they are complete. The caller keeps
// kLzwOutputMargin bytes free at `position`.
struct LzwBitPacker {
  uint64_t bits;
  int32_t count;
  int64_t position;

  inline void Put(unsigned char* out, uint32_t code, int32_t width) {
    bits = bits << width | code;
    count += width;
    if (count >= 32) {
      count -= 32;
      LzwStoreBigEndian32(out + position, static_cast<uint32_t>(bits >> count));
      position += 4;
    }
  }
  // The pending bits, the last byte padded with zeros.
  inline void Flush(unsigned char* out) {
    while (count >= 8) {
      count -= 8;
      out[position++] = static_cast<unsigned char>(bits >> count);
    }
    if (count > 0) out[position++] = static_cast<unsigned char>(bits << (8 - count));
    count = 0;
  }
};

// ---------------------------------------------------------------------------
// Output block
// ---------------------------------------------------------------------------
//
// A PluginMalloc block grown geometrically and handed to the caller, shrunk
// to fit, on success. Both directions keep kLzwOutputMargin bytes free past
// their position: a packed word, an 8-byte head and a 16-byte string copy
// may store that far beyond the bytes they mean.

inline constexpr int64_t kLzwOutputMargin = 32;
inline constexpr int64_t kLzwOutputSlack = 1024;  // room beyond a first estimate

struct LzwOutput {
  unsigned char* bytes;
  int64_t capacity;
  int64_t position;
};

// False when memory runs out (the block stays empty).
bool LzwStartOutput(LzwOutput& output, int64_t capacity);
// Room for `needed` more bytes past `position`, at least doubling the block.
// False when memory runs out (the block is left as it was).
bool LzwReserveOutput(LzwOutput& output, int64_t needed);
// Hands the first `position` bytes to the caller (null for none).
void LzwFinishOutput(LzwOutput& output, unsigned char** result, int64_t* resultLength);
// Frees the block; the caller gets null and 0. Returns false.
bool LzwFailOutput(LzwOutput& output, unsigned char** result, int64_t* resultLength);
