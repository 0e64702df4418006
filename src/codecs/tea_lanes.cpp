// TEA in vector lanes: the rounds of tea.cpp on 4 blocks per SSE register,
// 8 per AVX2 register and 16 per AVX-512 register, several registers at once.
//
// TEA has no data-dependent steps, so each lane runs the same 32 cycles as
// the scalar code on its own block; blocks in codebook order are
// independent, so lanes never talk to each other. A cycle is a dependent
// chain of about eight operations per half, so each kernel keeps several
// independent groups in flight to fill the vector units while a chain
// waits: 4 with AVX-512 (64 blocks a step; 2 groups ran a fifth slower, 6
// no faster), 3 with AVX2 (24 blocks; 2 ran a fifth slower), then steps
// of 2 AVX2 groups for what is left, which is also what a padded copy of
// 16 blocks goes through. Without AVX2, SSE registers take 2 groups of 4
// blocks a step, then single groups; there the two-operand instruction
// forms need a copy before each shift, so a half-cycle is about ten
// instructions and two temporaries per group. 3 or 4 groups ran up to a
// third faster but no longer fit the sixteen registers beside the six
// constants: GCC kept some lanes on the stack, which the vector kernels
// here avoid (see below). Loads split the blocks' interleaved words
// (y0 z0 y1 z1 ...) into a register of y words and one of z words, and
// stores join them again.
//
// Three AVX2 groups (six registers) with the four key words, sum and delta
// leave three of the sixteen registers for a step's temporaries (two SSE
// groups leave six, two per group and half); the Windows build's
// disassembly is checked for aligned stack moves by a test, since its
// compiler keeps the stack only 16-byte aligned.
#include "codecs/tea_lanes.h"

#include "codecs/codec_cpu.h"
#include "codecs/simd_target.h"

#if LQM_SIMD_X86

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherSum = static_cast<uint32_t>(kDelta * 32ull);
// Groups in flight in the widest steps of each kernel.
constexpr int kWideGroups256 = 3;
constexpr int kWideGroups512 = 4;
constexpr int kWideGroups128 = 2;

#if defined(__clang__)
#define LQM_UNROLL_GROUPS _Pragma("unroll")
#else
#define LQM_UNROLL_GROUPS _Pragma("GCC unroll 4")
#endif

// ---------------------------------------------------------------------------
// SSE: 4 blocks per register
// ---------------------------------------------------------------------------

struct Lanes4 {
  __m128i y;
  __m128i z;
};

LQM_TARGET_SSE inline __m128i WordReversal4() {
  return _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
}

template <bool kReverse>
LQM_TARGET_SSE inline Lanes4 Load4(const unsigned char* bytes) {
  __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
  if (kReverse) {
    first = _mm_shuffle_epi8(first, WordReversal4());
    second = _mm_shuffle_epi8(second, WordReversal4());
  }
  first = _mm_shuffle_epi32(first, _MM_SHUFFLE(3, 1, 2, 0));    // y0 y1 z0 z1
  second = _mm_shuffle_epi32(second, _MM_SHUFFLE(3, 1, 2, 0));  // y2 y3 z2 z3
  return {_mm_unpacklo_epi64(first, second), _mm_unpackhi_epi64(first, second)};
}

template <bool kReverse>
LQM_TARGET_SSE inline void Store4(unsigned char* bytes, Lanes4 lanes) {
  __m128i first = _mm_shuffle_epi32(_mm_unpacklo_epi64(lanes.y, lanes.z), _MM_SHUFFLE(3, 1, 2, 0));
  __m128i second = _mm_shuffle_epi32(_mm_unpackhi_epi64(lanes.y, lanes.z), _MM_SHUFFLE(3, 1, 2, 0));
  if (kReverse) {
    first = _mm_shuffle_epi8(first, WordReversal4());
    second = _mm_shuffle_epi8(second, WordReversal4());
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), first);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 16), second);
}

LQM_TARGET_SSE inline __m128i Mix4(__m128i word, __m128i sum, __m128i keyA, __m128i keyB) {
  const __m128i left = _mm_add_epi32(_mm_slli_epi32(word, 4), keyA);
  const __m128i right = _mm_add_epi32(_mm_srli_epi32(word, 5), keyB);
  return _mm_xor_si128(_mm_xor_si128(left, _mm_add_epi32(word, sum)), right);
}

template <bool kEncipher, bool kReverse, int kGroups>
LQM_TARGET_SSE int64_t RunSse(unsigned char* data, int64_t blocks, const uint32_t key[4]) {
  const __m128i key0 = _mm_set1_epi32(static_cast<int>(key[0]));
  const __m128i key1 = _mm_set1_epi32(static_cast<int>(key[1]));
  const __m128i key2 = _mm_set1_epi32(static_cast<int>(key[2]));
  const __m128i key3 = _mm_set1_epi32(static_cast<int>(key[3]));
  const __m128i delta = _mm_set1_epi32(static_cast<int>(kDelta));
  int64_t done = 0;
  for (; blocks - done >= 4 * kGroups; done += 4 * kGroups, data += 32 * kGroups) {
    Lanes4 lanes[kGroups];
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) lanes[group] = Load4<kReverse>(data + 32 * group);
    __m128i sum = _mm_set1_epi32(static_cast<int>(kEncipher ? 0u : kDecipherSum));
    for (int cycle = 0; cycle < 32; ++cycle) {
      if (kEncipher) {
        sum = _mm_add_epi32(sum, delta);
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm_add_epi32(lanes[group].y, Mix4(lanes[group].z, sum, key0, key1));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm_add_epi32(lanes[group].z, Mix4(lanes[group].y, sum, key2, key3));
      } else {
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm_sub_epi32(lanes[group].z, Mix4(lanes[group].y, sum, key2, key3));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm_sub_epi32(lanes[group].y, Mix4(lanes[group].z, sum, key0, key1));
        sum = _mm_sub_epi32(sum, delta);
      }
    }
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) Store4<kReverse>(data + 32 * group, lanes[group]);
  }
  return done;
}

// ---------------------------------------------------------------------------
// AVX2: 8 blocks per register
// ---------------------------------------------------------------------------

struct Lanes8 {
  __m256i y;
  __m256i z;
};

LQM_TARGET_AVX2 inline __m256i WordReversal8() {
  return _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,
                          3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
}

template <bool kReverse>
LQM_TARGET_AVX2 inline Lanes8 Load8(const unsigned char* bytes) {
  __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
  __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
  if (kReverse) {
    first = _mm256_shuffle_epi8(first, WordReversal8());
    second = _mm256_shuffle_epi8(second, WordReversal8());
  }
  const __m256i split = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  first = _mm256_permutevar8x32_epi32(first, split);    // y0..y3 z0..z3
  second = _mm256_permutevar8x32_epi32(second, split);  // y4..y7 z4..z7
  return {_mm256_permute2x128_si256(first, second, 0x20), _mm256_permute2x128_si256(first, second, 0x31)};
}

template <bool kReverse>
LQM_TARGET_AVX2 inline void Store8(unsigned char* bytes, Lanes8 lanes) {
  const __m256i join = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  __m256i first = _mm256_permutevar8x32_epi32(_mm256_permute2x128_si256(lanes.y, lanes.z, 0x20), join);
  __m256i second = _mm256_permutevar8x32_epi32(_mm256_permute2x128_si256(lanes.y, lanes.z, 0x31), join);
  if (kReverse) {
    first = _mm256_shuffle_epi8(first, WordReversal8());
    second = _mm256_shuffle_epi8(second, WordReversal8());
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes), first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + 32), second);
}

// ((w << 4) + ka) ^ (w + sum) ^ ((w >> 5) + kb): the change one half makes
// to the other.
LQM_TARGET_AVX2 inline __m256i Mix8(__m256i word, __m256i sum, __m256i keyA, __m256i keyB) {
  const __m256i left = _mm256_add_epi32(_mm256_slli_epi32(word, 4), keyA);
  const __m256i right = _mm256_add_epi32(_mm256_srli_epi32(word, 5), keyB);
  return _mm256_xor_si256(_mm256_xor_si256(left, _mm256_add_epi32(word, sum)), right);
}

// kGroups independent groups of 8 blocks per step (see the file comment).
template <bool kEncipher, bool kReverse, int kGroups>
LQM_TARGET_AVX2 int64_t RunAvx2(unsigned char* data, int64_t blocks, const uint32_t key[4]) {
  const __m256i key0 = _mm256_set1_epi32(static_cast<int>(key[0]));
  const __m256i key1 = _mm256_set1_epi32(static_cast<int>(key[1]));
  const __m256i key2 = _mm256_set1_epi32(static_cast<int>(key[2]));
  const __m256i key3 = _mm256_set1_epi32(static_cast<int>(key[3]));
  const __m256i delta = _mm256_set1_epi32(static_cast<int>(kDelta));
  int64_t done = 0;
  for (; blocks - done >= 8 * kGroups; done += 8 * kGroups, data += 64 * kGroups) {
    Lanes8 lanes[kGroups];
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) lanes[group] = Load8<kReverse>(data + 64 * group);
    __m256i sum = _mm256_set1_epi32(static_cast<int>(kEncipher ? 0u : kDecipherSum));
    for (int cycle = 0; cycle < 32; ++cycle) {
      if (kEncipher) {
        sum = _mm256_add_epi32(sum, delta);
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm256_add_epi32(lanes[group].y, Mix8(lanes[group].z, sum, key0, key1));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm256_add_epi32(lanes[group].z, Mix8(lanes[group].y, sum, key2, key3));
      } else {
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm256_sub_epi32(lanes[group].z, Mix8(lanes[group].y, sum, key2, key3));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm256_sub_epi32(lanes[group].y, Mix8(lanes[group].z, sum, key0, key1));
        sum = _mm256_sub_epi32(sum, delta);
      }
    }
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) Store8<kReverse>(data + 64 * group, lanes[group]);
  }
  return done;
}

// ---------------------------------------------------------------------------
// AVX-512: 16 blocks per register
// ---------------------------------------------------------------------------

struct Lanes16 {
  __m512i y;
  __m512i z;
};

template <bool kReverse>
LQM_TARGET_AVX512 inline Lanes16 Load16(const unsigned char* bytes) {
  __m512i first = _mm512_loadu_si512(bytes);
  __m512i second = _mm512_loadu_si512(bytes + 64);
  if (kReverse) {
    const __m512i reversal = _mm512_broadcast_i32x4(_mm256_castsi256_si128(WordReversal8()));
    first = _mm512_shuffle_epi8(first, reversal);
    second = _mm512_shuffle_epi8(second, reversal);
  }
  const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
  const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
  return {_mm512_permutex2var_epi32(first, evens, second), _mm512_permutex2var_epi32(first, odds, second)};
}

template <bool kReverse>
LQM_TARGET_AVX512 inline void Store16(unsigned char* bytes, Lanes16 lanes) {
  const __m512i low = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
  const __m512i high = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
  __m512i first = _mm512_permutex2var_epi32(lanes.y, low, lanes.z);
  __m512i second = _mm512_permutex2var_epi32(lanes.y, high, lanes.z);
  if (kReverse) {
    const __m512i reversal = _mm512_broadcast_i32x4(_mm256_castsi256_si128(WordReversal8()));
    first = _mm512_shuffle_epi8(first, reversal);
    second = _mm512_shuffle_epi8(second, reversal);
  }
  _mm512_storeu_si512(bytes, first);
  _mm512_storeu_si512(bytes + 64, second);
}

LQM_TARGET_AVX512 inline __m512i Mix16(__m512i word, __m512i sum, __m512i keyA, __m512i keyB) {
  const __m512i left = _mm512_add_epi32(_mm512_slli_epi32(word, 4), keyA);
  const __m512i right = _mm512_add_epi32(_mm512_srli_epi32(word, 5), keyB);
  return _mm512_ternarylogic_epi32(left, _mm512_add_epi32(word, sum), right, 0x96);
}

template <bool kEncipher, bool kReverse, int kGroups>
LQM_TARGET_AVX512 int64_t RunAvx512(unsigned char* data, int64_t blocks, const uint32_t key[4]) {
  const __m512i key0 = _mm512_set1_epi32(static_cast<int>(key[0]));
  const __m512i key1 = _mm512_set1_epi32(static_cast<int>(key[1]));
  const __m512i key2 = _mm512_set1_epi32(static_cast<int>(key[2]));
  const __m512i key3 = _mm512_set1_epi32(static_cast<int>(key[3]));
  const __m512i delta = _mm512_set1_epi32(static_cast<int>(kDelta));
  int64_t done = 0;
  for (; blocks - done >= 16 * kGroups; done += 16 * kGroups, data += 128 * kGroups) {
    Lanes16 lanes[kGroups];
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) lanes[group] = Load16<kReverse>(data + 128 * group);
    __m512i sum = _mm512_set1_epi32(static_cast<int>(kEncipher ? 0u : kDecipherSum));
    for (int cycle = 0; cycle < 32; ++cycle) {
      if (kEncipher) {
        sum = _mm512_add_epi32(sum, delta);
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm512_add_epi32(lanes[group].y, Mix16(lanes[group].z, sum, key0, key1));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm512_add_epi32(lanes[group].z, Mix16(lanes[group].y, sum, key2, key3));
      } else {
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].z = _mm512_sub_epi32(lanes[group].z, Mix16(lanes[group].y, sum, key2, key3));
        LQM_UNROLL_GROUPS
        for (int group = 0; group < kGroups; ++group)
          lanes[group].y = _mm512_sub_epi32(lanes[group].y, Mix16(lanes[group].z, sum, key0, key1));
        sum = _mm512_sub_epi32(sum, delta);
      }
    }
    LQM_UNROLL_GROUPS
    for (int group = 0; group < kGroups; ++group) Store16<kReverse>(data + 128 * group, lanes[group]);
  }
  return done;
}

template <bool kEncipher, bool kReverse>
int64_t RunLanes(CodecCpuLevel level, unsigned char* data, int64_t blocks, const uint32_t key[4]) {
  int64_t done = 0;
  if (level >= kCodecCpuAvx512) done = RunAvx512<kEncipher, kReverse, kWideGroups512>(data, blocks, key);
  // Narrower steps take what is left: a padded copy's 16 blocks always
  // go through the last one.
  if (level >= kCodecCpuAvx2) {
    done += RunAvx2<kEncipher, kReverse, kWideGroups256>(data + 8 * done, blocks - done, key);
    done += RunAvx2<kEncipher, kReverse, 2>(data + 8 * done, blocks - done, key);
  } else if (level >= kCodecCpuSse) {
    done += RunSse<kEncipher, kReverse, kWideGroups128>(data, blocks, key);
    done += RunSse<kEncipher, kReverse, 1>(data + 8 * done, blocks - done, key);
  }
  return done;
}

template <bool kEncipher>
int64_t RunLanes(CodecCpuLevel level, unsigned char* data, int64_t blocks, const uint32_t key[4],
                 bool reverseWords) {
  return reverseWords ? RunLanes<kEncipher, true>(level, data, blocks, key)
                      : RunLanes<kEncipher, false>(level, data, blocks, key);
}

}  // namespace

int64_t TeaLanes(unsigned char* data, int64_t count, const uint32_t key[4], bool reverseWords) {
  const CodecCpuLevel level = CodecCpuLevelInUse();
  if (level < kCodecCpuSse) return 0;
  return count > 0 ? RunLanes<true>(level, data, count, key, reverseWords)
                   : RunLanes<false>(level, data, -count, key, reverseWords);
}

#else

int64_t TeaLanes(unsigned char*, int64_t, const uint32_t*, bool) { return 0; }

#endif
