// Shared pieces of the benchmarks: deterministic input buffers cached per
// size, the sizes every codec runs at, and the vector-state reset done
// before each timed case (ISA-L leaves the upper halves of the vector
// registers dirty, which slows SSE code measured after it).
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

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
