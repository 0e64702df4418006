// TEA throughput: our block routine (lanes where the CPU has them, forced to
// AVX2, SSE and scalar too) and the envelope's sealing pass, beside Crypto++'s
// TEA. Sizes are whole blocks.
#include <crypto++/tea.h>

#include "bench_support.h"
#include "codecs/codec_cpu.h"
#include "codecs/tea.h"

namespace {

constexpr uint32_t kKey[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

void TeaOurs(benchmark::State& state, CodecCpuLevel level, bool reversed) {
  BenchBytes data = RandomBytes(static_cast<size_t>(state.range(0)));
  CodecForceCpuLevel(level);
  ClearUpperVectorState();
  const int64_t blocks = static_cast<int64_t>(data.size() / 8);
  for (auto _ : state) {
    if (reversed) {
      TeaBlocksWordsReversed(data.data(), blocks, kKey);
    } else {
      TeaBlocks(data.data(), blocks, kKey);
    }
    benchmark::ClobberMemory();
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
  SetThroughput(state, data.size());
}
void TeaOursBest(benchmark::State& state) { TeaOurs(state, kCodecCpuAvx512, false); }
void TeaOursAvx2(benchmark::State& state) { TeaOurs(state, kCodecCpuAvx2, false); }
void TeaOursSse(benchmark::State& state) { TeaOurs(state, kCodecCpuSse, false); }
void TeaOursScalar(benchmark::State& state) { TeaOurs(state, kCodecCpuPortable, false); }
void TeaOursEnvelopeOrder(benchmark::State& state) { TeaOurs(state, kCodecCpuAvx512, true); }

void TeaCryptopp(benchmark::State& state) {
  BenchBytes data = RandomBytes(static_cast<size_t>(state.range(0)));
  unsigned char key[16];
  for (int index = 0; index < 16; ++index) key[index] = static_cast<unsigned char>(kKey[index / 4] >> (8 * (index % 4)));
  CryptoPP::TEA::Encryption cipher(key, 16);
  ClearUpperVectorState();
  for (auto _ : state) {
    cipher.AdvancedProcessBlocks(data.data(), nullptr, data.data(), data.size(), 0);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, data.size());
}

}  // namespace

BENCHMARK(TeaOursBest)->Name("tea:ours")->Apply(ApplySizes);
BENCHMARK(TeaOursAvx2)->Name("tea:ours-avx2")->Apply(ApplySizes);
BENCHMARK(TeaOursSse)->Name("tea:ours-sse")->Apply(ApplySizes);
BENCHMARK(TeaOursScalar)->Name("tea:ours-scalar")->Apply(ApplySizes);
BENCHMARK(TeaOursEnvelopeOrder)->Name("tea:ours-envelope-order")->Apply(ApplySizes);
BENCHMARK(TeaCryptopp)->Name("tea:cryptopp")->Apply(ApplySizes);
