// Base64 throughput on clean input (and our decoder on lines of 76
// characters), beside OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock and
// modp_b64. Sizes count the binary side for encoding and the text side for
// decoding.
#include <modp_b64.h>
#include <openssl/evp.h>

#include "bench_support.h"
#include "codecs/base64.h"
#include "codecs/codec_cpu.h"

namespace {

void EncodeOurs(benchmark::State& state, CodecCpuLevel level) {
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  BenchBytes out(static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(data.size()))));
  CodecForceCpuLevel(level);
  ClearUpperVectorState();
  for (auto _ : state) {
    Base64EncodeInto(data.data(), static_cast<int64_t>(data.size()), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
  SetThroughput(state, data.size());
}
void EncodeOursBest(benchmark::State& state) { EncodeOurs(state, kCodecCpuAvx512); }
void EncodeOursScalar(benchmark::State& state) { EncodeOurs(state, kCodecCpuPortable); }
void EncodeOursSse(benchmark::State& state) { EncodeOurs(state, kCodecCpuSse); }

void DecodeOurs(benchmark::State& state, CodecCpuLevel level, bool lines) {
  const BenchBytes& text = Base64Text(static_cast<size_t>(state.range(0)), lines);
  BenchBytes out(static_cast<size_t>(Base64DecodedCapacity(static_cast<int64_t>(text.size()))));
  CodecForceCpuLevel(level);
  ClearUpperVectorState();
  for (auto _ : state) benchmark::DoNotOptimize(Base64DecodeInto(text.data(), static_cast<int64_t>(text.size()), out.data()));
  CodecForceCpuLevel(kCodecCpuAvx512);
  SetThroughput(state, text.size());
}
void DecodeOursBest(benchmark::State& state) { DecodeOurs(state, kCodecCpuAvx512, false); }
void DecodeOursScalar(benchmark::State& state) { DecodeOurs(state, kCodecCpuPortable, false); }
void DecodeOursLines(benchmark::State& state) { DecodeOurs(state, kCodecCpuAvx512, true); }
void DecodeOursSse(benchmark::State& state) { DecodeOurs(state, kCodecCpuSse, false); }
void DecodeOursScalarLines(benchmark::State& state) { DecodeOurs(state, kCodecCpuPortable, true); }

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

BENCHMARK(EncodeOursBest)->Name("b64encode:ours")->Apply(ApplySizes);
BENCHMARK(EncodeOursScalar)->Name("b64encode:ours-scalar")->Apply(ApplySizes);
BENCHMARK(EncodeOursSse)->Name("b64encode:ours-sse")->Apply(ApplySizes);
BENCHMARK(EncodeOpenssl)->Name("b64encode:openssl")->Apply(ApplySizes);
BENCHMARK(EncodeModp)->Name("b64encode:modp")->Apply(ApplySizes);
BENCHMARK(DecodeOursBest)->Name("b64decode:ours")->Apply(ApplySizes);
BENCHMARK(DecodeOursScalar)->Name("b64decode:ours-scalar")->Apply(ApplySizes);
BENCHMARK(DecodeOursLines)->Name("b64decode:ours-lines76")->Apply(ApplySizes);
BENCHMARK(DecodeOursSse)->Name("b64decode:ours-sse")->Apply(ApplySizes);
BENCHMARK(DecodeOursScalarLines)->Name("b64decode:ours-scalar-lines76")->Apply(ApplySizes);
BENCHMARK(DecodeOpenssl)->Name("b64decode:openssl")->Apply(ApplySizes);
BENCHMARK(DecodeModp)->Name("b64decode:modp")->Apply(ApplySizes);
