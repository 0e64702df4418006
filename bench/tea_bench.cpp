// TEA throughput: our block routine at each CPU level (lanes where the
// level has them) and the envelope's sealing pass, beside Crypto++'s
// TEA. Sizes are whole blocks.
#include <crypto++/tea.h>

#include "bench_support.h"
#include "codecs/codec_cpu.h"
#include "codecs/tea.h"

namespace {

constexpr uint32_t kKey[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

// At the level in force (RegisterPerLevel's, or the run's top level).
void TeaOurs(benchmark::State& state, bool reversed) {
  BenchBytes data = RandomBytes(static_cast<size_t>(state.range(0)));
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
  SetThroughput(state, data.size());
}
void TeaOursBlocks(benchmark::State& state) { TeaOurs(state, false); }
void TeaOursEnvelopeOrder(benchmark::State& state) { TeaOurs(state, true); }

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

// "tea:ours@portable" ... "@avx512"; report.py maps the old names (tea:ours,
// tea:ours-avx2, tea:ours-scalar) onto these.
const bool kPerLevelRegistered = [] {
  RegisterPerLevel("tea:ours", TeaOursBlocks);
  return true;
}();
BENCHMARK(TeaOursEnvelopeOrder)->Name("tea:ours-envelope-order")->Apply(ApplySizes);
BENCHMARK(TeaCryptopp)->Name("tea:cryptopp")->Apply(ApplySizes);
