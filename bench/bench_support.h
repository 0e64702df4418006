// Shared pieces of the benchmarks: deterministic input buffers cached per
// size, the sizes every codec runs at, the vector-state reset done before
// each timed case (ISA-L leaves the upper halves of the vector registers
// dirty, which slows SSE code measured after it), and the CPU levels our
// kernels are measured at.
//
// Levels: a kernel case of ours is registered once per level the run may
// use (RegisterPerLevel, named "codec:ours@level"), so one run measures
// every dispatch path against the same yardsticks; a new kernel reached
// through the dispatch is measured at its level without a case of its own.
// The run may use the levels up to BenchTopLevel(): the detected one, or a
// lower one named by the environment variable LQM_CPU_LEVEL (portable, sse,
// avx2, avx512). Only the benchmark reads it: the plugin loaded by the
// command cases always runs at its detected level.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/codec_cpu.h"

using BenchBytes = std::vector<unsigned char>;

// Random bytes (a fixed generator and seed), built once per size.
const BenchBytes& RandomBytes(size_t size);
// Clean Base64 of RandomBytes(size * 3 / 4) (about size characters), and
// the same text broken into lines of 76 characters.
const BenchBytes& Base64Text(size_t size, bool lineBreaks);
// The synthetic printed page (page.cpp): 2480 x 3508 RGB pixels.
const BenchBytes& PrintedPage();
inline constexpr int kPageWidth = 2480;
inline constexpr int kPageHeight = 3508;

void ClearUpperVectorState();

// Every throughput case runs at 1 KiB, 64 KiB, 1 MiB and 64 MiB; the 64 MiB
// case repeats fewer times to keep the run short.
void ApplySizes(benchmark::internal::Benchmark* bench);
void SetThroughput(benchmark::State& state, size_t bytes);

// The highest level the kernel cases may use (see the top of this file);
// an unknown LQM_CPU_LEVEL stops the run with a message.
CodecCpuLevel BenchTopLevel();
const char* CpuLevelName(CodecCpuLevel level);

// Runs the enclosing case at `level` (never above BenchTopLevel()) and puts
// the run's level back when it ends: cases that force a level must use this
// rather than CodecForceCpuLevel, so that LQM_CPU_LEVEL holds for the cases
// measured after them.
class AtCpuLevel {
 public:
  explicit AtCpuLevel(CodecCpuLevel level);
  ~AtCpuLevel();
  AtCpuLevel(const AtCpuLevel&) = delete;
  AtCpuLevel& operator=(const AtCpuLevel&) = delete;
};

// Registers `run` as "<name>@<level>" for every level from portable to
// BenchTopLevel(), each forced for the case's duration. The top level runs
// at every size of ApplySizes (the plot and the best-level comparisons);
// the levels below it at 1 MiB and 64 MiB only, where their targets are, to
// keep the run short.
using PerLevelCase = void (*)(benchmark::State&);
void RegisterPerLevel(const char* name, PerLevelCase run);

// Input for one thread of a multi-threaded case: a copy of RandomBytes(size)
// of its own (no cache line or page shared between threads), built once per
// (size, thread) and safe to ask for from several threads at once.
const BenchBytes& ThreadRandomBytes(size_t size, int thread);
// The same for Base64Text(size, false).
const BenchBytes& ThreadBase64Text(size_t size, int thread);
