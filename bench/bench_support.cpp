// Shared benchmark pieces (see bench_support.h).
#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <tuple>

#include "codecs/base64.h"
#include "codecs/codec_cpu.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {
const char* const kLevelNames[] = {"portable", "sse", "avx2", "avx512"};

CodecCpuLevel ReadTopLevel() {
  const CodecCpuLevel detected = CodecCpuLevelDetected();
  const char* wanted = std::getenv("LQM_CPU_LEVEL");
  if (wanted == nullptr || *wanted == '\0') return detected;
  for (int level = kCodecCpuPortable; level <= kCodecCpuAvx512; ++level) {
    if (std::strcmp(wanted, kLevelNames[level]) != 0) continue;
    if (level > detected) {
      std::fprintf(stderr, "LQM_CPU_LEVEL=%s: this CPU supports only up to %s\n", wanted, kLevelNames[detected]);
      std::exit(2);
    }
    return static_cast<CodecCpuLevel>(level);
  }
  std::fprintf(stderr, "LQM_CPU_LEVEL=%s: expected portable, sse, avx2 or avx512\n", wanted);
  std::exit(2);
}

// The levels in the run's context: report.py makes a table per level up to
// the top one and judges the best-level targets there. The cap is applied
// once here, so that cases that force no level run at the top level too.
const bool kCpuLevelRecorded = [] {
  benchmark::AddCustomContext("codec_cpu_level", kLevelNames[BenchTopLevel()]);
  benchmark::AddCustomContext("codec_cpu_detected", kLevelNames[CodecCpuLevelDetected()]);
  CodecForceCpuLevel(BenchTopLevel());
  return true;
}();
}  // namespace

CodecCpuLevel BenchTopLevel() {
  static const CodecCpuLevel top = ReadTopLevel();
  return top;
}

const char* CpuLevelName(CodecCpuLevel level) { return kLevelNames[level]; }

AtCpuLevel::AtCpuLevel(CodecCpuLevel level) { CodecForceCpuLevel(level < BenchTopLevel() ? level : BenchTopLevel()); }
AtCpuLevel::~AtCpuLevel() { CodecForceCpuLevel(BenchTopLevel()); }

void RegisterPerLevel(const char* name, PerLevelCase run) {
  for (int level = kCodecCpuPortable; level <= BenchTopLevel(); ++level) {
    const std::string caseName = std::string(name) + "@" + kLevelNames[level];
    auto* bench = benchmark::RegisterBenchmark(caseName.c_str(), [run, level](benchmark::State& state) {
      const AtCpuLevel forced(static_cast<CodecCpuLevel>(level));
      run(state);
    });
    if (level == BenchTopLevel()) {
      ApplySizes(bench);
    } else {
      bench->Arg(int64_t{1} << 20)->Arg(int64_t{1} << 26);
    }
  }
}

namespace {
const BenchBytes& ThreadCopy(const BenchBytes& (*make)(size_t), size_t size, int thread) {
  // The map's nodes never move, so a reference stays valid while other
  // threads add theirs; the lock covers the lookup and the first build.
  static std::mutex lock;
  static std::map<std::tuple<const void*, size_t, int>, BenchBytes> copies;
  const std::lock_guard<std::mutex> held(lock);
  BenchBytes& copy = copies[{reinterpret_cast<const void*>(make), size, thread}];
  if (copy.empty()) copy = make(size);
  return copy;
}
const BenchBytes& CleanText(size_t size) { return Base64Text(size, false); }
}  // namespace

const BenchBytes& ThreadRandomBytes(size_t size, int thread) { return ThreadCopy(RandomBytes, size, thread); }
const BenchBytes& ThreadBase64Text(size_t size, int thread) { return ThreadCopy(CleanText, size, thread); }

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
