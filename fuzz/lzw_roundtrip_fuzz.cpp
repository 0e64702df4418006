// Fuzz target: LZW compression then expansion gives the input back.
//
// Input: byte 0 picks the root bits (3..8) and byte 1 the largest code width
// (rootBits + 1 .. 14); byte 2's bits turn the clear code on, write it at
// the start, turn the end code on and write it at the end. The rest is the
// data, each byte cut to the root width so that compression accepts it.
// Clear codes off is the interesting half: the compressor then freezes a
// full dictionary, and the expander must freeze at the same code.
//
// One difference is the format's, not the codec's: with roots under 8 bits
// and no end code written, zero padding in the last byte can read as one
// more code 0 (see below); the check allows exactly that.
#include "fuzz_target.h"

#include "codecs/lzw.h"
#include "base/plugin_heap.h"

namespace lzw_roundtrip_fuzz {

int FuzzLzwRoundTrip(const uint8_t* data, size_t size) {
  lqm_fuzz::FuzzInput in(data, size);
  LzwSettings settings{};
  settings.rootBits = 3 + in.Byte() % 6;
  const int widths = 14 - settings.rootBits;  // rootBits + 1 .. 14
  settings.maxBits = settings.rootBits + 1 + in.Byte() % widths;
  const uint8_t flags = in.Byte();
  settings.clearOn = flags & 1;
  settings.clearWritten = flags & 2;
  settings.endOn = flags & 4;
  settings.endWritten = flags & 8;
  std::vector<uint8_t> plain = in.Rest();
  const uint8_t highestRoot = uint8_t((1u << settings.rootBits) - 1);
  for (uint8_t& byte : plain) byte &= highestRoot;

  unsigned char* packed = nullptr;
  int64_t packedLength = 0;
  const bool compressed = LzwCompress(plain.data(), int64_t(plain.size()), settings, &packed, &packedLength);
  LQM_FUZZ_CHECK(compressed);
  if (!compressed) return 0;

  unsigned char* unpacked = nullptr;
  int64_t unpackedLength = 0;
  const bool expanded = LzwExpand(packed, packedLength, settings, &unpacked, &unpackedLength);
  LQM_FUZZ_CHECK(expanded);
  const std::vector<uint8_t> result(unpacked, unpacked + (unpacked != nullptr ? unpackedLength : 0));
  if (result != plain) {
    // Without an end code the stream ends at the last byte boundary, and
    // when codes are narrower than 8 bits the zero padding can hold one
    // whole code 0 more: the format itself cannot tell it from data. The
    // expander then gives one 0 byte more, and nothing else may differ.
    const bool endWritten = settings.endOn && settings.endWritten;
    std::vector<uint8_t> padded = plain;
    padded.push_back(0);
    LQM_FUZZ_CHECK(!endWritten && result == padded);
  }
  PluginFree(packed);
  PluginFree(unpacked);
  return 0;
}

}  // namespace lzw_roundtrip_fuzz

LQM_FUZZ_ENTRY(lzw_roundtrip_fuzz::FuzzLzwRoundTrip)
