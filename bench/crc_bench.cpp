// CRC throughput: the table engine of each model (which folds where the CPU
// can), at each CPU level (RegisterPerLevel), beside zlib's crc32, ISA-L's
// crc32_gzip_refl (and its 128-bit fold called directly) and crc16_t10dif,
// and crcutil on the reflected 16-bit model.
#include <crcutil/generic_crc.h>
#include <isa-l/crc.h>
#include <zlib.h>

#include "bench_support.h"
#include "codecs/codec_cpu.h"
#include "codecs/crc.h"

namespace {

// At the level RegisterPerLevel forced.
void Ours(benchmark::State& state, unsigned model) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeCrc(data.data(), static_cast<int64_t>(data.size()), model, 1));
  }
  SetThroughput(state, data.size());
}

void Crc32Ours(benchmark::State& state) { Ours(state, 2); }
void Crc16CcittOurs(benchmark::State& state) { Ours(state, 0); }
void Crc16ArcOurs(benchmark::State& state) { Ours(state, 1); }

void Crc32Zlib(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, data.data(), static_cast<uInt>(data.size())));
  SetThroughput(state, data.size());
}

void Crc32Isal(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(crc32_gzip_refl(0, data.data(), data.size()));
  ClearUpperVectorState();
  SetThroughput(state, data.size());
}

// ISA-L's 128-bit PCLMULQDQ folds (eight streams), which its dispatcher
// picks on CPUs without VPCLMULQDQ: by8 in SSE encoding, by8_02 in AVX
// encoding. Exported by the library but not declared in its header.
extern "C" uint32_t crc32_gzip_refl_by8(uint32_t init_crc, const unsigned char* buf, uint64_t len);
extern "C" uint32_t crc32_gzip_refl_by8_02(uint32_t init_crc, const unsigned char* buf, uint64_t len);

template <uint32_t (*kFold)(uint32_t, const unsigned char*, uint64_t)>
void Crc32Isal128(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(kFold(0, data.data(), data.size()));
  ClearUpperVectorState();
  SetThroughput(state, data.size());
}

void Crc16T10difIsal(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(crc16_t10dif(0, data.data(), data.size()));
  ClearUpperVectorState();
  SetThroughput(state, data.size());
}

void Crc16ArcCrcutil(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  // CRC-16/ARC in crcutil's reflected notation: polynomial 0xA001, degree 16.
  static const crcutil::GenericCrc<uint64_t, uint64_t, uint64_t, 4> arc(0xA001, 16, false);
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(arc.CrcDefault(data.data(), data.size(), 0));
  SetThroughput(state, data.size());
}

}  // namespace

// "crc32:ours@portable" ... "@avx512"; report.py maps the old names
// (crc32:ours, crc32:ours-pclmul, crc32:ours-portable) onto these.
const bool kPerLevelRegistered = [] {
  RegisterPerLevel("crc32:ours", Crc32Ours);
  RegisterPerLevel("crc16-model0:ours", Crc16CcittOurs);
  RegisterPerLevel("crc16-model1:ours", Crc16ArcOurs);
  return true;
}();
BENCHMARK(Crc32Isal128<crc32_gzip_refl_by8>)->Name("crc32:isal-128")->Apply(ApplySizes);
BENCHMARK(Crc32Isal128<crc32_gzip_refl_by8_02>)->Name("crc32:isal-128-avx")->Apply(ApplySizes);
BENCHMARK(Crc32Zlib)->Name("crc32:zlib")->Apply(ApplySizes);
BENCHMARK(Crc32Isal)->Name("crc32:isal")->Apply(ApplySizes);
BENCHMARK(Crc16T10difIsal)->Name("crc16-model0:isal-t10dif")->Apply(ApplySizes);
BENCHMARK(Crc16ArcCrcutil)->Name("crc16-model1:crcutil")->Apply(ApplySizes);
