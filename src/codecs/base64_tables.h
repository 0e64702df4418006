// The Base64 alphabet and every table derived from it, for the portable codec
// (base64.cpp) and the vector kernels (base64_ssse3.cpp, base64_avx2.cpp,
// base64_vbmi.cpp). Private to those four files.
//
// Everything here is constexpr and built from kBase64Alphabet through the
// scalar decoding table; no table is pasted. Each vector table is checked at
// compile time against that table, so that every CPU level reads and writes
// the same characters. The tables have internal linkage (namespace-scope
// constexpr), so that each file's compiler sees their contents and may fold
// what it uses into its code.
#pragma once

#include <array>
#include <cstdint>

namespace lqm::base64 {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// ---------------------------------------------------------------------------
// Scalar decoding
// ---------------------------------------------------------------------------

// The line breaks that may stand between groups; every decoder skips them
// without any other effect.
constexpr bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }

// Decoding classes: 0..63 alphabet values, kPad for "=", kSkip for the rest.
constexpr unsigned char kPad = 64;
constexpr unsigned char kSkip = 255;

constexpr std::array<unsigned char, 256> BuildDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = kSkip;
  for (int value = 0; value < 64; ++value) {
    table[static_cast<unsigned char>(kBase64Alphabet[value])] = static_cast<unsigned char>(value);
  }
  table['='] = kPad;
  return table;
}
constexpr std::array<unsigned char, 256> kDecodeTable = BuildDecodeTable();
static_assert(kDecodeTable['\r'] == kSkip && kDecodeTable['\n'] == kSkip,
              "the vector kernel skips line breaks between groups, as these rules do");
static_assert(kDecodeTable['A'] == 0 && kDecodeTable['/'] == 63 && kDecodeTable['-'] == kSkip,
              "the URL-safe characters are skipped, not mapped");

// The value of a byte (0..255) in the alphabet, or -1: what every vector
// table below is built from and checked against.
constexpr int AlphabetValue(int byte) { return kDecodeTable[byte] < 64 ? kDecodeTable[byte] : -1; }

// ---------------------------------------------------------------------------
// Portable fast path (base64.cpp): whole tables per group position
// ---------------------------------------------------------------------------

// Decoding a clean group of four characters takes one lookup per character:
// table k holds, for every byte, that character's 6 bits already moved to
// where they land in the group's three output bytes, with output byte i in
// bits 8i..8i+7 (so the value is written out low byte first by shifts, the
// same on either byte order). A byte outside the alphabet ("=" included)
// gives kOutsideGroup, bits that no character sets and that survive OR-ing
// the four lookups, so one test per group finds any such character.
constexpr uint32_t kOutsideGroup = 0xFF000000u;
using GroupTable = std::array<uint32_t, 256>;
constexpr uint32_t LayOutGroup(uint32_t value24) {
  return (value24 >> 16) | (value24 & 0xFF00u) | ((value24 & 0xFFu) << 16);
}
constexpr std::array<GroupTable, 4> BuildGroupDecode() {
  std::array<GroupTable, 4> tables{};
  for (int position = 0; position < 4; ++position) {
    for (int byte = 0; byte < 256; ++byte) {
      const int value = AlphabetValue(byte);
      tables[position][byte] =
          value < 0 ? kOutsideGroup : LayOutGroup(static_cast<uint32_t>(value) << (18 - 6 * position));
    }
  }
  return tables;
}
constexpr std::array<GroupTable, 4> kGroupDecode = BuildGroupDecode();
static_assert((kGroupDecode[0]['T'] | kGroupDecode[1]['W'] | kGroupDecode[2]['F'] | kGroupDecode[3]['u']) ==
                  ('M' | 'a' << 8 | 'n' << 16),
              "\"TWFu\" is \"Man\", first byte lowest");

// Encoding: the two characters of every 12-bit half of a group, in output
// order, so that a group of three bytes takes two lookups.
using CharPair = std::array<unsigned char, 2>;
constexpr std::array<CharPair, 4096> BuildEncodePairs() {
  std::array<CharPair, 4096> pairs{};
  for (int bits = 0; bits < 4096; ++bits) {
    pairs[bits] = {static_cast<unsigned char>(kBase64Alphabet[bits >> 6]),
                   static_cast<unsigned char>(kBase64Alphabet[bits & 63])};
  }
  return pairs;
}
constexpr std::array<CharPair, 4096> kEncodePairs = BuildEncodePairs();

// ---------------------------------------------------------------------------
// SSSE3 (base64_ssse3.cpp) and AVX2 (base64_avx2.cpp): 16-entry tables
// indexed by nibble or class
// ---------------------------------------------------------------------------

using NibbleTable = std::array<signed char, 16>;

// Encoding: the class of a 6-bit value as the kernel computes it (saturating
// value - 51, or 13 below 26), and per class what to add to get the character.
constexpr int EncodeClass(int value) { return value < 26 ? 13 : (value > 51 ? value - 51 : 0); }
constexpr NibbleTable BuildEncodeOffsets() {
  NibbleTable table{};
  for (int value = 0; value < 64; ++value) {
    table[EncodeClass(value)] = static_cast<signed char>(kBase64Alphabet[value] - value);
  }
  return table;
}
constexpr NibbleTable kEncodeOffsets = BuildEncodeOffsets();
constexpr bool EncodeOffsetsAgree() {
  for (int value = 0; value < 64; ++value) {
    if (value + kEncodeOffsets[EncodeClass(value)] != kBase64Alphabet[value]) return false;
  }
  return true;
}
static_assert(EncodeOffsetsAgree(), "one offset per class must serve every value of the class");

// Decoding validity: high nibbles whose sets of valid low nibbles are equal
// share one bit of the class table; the low-nibble table holds the bits of
// the classes for which that low nibble is invalid.
struct ValidityTables {
  NibbleTable byHigh;
  NibbleTable byLow;
};
constexpr unsigned ValidLows(int high) {
  unsigned lows = 0;
  for (int low = 0; low < 16; ++low) {
    if (AlphabetValue(high * 16 + low) >= 0) lows |= 1u << low;
  }
  return lows;
}
constexpr ValidityTables BuildValidityTables() {
  ValidityTables tables{};
  unsigned groupLows[8] = {};
  int groups = 0;
  for (int high = 0; high < 16; ++high) {
    const unsigned lows = ValidLows(high);
    int group = 0;
    while (group < groups && groupLows[group] != lows) ++group;
    if (group == groups) groupLows[groups++] = lows;  // at most 8 (checked below)
    tables.byHigh[high] = static_cast<signed char>(1u << group);
  }
  for (int low = 0; low < 16; ++low) {
    unsigned bits = 0;
    for (int group = 0; group < groups; ++group) {
      if (!(groupLows[group] & (1u << low))) bits |= 1u << group;
    }
    tables.byLow[low] = static_cast<signed char>(bits);
  }
  return tables;
}
constexpr ValidityTables kValidity = BuildValidityTables();
constexpr bool ValidityAgrees() {
  for (int byte = 0; byte < 256; ++byte) {
    const bool invalid = (kValidity.byHigh[byte >> 4] & kValidity.byLow[byte & 15]) != 0;
    if (invalid != (AlphabetValue(byte) < 0)) return false;
  }
  return true;
}
static_assert(ValidityAgrees(), "the nibble tables must reject exactly the bytes outside the alphabet");

// Decoding offsets by high nibble; "/" shares its high nibble with "+", so
// the kernel moves it to slot high - 1 (slot 1, unused by any other valid byte).
constexpr int DecodeSlot(int byte) { return byte == '/' ? (byte >> 4) - 1 : byte >> 4; }
constexpr NibbleTable BuildDecodeOffsets() {
  NibbleTable table{};
  for (int value = 0; value < 64; ++value) {
    const int byte = static_cast<unsigned char>(kBase64Alphabet[value]);
    table[DecodeSlot(byte)] = static_cast<signed char>(value - byte);
  }
  return table;
}
constexpr NibbleTable kDecodeOffsets = BuildDecodeOffsets();
constexpr bool DecodeOffsetsAgree() {
  for (int value = 0; value < 64; ++value) {
    const int byte = static_cast<unsigned char>(kBase64Alphabet[value]);
    if (byte + kDecodeOffsets[DecodeSlot(byte)] != value) return false;
  }
  return true;
}
static_assert(DecodeOffsetsAgree(), "one offset per slot must serve every character of the slot");

// ---------------------------------------------------------------------------
// AVX-512 VBMI (base64_vbmi.cpp): 64- and 128-byte permutation tables
// ---------------------------------------------------------------------------

// Encoding: where each output byte's 6-bit field starts in its 64-bit lane,
// once every group's bytes b0 b1 b2 are spread to b1 b0 b2 b1 (fields at
// bits 10, 4, 22 and 16 of each 32-bit word), for a multishift.
constexpr uint64_t kFieldOffsets = 0x3036242A1016040Aull;
static_assert((kFieldOffsets & 0xFF) == 10 && ((kFieldOffsets >> 8) & 0xFF) == 4 &&
                  ((kFieldOffsets >> 16) & 0xFF) == 22 && ((kFieldOffsets >> 24) & 0xFF) == 16 &&
                  (kFieldOffsets >> 32) == (kFieldOffsets & 0xFFFFFFFF) + 0x20202020,
              "the second word of each lane takes its fields 32 bits further on");
using ByteTable64 = std::array<unsigned char, 64>;
constexpr ByteTable64 BuildSpread48() {
  ByteTable64 spread{};
  for (int group = 0; group < 16; ++group) {
    const int first = 3 * group;
    spread[4 * group] = static_cast<unsigned char>(first + 1);
    spread[4 * group + 1] = static_cast<unsigned char>(first);
    spread[4 * group + 2] = static_cast<unsigned char>(first + 2);
    spread[4 * group + 3] = static_cast<unsigned char>(first + 1);
  }
  return spread;
}
constexpr ByteTable64 kSpread48 = BuildSpread48();

// Decoding: the value of each 7-bit character, or 0x80 for those outside the
// alphabet ("=" included), for a two-register byte lookup; and where the
// three bytes of each decoded 24-bit word go in the output.
using ByteTable128 = std::array<unsigned char, 128>;
constexpr ByteTable128 BuildVbmiDecode() {
  ByteTable128 table{};
  for (int c = 0; c < 128; ++c) {
    const int value = AlphabetValue(c);
    table[c] = static_cast<unsigned char>(value < 0 ? 0x80 : value);
  }
  return table;
}
constexpr ByteTable128 kVbmiDecode = BuildVbmiDecode();
static_assert(kVbmiDecode['A'] == 0 && kVbmiDecode['/'] == 63 && kVbmiDecode['='] == 0x80 &&
                  kVbmiDecode['\n'] == 0x80,
              "only the alphabet has values");
constexpr ByteTable64 BuildPack48() {
  ByteTable64 pack{};
  for (int group = 0; group < 16; ++group) {
    pack[3 * group] = static_cast<unsigned char>(4 * group + 2);
    pack[3 * group + 1] = static_cast<unsigned char>(4 * group + 1);
    pack[3 * group + 2] = static_cast<unsigned char>(4 * group);
  }
  return pack;
}
constexpr ByteTable64 kPack48 = BuildPack48();
// Four blocks decode to 192 bytes, three whole 64-byte lines: line k takes
// the decoded bytes from 64k to 64k + 63, which lie in the packed results of
// blocks b and b + 1 (b = k, from byte 16k of block b on); index bit 6
// picks the second register of a two-register permutation.
constexpr ByteTable64 BuildLine(int line) {
  ByteTable64 indices{};
  const int firstBytes = 48 - 16 * line;  // how many come from the first block
  for (int j = 0; j < 64; ++j) {
    indices[j] = j < firstBytes ? kPack48[16 * line + j] : static_cast<unsigned char>(64 + kPack48[j - firstBytes]);
  }
  return indices;
}
constexpr ByteTable64 kLines[3] = {BuildLine(0), BuildLine(1), BuildLine(2)};

}  // namespace lqm::base64
