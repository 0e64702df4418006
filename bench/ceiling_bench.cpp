// The ceilings: memcpy and a read-only pass (a sum of 64-bit words) over the
// same buffers; no codec can beat the first in memory, nor a reading pass
// the second.
#include <cstring>

#include "bench_support.h"

namespace {

void Memcpy(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  BenchBytes out(data.size());
  ClearUpperVectorState();
  for (auto _ : state) {
    std::memcpy(out.data(), data.data(), data.size());
    benchmark::ClobberMemory();
  }
  SetThroughput(state, data.size());
}

void ReadPass(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (size_t index = 0; index + 8 <= data.size(); index += 8) {
      uint64_t word;
      std::memcpy(&word, data.data() + index, 8);
      sum += word;
    }
    benchmark::DoNotOptimize(sum);
  }
  SetThroughput(state, data.size());
}

}  // namespace

BENCHMARK(Memcpy)->Name("ceiling:memcpy")->Apply(ApplySizes);
BENCHMARK(ReadPass)->Name("ceiling:read")->Apply(ApplySizes);
