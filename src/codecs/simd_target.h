// What every x86-64 vector kernel file needs from the compiler, kept in one
// place so that the kernels (base64_ssse3.cpp, base64_avx2.cpp,
// base64_vbmi.cpp, crc_fold_x86.cpp, tea_lanes.cpp) cannot drift apart.
// Include it from those .cpp files only, never from a header: it switches
// warnings off for the rest of the file that includes it.
//
// LQM_SIMD_X86 is 1 where the kernels are compiled (x86-64 with GCC or
// clang: the Linux build, the mingw-w64 Windows build, the clang fuzz build)
// and 0 elsewhere, where each kernel file compiles stubs that do nothing.
// The plugin as a whole targets baseline x86-64: only functions marked with
// one of the LQM_TARGET_* attributes may use wider instructions, and they are
// reached only through a check of CodecCpuLevelInUse() (codec_cpu.h) at the
// level named beside each attribute below, which covers every feature the
// attribute names. An attribute may enable less than its level, never more.
//
// The Windows compiler keeps the stack only 16-byte aligned, so a 256- or
// 512-bit value spilled to it may be moved with an aligned instruction that
// faults. The kernels therefore keep few enough vector values alive that
// nothing spills; tests/frame/check_vector_stack.cmake checks the .4DX.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define LQM_SIMD_X86 1
#else
#define LQM_SIMD_X86 0
#endif

#if LQM_SIMD_X86
#include <immintrin.h>

// GCC 12's intrinsic headers start some results from an undefined vector
// (_mm512_undefined_epi32 and the like), then report it at every inlined use
// as uninitialised or maybe uninitialised, although every lane is written.
// Clang does not, and keeps both warnings for the code here.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// kCodecCpuSse: 128-bit integer lanes and byte shuffles.
#define LQM_TARGET_SSE __attribute__((target("ssse3,sse4.1")))
// kCodecCpuSse: the above with 128-bit carry-less multiplication.
#define LQM_TARGET_CLMUL __attribute__((target("ssse3,sse4.1,pclmul")))
// kCodecCpuSse: byte shuffles and multiply-adds on 128-bit registers.
#define LQM_TARGET_SSSE3 __attribute__((target("ssse3")))
// kCodecCpuAvx2.
#define LQM_TARGET_AVX2 __attribute__((target("avx2")))
// kCodecCpuAvx512: 512-bit integer lanes.
#define LQM_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
// kCodecCpuAvx512: the above with the byte permutations and multishift.
#define LQM_TARGET_VBMI __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))
// kCodecCpuAvx512: carry-less multiplication on 512-bit registers.
#define LQM_TARGET_VCLMUL \
  __attribute__((target("ssse3,sse4.1,pclmul,avx2,avx512f,avx512bw,avx512vl,vpclmulqdq")))

#endif
