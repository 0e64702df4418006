// The AVX2 Base64 kernels (see base64_simd.h), after Muła and Lemire,
// "Faster Base64 Encoding and Decoding Using AVX2 Instructions" (ACM TOW
// 2018): 24 bytes to 32 characters per step and back.
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
// The tables come from base64_tables.h, checked there against the
// alphabet. The kernels hold under a dozen vector values, so nothing spills
// (the Windows compiler cannot align 32-byte stack slots). Without x86-64
// they are stubs that take nothing.
#include "codecs/base64_simd.h"

#include "codecs/base64_tables.h"
#include "codecs/simd_target.h"

#if LQM_SIMD_X86

using namespace lqm::base64;

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
    const int64_t breakStart = TakeCleanGroupsAndBreaks(outside, input, length, &done, &output);
    if (breakStart < 0) break;
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

#else

int64_t Base64EncodeAvx2(const unsigned char*, int64_t, unsigned char*) { return 0; }
// Nothing decoded: the scalar code takes the whole text.
int64_t Base64DecodeCleanAvx2(const unsigned char*, int64_t, unsigned char*, int64_t* written) { return *written = 0; }

#endif
