// Fuzz target: lenient Base64 decoding against a reference, and round trips.
//
// The whole input is decoded by the plugin (DecodeBase64InPlace) at every
// CPU level this machine has, from the portable table path up to the
// AVX-512 kernels, and by ReferenceDecode (base64_reference.h), written
// from the decoding rules alone; they must agree byte for byte. Then the
// input, as data, is encoded at every level and must equal ReferenceEncode,
// and decoding that must give the input back.
#include "fuzz_target.h"
#include "heap_blocks.h"

#include "base64_reference.h"
#include "codecs/base64.h"
#include "codecs/codec_cpu.h"
#include "base/plugin_heap.h"

namespace base64_fuzz {

using base64_reference::ReferenceDecode;
using base64_reference::ReferenceEncode;

using lqm_fuzz::HeapCopy;
using lqm_fuzz::TakeBlock;

int FuzzBase64(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  const std::vector<uint8_t> expectedDecoding = ReferenceDecode(input);
  const std::vector<uint8_t> expectedEncoding = ReferenceEncode(input);
  for (int level = kCodecCpuPortable; level <= CodecCpuLevelDetected(); ++level) {
    CodecForceCpuLevel(CodecCpuLevel(level));
    unsigned char* block = HeapCopy(input);
    int64_t length = int64_t(input.size());
    LQM_FUZZ_CHECK(DecodeBase64InPlace(&block, &length));
    LQM_FUZZ_CHECK(TakeBlock(block, length) == expectedDecoding);

    block = HeapCopy(input);
    length = int64_t(input.size());
    LQM_FUZZ_CHECK(EncodeBase64InPlace(&block, &length));
    const std::vector<uint8_t> encoded = TakeBlock(block, length);
    LQM_FUZZ_CHECK(encoded == expectedEncoding);

    block = HeapCopy(encoded);
    length = int64_t(encoded.size());
    LQM_FUZZ_CHECK(DecodeBase64InPlace(&block, &length));
    LQM_FUZZ_CHECK(TakeBlock(block, length) == input);
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
  LQM_FUZZ_CHECK(int64_t(expectedDecoding.size()) <= 3 * (int64_t(size) / 4 + 1));
  LQM_FUZZ_CHECK(int64_t(expectedEncoding.size()) == Base64EncodedLength(int64_t(size)));
  return 0;
}

}  // namespace base64_fuzz

LQM_FUZZ_ENTRY(base64_fuzz::FuzzBase64)
