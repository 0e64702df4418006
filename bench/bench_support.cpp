// Shared benchmark pieces (see bench_support.h).
#include "bench_support.h"

#include <map>
#include <random>

#include "codecs/base64.h"
#include "codecs/codec_cpu.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The CPU level the codecs use here, in the run's context: report.py picks
// the targets that level is held to (Base64 and TEA have higher ones with
// AVX-512).
namespace {
const bool kCpuLevelRecorded = [] {
  static const char* const kLevelNames[] = {"portable", "sse", "avx2", "avx512"};
  benchmark::AddCustomContext("codec_cpu_level", kLevelNames[CodecCpuLevelDetected()]);
  return true;
}();
}  // namespace

const BenchBytes& RandomBytes(size_t size) {
  static std::map<size_t, BenchBytes> cache;
  BenchBytes& bytes = cache[size];
  if (bytes.size() != size) {
    bytes.resize(size);
    std::mt19937_64 random(size);
    for (size_t index = 0; index < size; index += 8) {
      const uint64_t word = random();
      for (size_t byte = 0; byte < 8 && index + byte < size; ++byte) bytes[index + byte] = static_cast<unsigned char>(word >> (8 * byte));
    }
  }
  return bytes;
}

const BenchBytes& Base64Text(size_t size, bool lineBreaks) {
  static std::map<std::pair<size_t, bool>, BenchBytes> cache;
  BenchBytes& text = cache[{size, lineBreaks}];
  if (text.empty()) {
    const BenchBytes& plain = RandomBytes(size / 4 * 3);
    BenchBytes clean(static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(plain.size()))));
    Base64EncodeInto(plain.data(), static_cast<int64_t>(plain.size()), clean.data());
    if (!lineBreaks) {
      text = clean;
    } else {
      for (size_t index = 0; index < clean.size(); ++index) {
        if (index > 0 && index % 76 == 0) text.push_back('\n');
        text.push_back(clean[index]);
      }
    }
  }
  return text;
}

#if defined(__x86_64__)
__attribute__((target("avx"))) static void ZeroUpper() { _mm256_zeroupper(); }
#endif

void ClearUpperVectorState() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx")) ZeroUpper();
#endif
}

void ApplySizes(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {int64_t{1} << 10, int64_t{1} << 16, int64_t{1} << 20}) bench->Arg(size);
  bench->Arg(int64_t{1} << 26);
}

void SetThroughput(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
