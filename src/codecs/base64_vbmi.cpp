// The AVX-512 VBMI Base64 kernels (see base64_simd.h), after Muła and
// Lemire, "Base64 encoding and decoding at almost the speed of a memory
// copy" (SPE 2020): 48 bytes to 64 characters per step and back.
//
// Encoding: a byte permutation spreads the groups, a multishift lifts each
// 6-bit field into its own byte and a second permutation indexes the
// alphabet with it (it reads only the low 6 bits of each index). Decoding
// looks each character up in a 128-byte table held in two registers, packs
// with the same multiply-adds as AVX2 and gathers the 48 bytes with one
// permutation. Outputs too large for the caches are streamed.
//
// The tables come from base64_tables.h, checked there against the alphabet.
// Partial blocks are loaded and stored under masks, so these kernels read
// and write no byte past the groups they take. They keep few enough vector
// values alive that nothing spills (the Windows compiler cannot align 64-byte
// stack slots). Without x86-64 they are stubs that take nothing.
#include "codecs/base64_simd.h"

#include "codecs/base64_tables.h"
#include "codecs/simd_target.h"

#if LQM_SIMD_X86

using namespace lqm::base64;

namespace {

// An output from this size on cannot stay in the caches: when aligned, it is
// streamed past them (base64_simd.h).
constexpr int64_t kStreamingBytes = int64_t{16} << 20;

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
  const __m512i alphabet = _mm512_loadu_si512(kBase64Alphabet);
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

int64_t Base64EncodeVbmi(const unsigned char*, int64_t, unsigned char*) { return 0; }
// Nothing decoded: the scalar code takes the whole text.
int64_t Base64DecodeCleanVbmi(const unsigned char*, int64_t, unsigned char*, int64_t* written) { return *written = 0; }

#endif
