// Base64 throughput on clean input (and our decoder on lines of 76
// characters), ours at each CPU level, beside OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock and
// modp_b64. Sizes count the binary side for encoding and the text side for
// decoding.
#include <modp_b64.h>
#include <openssl/evp.h>

#include "bench_support.h"
#include "codecs/base64.h"
#include "codecs/codec_cpu.h"

namespace {

// Ours at the level RegisterPerLevel forced.
void EncodeOurs(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  BenchBytes out(static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(data.size()))));
  ClearUpperVectorState();
  for (auto _ : state) {
    Base64EncodeInto(data.data(), static_cast<int64_t>(data.size()), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  SetThroughput(state, data.size());
}

void DecodeOurs(benchmark::State& state, bool lines) {
  const BenchBytes& text = Base64Text(static_cast<size_t>(state.range(0)), lines);
  BenchBytes out(static_cast<size_t>(Base64DecodedCapacity(static_cast<int64_t>(text.size()))));
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(Base64DecodeInto(text.data(), static_cast<int64_t>(text.size()), out.data()));
  SetThroughput(state, text.size());
}
void DecodeOursClean(benchmark::State& state) { DecodeOurs(state, false); }
void DecodeOursLines(benchmark::State& state) { DecodeOurs(state, true); }

void EncodeOpenssl(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  BenchBytes out(static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(data.size()))) + 1);
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), data.data(), static_cast<int>(data.size())));
  SetThroughput(state, data.size());
}

void DecodeOpenssl(benchmark::State& state) {
  const BenchBytes& text = Base64Text(static_cast<size_t>(state.range(0)), false);
  BenchBytes out(text.size());
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), text.data(), static_cast<int>(text.size())));
  SetThroughput(state, text.size());
}

void EncodeModp(benchmark::State& state) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  std::vector<char> out(modp_b64_encode_len(data.size()));
  ClearUpperVectorState();
  for (auto _ : state) {
    benchmark::DoNotOptimize(modp_b64_encode(out.data(), reinterpret_cast<const char*>(data.data()), data.size()));
  }
  SetThroughput(state, data.size());
}

void DecodeModp(benchmark::State& state) {
  const BenchBytes& text = Base64Text(static_cast<size_t>(state.range(0)), false);
  std::vector<char> out(modp_b64_decode_len(text.size()));
  ClearUpperVectorState();
  for (auto _ : state) {
    benchmark::DoNotOptimize(modp_b64_decode(out.data(), reinterpret_cast<const char*>(text.data()), text.size()));
  }
  SetThroughput(state, text.size());
}

}  // namespace

// "b64encode:ours@portable" ... "@avx512"; report.py maps the old names
// (b64encode:ours, b64encode:ours-scalar, ...) onto these.
const bool kPerLevelRegistered = [] {
  RegisterPerLevel("b64encode:ours", EncodeOurs);
  RegisterPerLevel("b64decode:ours", DecodeOursClean);
  RegisterPerLevel("b64decode:ours-lines76", DecodeOursLines);
  return true;
}();
BENCHMARK(EncodeOpenssl)->Name("b64encode:openssl")->Apply(ApplySizes);
BENCHMARK(EncodeModp)->Name("b64encode:modp")->Apply(ApplySizes);
BENCHMARK(DecodeOpenssl)->Name("b64decode:openssl")->Apply(ApplySizes);
BENCHMARK(DecodeModp)->Name("b64decode:modp")->Apply(ApplySizes);
