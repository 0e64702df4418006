// The CRC folding kernels for x86-64 (see crc_fold.h): PCLMULQDQ on 128-bit
// registers with four accumulators, and VPCLMULQDQ on 512-bit registers with
// four accumulators of four chunks each.
//
// Four accumulators hide the multiplier's latency (about 6 cycles against a
// throughput of one per cycle): each folds every fourth chunk (or 64-byte
// block) forward by four positions, and they are joined at the end by folds
// of 3, 2 and 1 positions. The byte reversal for unreflected CRCs is one
// shuffle per load. CPUs at the SSE and AVX2 levels run the 128-bit kernel
// (the AVX2 level brings nothing a fold could use); the 512-bit one needs
// VPCLMULQDQ, which only the AVX-512 level includes.
//
// Only these functions carry target attributes (simd_target.h); nothing here
// runs unless CrcFold has seen the level in codec_cpu.h. The kernels keep at
// most a dozen vector values alive, so they need no vector spills: the
// Windows compiler does not align its stack beyond 16 bytes, which would
// make a spilled 512-bit value fault.
#include "codecs/crc_fold.h"

#include "codecs/codec_cpu.h"
#include "codecs/simd_target.h"

#if LQM_SIMD_X86

namespace {

// The loops ask for the cache line this many bytes ahead of the one they
// load. The hardware prefetcher alone kept the 128-bit loop at about 6.5
// GB/s on a 64 MiB input on the benchmark machine; 4 KiB ahead gave 9.5 (1
// KiB 8.3, 2 KiB 9.1, 8 KiB no more). Past the end of the input it only
// asks for lines that are never read: a prefetch does not fault.
constexpr int64_t kPrefetchAhead = 4096;

LQM_TARGET_CLMUL inline void PrefetchAhead(const unsigned char* bytes) {
  // Formed as an integer: a pointer past the input's end would not be valid.
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(bytes) + kPrefetchAhead), _MM_HINT_T0);
}

// Byte indices 15..0: turns a chunk in message order into a 128-bit integer
// whose top bit is the first message bit (and back).
LQM_TARGET_CLMUL inline __m128i ChunkReversal() {
  return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

LQM_TARGET_CLMUL inline __m128i PairRegister(const CrcFoldPair& pair) {
  return _mm_set_epi64x(static_cast<long long>(pair.high), static_cast<long long>(pair.low));
}

template <bool kReflected>
LQM_TARGET_CLMUL inline __m128i LoadChunk(const unsigned char* bytes) {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  return kReflected ? chunk : _mm_shuffle_epi8(chunk, ChunkReversal());
}

LQM_TARGET_CLMUL inline __m128i FoldChunk(__m128i chunk, __m128i pair) {
  return _mm_xor_si128(_mm_clmulepi64_si128(chunk, pair, 0x00), _mm_clmulepi64_si128(chunk, pair, 0x11));
}

template <bool kReflected>
LQM_TARGET_CLMUL inline void StoreRemainder(__m128i chunk, unsigned char remainder[16]) {
  if (!kReflected) chunk = _mm_shuffle_epi8(chunk, ChunkReversal());
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), chunk);
}

// Joins what is left after the wide loops: one chunk register, then single
// chunks folded in one at a time.
template <bool kReflected>
LQM_TARGET_CLMUL inline void FinishChunks(__m128i folded, const unsigned char* data, int64_t chunks,
                                          const CrcFoldConstants& constants, unsigned char remainder[16]) {
  const __m128i next = PairRegister(constants.distance[1]);
  for (; chunks > 0; --chunks, data += 16) folded = _mm_xor_si128(FoldChunk(folded, next), LoadChunk<kReflected>(data));
  StoreRemainder<kReflected>(folded, remainder);
}

template <bool kReflected>
LQM_TARGET_CLMUL void FoldClmul(const unsigned char* data, int64_t length, const unsigned char seed[16],
                                const CrcFoldConstants& constants, unsigned char remainder[16]) {
  int64_t chunks = length / 16;
  __m128i first = _mm_xor_si128(LoadChunk<kReflected>(data), LoadChunk<kReflected>(seed));
  __m128i second = LoadChunk<kReflected>(data + 16);
  __m128i third = LoadChunk<kReflected>(data + 32);
  __m128i fourth = LoadChunk<kReflected>(data + 48);
  data += 64;
  chunks -= 4;
  const __m128i byFour = PairRegister(constants.distance[4]);
  for (; chunks >= 4; chunks -= 4, data += 64) {
    PrefetchAhead(data);
    first = _mm_xor_si128(FoldChunk(first, byFour), LoadChunk<kReflected>(data));
    second = _mm_xor_si128(FoldChunk(second, byFour), LoadChunk<kReflected>(data + 16));
    third = _mm_xor_si128(FoldChunk(third, byFour), LoadChunk<kReflected>(data + 32));
    fourth = _mm_xor_si128(FoldChunk(fourth, byFour), LoadChunk<kReflected>(data + 48));
  }
  __m128i folded = _mm_xor_si128(FoldChunk(first, PairRegister(constants.distance[3])),
                                 FoldChunk(second, PairRegister(constants.distance[2])));
  folded = _mm_xor_si128(folded, FoldChunk(third, PairRegister(constants.distance[1])));
  folded = _mm_xor_si128(folded, fourth);
  FinishChunks<kReflected>(folded, data, chunks, constants, remainder);
}

// ---------------------------------------------------------------------------
// 512-bit registers: four chunks per register, lane 0 first
// ---------------------------------------------------------------------------

LQM_TARGET_VCLMUL inline __m512i WidePair(const CrcFoldPair& pair) {
  return _mm512_broadcast_i32x4(PairRegister(pair));
}

template <bool kReflected>
LQM_TARGET_VCLMUL inline __m512i LoadBlock(const unsigned char* bytes) {
  const __m512i block = _mm512_loadu_si512(bytes);
  return kReflected ? block : _mm512_shuffle_epi8(block, _mm512_broadcast_i32x4(ChunkReversal()));
}

// XOR of both products and the next block in one three-way logic operation.
LQM_TARGET_VCLMUL inline __m512i FoldBlock(__m512i block, __m512i pair, __m512i addend) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(block, pair, 0x00),
                                   _mm512_clmulepi64_epi128(block, pair, 0x11), addend, 0x96);
}

template <bool kReflected>
LQM_TARGET_VCLMUL void FoldVclmul(const unsigned char* data, int64_t length, const unsigned char seed[16],
                                  const CrcFoldConstants& constants, unsigned char remainder[16]) {
  int64_t chunks = length / 16;
  __m512i first = _mm512_xor_si512(LoadBlock<kReflected>(data),
                                   _mm512_zextsi128_si512(LoadChunk<kReflected>(seed)));
  __m512i second = LoadBlock<kReflected>(data + 64);
  __m512i third = LoadBlock<kReflected>(data + 128);
  __m512i fourth = LoadBlock<kReflected>(data + 192);
  data += 256;
  chunks -= 16;
  const __m512i bySixteen = WidePair(constants.distance[16]);
  for (; chunks >= 16; chunks -= 16, data += 256) {
    PrefetchAhead(data);
    PrefetchAhead(data + 64);
    PrefetchAhead(data + 128);
    PrefetchAhead(data + 192);
    first = FoldBlock(first, bySixteen, LoadBlock<kReflected>(data));
    second = FoldBlock(second, bySixteen, LoadBlock<kReflected>(data + 64));
    third = FoldBlock(third, bySixteen, LoadBlock<kReflected>(data + 128));
    fourth = FoldBlock(fourth, bySixteen, LoadBlock<kReflected>(data + 192));
  }
  __m512i folded = FoldBlock(first, WidePair(constants.distance[12]), fourth);
  folded = FoldBlock(second, WidePair(constants.distance[8]), folded);
  folded = FoldBlock(third, WidePair(constants.distance[4]), folded);
  const __m512i byFour = WidePair(constants.distance[4]);
  for (; chunks >= 4; chunks -= 4, data += 64) folded = FoldBlock(folded, byFour, LoadBlock<kReflected>(data));

  __m128i chunk = _mm512_extracti32x4_epi32(folded, 3);
  chunk = _mm_xor_si128(chunk, FoldChunk(_mm512_extracti32x4_epi32(folded, 2), PairRegister(constants.distance[1])));
  chunk = _mm_xor_si128(chunk, FoldChunk(_mm512_extracti32x4_epi32(folded, 1), PairRegister(constants.distance[2])));
  chunk = _mm_xor_si128(chunk, FoldChunk(_mm512_castsi512_si128(folded), PairRegister(constants.distance[3])));
  FinishChunks<kReflected>(chunk, data, chunks, constants, remainder);
}

}  // namespace

bool CrcFold(const unsigned char* data, int64_t length, const unsigned char seed[16],
             const CrcFoldConstants& constants, unsigned char remainder[16]) {
  const CodecCpuLevel level = CodecCpuLevelInUse();
  if (level >= kCodecCpuAvx512 && length >= 256) {
    (constants.reflected ? FoldVclmul<true> : FoldVclmul<false>)(data, length, seed, constants, remainder);
    return true;
  }
  if (level >= kCodecCpuSse && length >= kCrcFoldMinimum) {
    (constants.reflected ? FoldClmul<true> : FoldClmul<false>)(data, length, seed, constants, remainder);
    return true;
  }
  return false;
}

#else

bool CrcFold(const unsigned char*, int64_t, const unsigned char*, const CrcFoldConstants&, unsigned char*) {
  return false;
}

#endif
