// CPU feature detection for the codec fast paths (see codec_cpu.h).
//
// GCC's __builtin_cpu_supports reads CPUID once (libgcc's constructor, also
// in the static runtime of the Windows build) and, for the AVX and AVX-512
// features, also checks that the operating system saves the wider registers
// (XGETBV), so a level reported here is safe to use.
#include "codecs/codec_cpu.h"

#include <atomic>

namespace {

CodecCpuLevel DetectLevel() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  if (!(__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
        __builtin_cpu_supports("pclmul"))) {
    return kCodecCpuPortable;
  }
  if (!(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2"))) return kCodecCpuSse;
  if (!(__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
        __builtin_cpu_supports("vpclmulqdq"))) {
    return kCodecCpuAvx2;
  }
  return kCodecCpuAvx512;
#else
  return kCodecCpuPortable;
#endif
}

// The cap set by CodecForceCpuLevel; relaxed order is enough because every
// level gives the same results.
std::atomic<int> gCodecCpuCap{kCodecCpuAvx512};

}  // namespace

CodecCpuLevel CodecCpuLevelDetected() {
  static const CodecCpuLevel detected = DetectLevel();
  return detected;
}

CodecCpuLevel CodecCpuLevelInUse() {
  const int cap = gCodecCpuCap.load(std::memory_order_relaxed);
  const CodecCpuLevel detected = CodecCpuLevelDetected();
  return cap < detected ? static_cast<CodecCpuLevel>(cap) : detected;
}

CodecCpuLevel CodecForceCpuLevel(CodecCpuLevel level) {
  gCodecCpuCap.store(level, std::memory_order_relaxed);
  return CodecCpuLevelInUse();
}
