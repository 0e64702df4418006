// Fuzz target: LZW expansion of hostile streams under every option.
//
// Input: byte 0 the clear-code option (command 45's encoding: bit 0 on,
// higher bits "written"), byte 1 the end-code option in the same encoding,
// byte 2 the root bits and byte 3 the largest code width (both signed, so
// -1, 0 and values past the range reach the clamping), then the stream.
// Expansion must not crash and must stay within what the stream can
// describe: every code (at least rootBits + 1 >= 4 bits) gives at most one
// dictionary string, and no string is longer than the dictionary (2^14
// entries at most), so output <= (input bits / 4 + 1) * 2^14.
#include "fuzz_target.h"

#include "codecs/lzw.h"
#include "base/plugin_heap.h"

namespace lzw_expand_fuzz {

int FuzzLzwExpand(const uint8_t* data, size_t size) {
  lqm_fuzz::FuzzInput in(data, size);
  LzwCodecRequest request{};
  request.mode = 0;
  request.clearCodes = in.Byte();
  request.endCode = in.Byte();
  request.rootBits = int8_t(in.Byte());
  request.maxBits = int8_t(in.Byte());
  std::vector<uint8_t> stream = in.Rest();

  unsigned char* output = nullptr;
  int64_t outputLength = -1;
  const int64_t length = int64_t(stream.size());
  const bool ok = RunLzwCodec(request, stream.data(), length, &output, &outputLength);
  if (ok) {
    LQM_FUZZ_CHECK(outputLength >= 0);
    LQM_FUZZ_CHECK((output == nullptr) == (outputLength == 0));
    LQM_FUZZ_CHECK(outputLength <= (length * 8 / 4 + 1) * 16384);
  } else {
    LQM_FUZZ_CHECK(output == nullptr && outputLength == 0);
  }
  PluginFree(output);
  return 0;
}

}  // namespace lzw_expand_fuzz

LQM_FUZZ_ENTRY(lzw_expand_fuzz::FuzzLzwExpand)
