// Which vector instructions the codec fast paths may use, decided once per
// process from the CPU's features, and a test-only override.
//
// The levels form a ladder: each includes everything below it, so a kernel
// written for one level runs on every level above. The plugin as a whole is
// compiled for baseline x86-64; only the kernel functions marked with the
// target attributes of simd_target.h carry wider instructions, and they are
// reached solely through a level check. Builds for other processors always
// report kCodecCpuPortable.
//
//   kCodecCpuPortable  plain C++ (slicing tables, scalar loops)
//   kCodecCpuSse       SSSE3, SSE4.1 and PCLMULQDQ (128-bit CRC folding, TEA)
//   kCodecCpuAvx2      the above plus AVX2 (Base64 and TEA, 256-bit lanes)
//   kCodecCpuAvx512    the above plus AVX-512 F/BW/VL/VBMI and VPCLMULQDQ
#pragma once

enum CodecCpuLevel : int {
  kCodecCpuPortable = 0,
  kCodecCpuSse = 1,
  kCodecCpuAvx2 = 2,
  kCodecCpuAvx512 = 3,
};

// The level the fast paths use now: the detected one, or a lower one forced
// by CodecForceCpuLevel.
CodecCpuLevel CodecCpuLevelInUse();
// The highest level this CPU and operating system support.
CodecCpuLevel CodecCpuLevelDetected();
// For tests and benchmarks: caps the level at `level` (a level above the
// detected one gives the detected one); kCodecCpuAvx512 lifts the cap.
// Returns the level now in use. Not meant to be called while codecs run on
// other threads (they would see either level, both give the same answers).
CodecCpuLevel CodecForceCpuLevel(CodecCpuLevel level);
