// The SSSE3 Base64 kernels (see base64_simd.h): the AVX2 kernels' method on
// 128-bit registers, for CPUs at kCodecCpuSse. 12 bytes become 16
// characters per step and back.
//
// Encoding spreads each 3-byte group over a 32-bit word with a byte shuffle,
// moves its four 6-bit fields into the word's four bytes with a 16-bit
// multiply-high and multiply-low, and adds each field's offset to its
// character from a 16-entry class table. Decoding looks each character's
// nibbles up in two validity tables (their AND is non-zero exactly outside
// the alphabet), turns characters into values through an offset table by
// high nibble, and packs four values into three bytes with two
// multiply-adds and a shuffle. All tables come from base64_tables.h, where
// they are checked against the alphabet, so the results are the scalar
// code's on every input the kernels take.
//
// The kernels keep fewer than sixteen vector values alive, so nothing
// spills to the stack (tests/frame/check_vector_stack.cmake checks the
// .4DX). Without x86-64 they are stubs that take nothing.
#include "codecs/base64_simd.h"

#include <cstring>

#include "codecs/base64_tables.h"
#include "codecs/simd_target.h"

#if LQM_SIMD_X86

using namespace lqm::base64;

namespace {

LQM_TARGET_SSSE3 inline __m128i LoadTable(const NibbleTable& table) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

}  // namespace

LQM_TARGET_SSSE3 int64_t Base64EncodeSsse3(const unsigned char* input, int64_t length, unsigned char* output) {
  // b0 b1 b2 becomes the word b1 b0 b2 b1: every field inside one 16-bit half.
  const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m128i offsets = LoadTable(kEncodeOffsets);
  const __m128i maskHigh = _mm_set1_epi32(0x0FC0FC00), shiftHigh = _mm_set1_epi32(0x04000040);
  const __m128i maskLow = _mm_set1_epi32(0x003F03F0), shiftLow = _mm_set1_epi32(0x01000010);
  int64_t done = 0;
  for (; length - done >= 16; done += 12, output += 16) {
    const __m128i words =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(input + done)), spread);
    // Fields 0 and 2 by multiply-high (right shifts 10 and 6), 1 and 3 by
    // multiply-low (left shifts 4 and 8).
    const __m128i values = _mm_or_si128(_mm_mulhi_epu16(_mm_and_si128(words, maskHigh), shiftHigh),
                                        _mm_mullo_epi16(_mm_and_si128(words, maskLow), shiftLow));
    const __m128i classes =
        _mm_or_si128(_mm_subs_epu8(values, _mm_set1_epi8(51)),
                     _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), values), _mm_set1_epi8(13)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(output),
                     _mm_add_epi8(values, _mm_shuffle_epi8(offsets, classes)));
  }
  return done;
}

namespace {

// The decoder's constant vectors, built once per call.
struct DecodeConstants {
  __m128i nibble, classByHigh, invalidByLow, offsets, pack;
};

// One step: the 16 characters at `at` decoded to 12 bytes at the front of
// the result (bytes past the first character outside the alphabet are
// meaningless); *invalid gets a vector whose byte i is non-zero exactly when
// character i is outside the alphabet. Always inlined, so that no vector
// value crosses a call.
LQM_TARGET_SSSE3 inline __attribute__((always_inline)) __m128i DecodeStep(const DecodeConstants& k,
                                                                         const unsigned char* at,
                                                                         __m128i* invalid) {
  const __m128i characters = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i high = _mm_and_si128(_mm_srli_epi32(characters, 4), k.nibble);
  *invalid = _mm_and_si128(_mm_shuffle_epi8(k.classByHigh, high),
                           _mm_shuffle_epi8(k.invalidByLow, _mm_and_si128(characters, k.nibble)));
  const __m128i slot = _mm_add_epi8(high, _mm_cmpeq_epi8(characters, _mm_set1_epi8('/')));
  const __m128i values = _mm_add_epi8(characters, _mm_shuffle_epi8(k.offsets, slot));
  // a*64 + b in each 16-bit pair, then ab*4096 + cd in each 32-bit word.
  const __m128i groups = _mm_madd_epi16(_mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140)),
                                        _mm_set1_epi32(0x00011000));
  return _mm_shuffle_epi8(groups, k.pack);
}

// Bit i set where byte i of `invalid` is non-zero.
LQM_TARGET_SSSE3 inline __attribute__((always_inline)) unsigned OutsideMask(__m128i invalid) {
  return 0xFFFFu ^ static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(invalid, _mm_setzero_si128())));
}

}  // namespace

LQM_TARGET_SSSE3 int64_t Base64DecodeCleanSsse3(const unsigned char* input, int64_t length, unsigned char* output,
                                                int64_t* written) {
  DecodeConstants k;
  k.nibble = _mm_set1_epi8(0x0F);
  k.classByHigh = LoadTable(kValidity.byHigh);
  k.invalidByLow = LoadTable(kValidity.byLow);
  k.offsets = LoadTable(kDecodeOffsets);
  // The three bytes of each 24-bit value, most significant first, packed to
  // the front.
  k.pack = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int64_t done = 0;
  unsigned char* const start = output;
  while (length - done >= 16) {
    // Two clean steps at a time with whole 16-byte stores while 48
    // characters remain: the bound of 3 bytes per 4 characters read then
    // still covers the 4 bytes each store writes past its 12.
    while (length - done >= 48) {
      __m128i invalid0, invalid1;
      const __m128i bytes0 = DecodeStep(k, input + done, &invalid0);
      const __m128i bytes1 = DecodeStep(k, input + done + 16, &invalid1);
      if (OutsideMask(_mm_or_si128(invalid0, invalid1)) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(output), bytes0);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 12), bytes1);
      done += 32;
      output += 24;
    }
    if (length - done < 16) break;
    __m128i invalid;
    const __m128i bytes = DecodeStep(k, input + done, &invalid);
    const unsigned outside = OutsideMask(invalid);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(output), bytes);
    const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
    std::memcpy(output + 8, &last, 4);
    if (outside == 0) {
      done += 16;
      output += 12;
      continue;
    }
    if (TakeCleanGroupsAndBreaks(outside, input, length, &done, &output) < 0) break;
  }
  *written = output - start;
  return done;
}

#else

int64_t Base64EncodeSsse3(const unsigned char*, int64_t, unsigned char*) { return 0; }
// Nothing decoded: the scalar code takes the whole text.
int64_t Base64DecodeCleanSsse3(const unsigned char*, int64_t, unsigned char*, int64_t* written) {
  return *written = 0;
}

#endif
