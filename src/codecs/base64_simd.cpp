// AVX2 and AVX-512 VBMI Base64 (see base64_simd.h). The AVX2 kernels follow
// Muła and Lemire, "Faster Base64 Encoding and Decoding Using AVX2
// Instructions" (ACM TOW 2018).
//
// Encoding: a shuffle spreads each 3-byte group over a 32-bit word, two
// multiplies move its four 6-bit fields into the four bytes (a multiply-high
// by 2^(16-k) is a right shift by k, a multiply-low by 2^k a left shift, on
// each 16-bit half at once), and a 16-entry table adds each field's offset
// to its character. Decoding runs the other way: a character's high and low
// nibbles index two small tables whose AND is non-zero exactly for bytes
// outside the alphabet; an offset table by high nibble turns characters
// into 6-bit values, and two multiply-adds pack four values into 24 bits.
//
// All tables are computed here from the alphabet and checked against it at
// compile time. The kernels hold under a dozen vector values, so nothing
// spills (the Windows compiler cannot align 32-byte stack slots).
#include "codecs/base64_simd.h"

#include <array>

#include "codecs/simd_target.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int AlphabetValue(int byte) {
  for (int value = 0; value < 64; ++value) {
    if (static_cast<unsigned char>(kAlphabet[value]) == byte) return value;
  }
  return -1;
}

using NibbleTable = std::array<signed char, 16>;

// Encoding: the class of a 6-bit value as the kernel computes it (saturating
// value - 51, or 13 below 26), and per class what to add to get the character.
constexpr int EncodeClass(int value) { return value < 26 ? 13 : (value > 51 ? value - 51 : 0); }
constexpr NibbleTable BuildEncodeOffsets() {
  NibbleTable table{};
  for (int value = 0; value < 64; ++value) {
    table[EncodeClass(value)] = static_cast<signed char>(kAlphabet[value] - value);
  }
  return table;
}
constexpr NibbleTable kEncodeOffsets = BuildEncodeOffsets();
constexpr bool EncodeOffsetsAgree() {
  for (int value = 0; value < 64; ++value) {
    if (value + kEncodeOffsets[EncodeClass(value)] != kAlphabet[value]) return false;
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
    const int byte = static_cast<unsigned char>(kAlphabet[value]);
    table[DecodeSlot(byte)] = static_cast<signed char>(value - byte);
  }
  return table;
}
constexpr NibbleTable kDecodeOffsets = BuildDecodeOffsets();
constexpr bool DecodeOffsetsAgree() {
  for (int value = 0; value < 64; ++value) {
    const int byte = static_cast<unsigned char>(kAlphabet[value]);
    if (byte + kDecodeOffsets[DecodeSlot(byte)] != value) return false;
  }
  return true;
}
static_assert(DecodeOffsetsAgree(), "one offset per slot must serve every character of the slot");

// AVX-512 VBMI encoding: where each output byte's 6-bit field starts in its
// 64-bit lane, once every group's bytes b0 b1 b2 are spread to b1 b0 b2 b1
// (fields at bits 10, 4, 22 and 16 of each 32-bit word), for a multishift.
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

// AVX-512 VBMI decoding: the value of each 7-bit character, or 0x80 for
// those outside the alphabet ("=" included), for a two-register byte lookup;
// and where the three bytes of each decoded 24-bit word go in the output.
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

}  // namespace

#if LQM_SIMD_X86

namespace {

LQM_TARGET_AVX2 inline __m256i BroadcastTable(const NibbleTable& table) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

}  // namespace

LQM_TARGET_AVX2 int64_t Base64EncodeAvx2(const unsigned char* input, int64_t length, unsigned char* output) {
  // Bytes b0 b1 b2 of a group become the word b1 b0 b2 b1, so that every
  // 6-bit field lies inside one 16-bit half.
  const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                          1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m256i offsets = BroadcastTable(kEncodeOffsets);
  int64_t done = 0;
  for (; length - done >= 32; done += 24, output += 32) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(input + done));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(input + done + 12));
    const __m256i words = _mm256_shuffle_epi8(_mm256_set_m128i(high, low), spread);
    // Fields 0 and 2 by multiply-high (right shifts 10 and 6), 1 and 3 by
    // multiply-low (left shifts 4 and 8).
    const __m256i fields02 = _mm256_mulhi_epu16(_mm256_and_si256(words, _mm256_set1_epi32(0x0FC0FC00)),
                                                _mm256_set1_epi32(0x04000040));
    const __m256i fields13 = _mm256_mullo_epi16(_mm256_and_si256(words, _mm256_set1_epi32(0x003F03F0)),
                                                _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(fields02, fields13);
    __m256i classes = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    classes = _mm256_or_si256(classes, _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(26), values),
                                                        _mm256_set1_epi8(13)));
    const __m256i characters = _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, classes));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(output), characters);
  }
  return done;
}

namespace {

// The decoder's constant vectors, built once per call.
struct DecodeConstants {
  __m256i nibble, classByHigh, invalidByLow, offsets, pack, join;
};

// One step: decodes the 32 characters at `at` and stores 24 bytes at `out`
// (bytes past the first character outside the alphabet are meaningless).
// Returns the mask of characters outside the alphabet (bit i: character i).
// Always inlined, so that no vector value crosses a call.
LQM_TARGET_AVX2 inline __attribute__((always_inline)) uint32_t DecodeStep(const DecodeConstants& k,
                                                                         const unsigned char* at,
                                                                         unsigned char* out) {
  const __m256i characters = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i high = _mm256_and_si256(_mm256_srli_epi32(characters, 4), k.nibble);
  const __m256i low = _mm256_and_si256(characters, k.nibble);
  const __m256i invalid =
      _mm256_and_si256(_mm256_shuffle_epi8(k.classByHigh, high), _mm256_shuffle_epi8(k.invalidByLow, low));
  const uint32_t outside =
      ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(invalid, _mm256_setzero_si256())));
  const __m256i slot = _mm256_add_epi8(high, _mm256_cmpeq_epi8(characters, _mm256_set1_epi8('/')));
  const __m256i values = _mm256_add_epi8(characters, _mm256_shuffle_epi8(k.offsets, slot));
  // a*64 + b in each 16-bit pair, then ab*4096 + cd in each 32-bit word.
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, k.pack), k.join);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(bytes, 1));
  return outside;
}

bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }

}  // namespace

LQM_TARGET_AVX2 int64_t Base64DecodeCleanAvx2(const unsigned char* input, int64_t length, unsigned char* output,
                                               int64_t* written) {
  DecodeConstants k;
  k.nibble = _mm256_set1_epi8(0x0F);
  k.classByHigh = BroadcastTable(kValidity.byHigh);
  k.invalidByLow = BroadcastTable(kValidity.byLow);
  k.offsets = BroadcastTable(kDecodeOffsets);
  // The three bytes of each 24-bit value, most significant first, packed to
  // the front of each 128-bit half; then the two halves' 12 bytes joined.
  k.pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                            2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  k.join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  int64_t done = 0;
  unsigned char* const start = output;
  int64_t lineStart = -1;  // where the current line began, after a break run
  while (length - done >= 32) {
    const uint32_t outside = DecodeStep(k, input + done, output);
    if (outside == 0) {
      done += 32;
      output += 24;
      continue;
    }
    // The whole groups before the first character outside the alphabet; the
    // bytes stored after them are overwritten by what follows.
    const int clean = __builtin_ctz(outside);
    output += clean / 4 * 3;
    done += clean / 4 * 4;
    if (clean % 4 != 0) break;
    const int64_t breakStart = done;
    while (done < length && IsLineBreak(input[done])) ++done;
    if (done == breakStart) break;  // "=" or another character: the scalar rules decide
    const int64_t lineLength = lineStart >= 0 ? breakStart - lineStart : -1;
    const int64_t breakLength = done - breakStart;
    lineStart = done;
    if (lineLength <= 0 || lineLength % 4 != 0 || breakLength > 2) continue;
    // Lines of one length with one kind of break (MIME's 76 and CR LF):
    // expect the next break where the last one was, so that the next
    // step's address never waits for this step's mask. A line that does
    // not match leaves this loop before anything of it is counted.
    const unsigned char first = input[breakStart];
    const unsigned char second = input[breakStart + breakLength - 1];
    while (length - done >= lineLength + breakLength + 32 && input[done + lineLength] == first &&
           input[done + lineLength + breakLength - 1] == second && !IsLineBreak(input[done + lineLength + breakLength])) {
      unsigned char* out = output;
      int64_t at = 0;
      uint32_t outsideLine = 0;
      for (; at + 32 <= lineLength; at += 32, out += 24) outsideLine |= DecodeStep(k, input + done + at, out);
      if (at < lineLength) {
        const int rest = static_cast<int>(lineLength - at);
        outsideLine |= DecodeStep(k, input + done + at, out) & ((uint32_t{1} << rest) - 1);
        out += rest / 4 * 3;
      }
      if (outsideLine != 0) break;
      output = out;
      done += lineLength + breakLength;
      lineStart = done;
    }
  }
  *written = output - start;
  return done;
}

constexpr int64_t kStreamingBytes = int64_t{16} << 20;

// AVX-512 VBMI, after Muła and Lemire, "Base64 encoding and decoding at
// almost the speed of a memory copy" (SPE 2020): a byte permutation spreads
// the groups, a multishift lifts each 6-bit field into its own byte and a
// second permutation indexes the alphabet with it (it reads only the low 6
// bits of each index). Decoding looks each character up in a 128-byte table
// held in two registers, packs with the same multiply-adds as AVX2 and
// gathers the 48 bytes with one permutation.
namespace {

// One encoding step: the (up to) 48 bytes in `bytes` as 64 characters.
LQM_TARGET_VBMI inline __attribute__((always_inline)) __m512i EncodeStepVbmi(__m512i bytes, __m512i spread,
                                                                            __m512i offsets, __m512i alphabet) {
  const __m512i fields = _mm512_multishift_epi64_epi8(offsets, _mm512_permutexvar_epi8(spread, bytes));
  return _mm512_permutexvar_epi8(fields, alphabet);
}

// The decoder's constant vectors.
struct VbmiDecodeConstants {
  __m512i lookupLow, lookupHigh, pack;
};

// The 6-bit values of 64 characters, bit 7 set for each one outside the
// alphabet: the lookup ignores bit 7, so a character above 127 is caught by
// its own top bit, one outside the alphabet by its value's. OR the values
// with the characters and test the top bits for "clean".
LQM_TARGET_VBMI inline __attribute__((always_inline)) __m512i LookUpVbmi(const VbmiDecodeConstants& k,
                                                                        __m512i characters) {
  return _mm512_permutex2var_epi8(k.lookupLow, characters, k.lookupHigh);
}

// Four values to one 24-bit word each (a*64 + b in each 16-bit pair, then
// ab*4096 + cd), most significant byte highest, as the AVX2 kernel packs.
LQM_TARGET_VBMI inline __attribute__((always_inline)) __m512i PackValuesVbmi(__m512i values) {
  return _mm512_madd_epi16(_mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140)),
                           _mm512_set1_epi32(0x00011000));
}

constexpr __mmask64 kDecodedBytes = (__mmask64{1} << 48) - 1;

// Decodes the 64 characters at `at` to 48 bytes at `out`; false, writing
// nothing, when any of them is outside the alphabet.
LQM_TARGET_VBMI inline __attribute__((always_inline)) bool DecodeBlockVbmi(const VbmiDecodeConstants& k,
                                                                          const unsigned char* at,
                                                                          unsigned char* out) {
  const __m512i characters = _mm512_loadu_si512(at);
  const __m512i values = LookUpVbmi(k, characters);
  if (_mm512_movepi8_mask(_mm512_or_si512(values, characters)) != 0) return false;
  _mm512_mask_storeu_epi8(out, kDecodedBytes, _mm512_permutexvar_epi8(k.pack, PackValuesVbmi(values)));
  return true;
}

}  // namespace

LQM_TARGET_VBMI int64_t Base64EncodeVbmi(const unsigned char* input, int64_t length, unsigned char* output) {
  const __m512i spread = _mm512_loadu_si512(kSpread48.data());
  const __m512i offsets = _mm512_set1_epi64(static_cast<long long>(kFieldOffsets));
  const __m512i alphabet = _mm512_loadu_si512(kAlphabet);
  constexpr __mmask64 kGroupBytes = (__mmask64{1} << 48) - 1;
  int64_t done = 0;
  const bool streaming = length >= kStreamingBytes && (reinterpret_cast<uintptr_t>(output) & 15) == 0;
  // Groups of 12 bytes (16 characters) up to the first 64-byte boundary.
  for (; streaming && (reinterpret_cast<uintptr_t>(output) & 63) != 0; done += 12, output += 16) {
    const __m512i characters = EncodeStepVbmi(_mm512_maskz_loadu_epi8(0xFFF, input + done), spread, offsets, alphabet);
    _mm512_mask_storeu_epi8(output, 0xFFFF, characters);
  }
  for (; length - done >= 48; done += 48, output += 64) {
    const __m512i characters =
        EncodeStepVbmi(_mm512_maskz_loadu_epi8(kGroupBytes, input + done), spread, offsets, alphabet);
    if (streaming) {
      _mm512_stream_si512(reinterpret_cast<__m512i*>(output), characters);
    } else {
      _mm512_storeu_si512(output, characters);
    }
  }
  if (streaming) _mm_sfence();
  return done;
}

LQM_TARGET_VBMI int64_t Base64DecodeCleanVbmi(const unsigned char* input, int64_t length, unsigned char* output,
                                               int64_t* written) {
  VbmiDecodeConstants k;
  k.lookupLow = _mm512_loadu_si512(kVbmiDecode.data());
  k.lookupHigh = _mm512_loadu_si512(kVbmiDecode.data() + 64);
  k.pack = _mm512_loadu_si512(kPack48.data());
  int64_t done = 0;
  unsigned char* out = output;
  if (length >= kStreamingBytes && (reinterpret_cast<uintptr_t>(out) & 15) == 0) {
    // As the encoder: a long output is streamed. Single blocks (48 bytes)
    // bring it to a 64-byte boundary, then four blocks a step fill three
    // whole lines.
    const __m512i lines[3] = {_mm512_loadu_si512(kLines[0].data()), _mm512_loadu_si512(kLines[1].data()),
                              _mm512_loadu_si512(kLines[2].data())};
    for (; (reinterpret_cast<uintptr_t>(out) & 63) != 0; done += 64, out += 48) {
      if (!DecodeBlockVbmi(k, input + done, out)) {
        *written = out - output;
        return done;
      }
    }
    for (; length - done >= 256; done += 256, out += 192) {
      __m512i groups[4];
      __m512i outside = _mm512_setzero_si512();
#pragma GCC unroll 4
      for (int block = 0; block < 4; ++block) {
        const __m512i characters = _mm512_loadu_si512(input + done + 64 * block);
        const __m512i values = LookUpVbmi(k, characters);
        outside = _mm512_ternarylogic_epi32(outside, values, characters, 0xFE);  // a | b | c
        groups[block] = PackValuesVbmi(values);
      }
      if (_mm512_movepi8_mask(outside) != 0) break;
#pragma GCC unroll 3
      for (int line = 0; line < 3; ++line) {
        _mm512_stream_si512(reinterpret_cast<__m512i*>(out + 64 * line),
                            _mm512_permutex2var_epi8(groups[line], lines[line], groups[line + 1]));
      }
    }
    _mm_sfence();
  }
  // Two blocks a step with one test for both; the single steps below find
  // which block stops, and take the last one.
  for (; length - done >= 128; done += 128, out += 96) {
    const __m512i first = _mm512_loadu_si512(input + done);
    const __m512i second = _mm512_loadu_si512(input + done + 64);
    const __m512i firstValues = LookUpVbmi(k, first);
    const __m512i secondValues = LookUpVbmi(k, second);
    const __m512i outside = _mm512_ternarylogic_epi32(
        _mm512_or_si512(firstValues, first), secondValues, second, 0xFE);  // a | b | c
    if (_mm512_movepi8_mask(outside) != 0) break;
    _mm512_mask_storeu_epi8(out, kDecodedBytes, _mm512_permutexvar_epi8(k.pack, PackValuesVbmi(firstValues)));
    _mm512_mask_storeu_epi8(out + 48, kDecodedBytes, _mm512_permutexvar_epi8(k.pack, PackValuesVbmi(secondValues)));
  }
  while (length - done >= 64 && DecodeBlockVbmi(k, input + done, out)) {
    done += 64;
    out += 48;
  }
  *written = out - output;
  return done;
}

#else

int64_t Base64EncodeAvx2(const unsigned char*, int64_t, unsigned char*) { return 0; }
int64_t Base64DecodeCleanAvx2(const unsigned char*, int64_t, unsigned char*, int64_t* written) {
  *written = 0;
  return 0;
}
int64_t Base64EncodeVbmi(const unsigned char*, int64_t, unsigned char*) { return 0; }
int64_t Base64DecodeCleanVbmi(const unsigned char*, int64_t, unsigned char*, int64_t* written) {
  *written = 0;
  return 0;
}

#endif
