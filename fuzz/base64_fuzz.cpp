// Fuzz target: lenient Base64 decoding against a reference, and round trips.
//
// The whole input is decoded by the plugin (DecodeBase64InPlace, which takes
// the vector kernels where the CPU has them) and by ReferenceDecode below,
// written from the decoding rules alone: bytes outside the alphabet are
// skipped; the first "=" ends the data, and a group of c characters it
// closes gives c - 1 bytes; a group left open at the end gives nothing. The
// two must agree byte for byte. Then the input, as data, is encoded and
// decoded again and must come back unchanged, and the encoding must be the
// canonical one (4 characters per started group of 3, alphabet and "=").
#include "fuzz_target.h"
#include "heap_blocks.h"

#include "codecs/base64.h"
#include "base/plugin_heap.h"

namespace base64_fuzz {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t>& text) {
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int count = 0;
  bool padded = false;
  for (uint8_t byte : text) {
    if (byte == '=') {
      padded = true;
      break;
    }
    const char* found = byte != 0 ? std::strchr(kAlphabet, byte) : nullptr;
    if (found == nullptr) continue;
    bits = (bits << 6) | uint32_t(found - kAlphabet);
    if (++count == 4) {
      out.push_back(uint8_t(bits >> 16));
      out.push_back(uint8_t(bits >> 8));
      out.push_back(uint8_t(bits));
      bits = 0;
      count = 0;
    }
  }
  if (padded && count >= 2) {
    bits <<= 6 * (4 - count);
    for (int index = 0; index < count - 1; ++index) out.push_back(uint8_t(bits >> (16 - 8 * index)));
  }
  return out;
}

using lqm_fuzz::HeapCopy;
using lqm_fuzz::TakeBlock;

int FuzzBase64(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);

  unsigned char* block = HeapCopy(input);
  int64_t length = int64_t(input.size());
  LQM_FUZZ_CHECK(DecodeBase64InPlace(&block, &length));
  const std::vector<uint8_t> decoded = TakeBlock(block, length);
  LQM_FUZZ_CHECK(decoded == ReferenceDecode(input));
  LQM_FUZZ_CHECK(int64_t(decoded.size()) <= 3 * (int64_t(size) / 4 + 1));

  block = HeapCopy(input);
  length = int64_t(input.size());
  LQM_FUZZ_CHECK(EncodeBase64InPlace(&block, &length));
  const std::vector<uint8_t> encoded = TakeBlock(block, length);
  LQM_FUZZ_CHECK(int64_t(encoded.size()) == Base64EncodedLength(int64_t(size)));
  for (uint8_t byte : encoded) LQM_FUZZ_CHECK(byte == '=' || (byte != 0 && std::strchr(kAlphabet, byte)));
  LQM_FUZZ_CHECK(ReferenceDecode(encoded) == input);

  block = HeapCopy(encoded);
  length = int64_t(encoded.size());
  LQM_FUZZ_CHECK(DecodeBase64InPlace(&block, &length));
  LQM_FUZZ_CHECK(TakeBlock(block, length) == input);
  return 0;
}

}  // namespace base64_fuzz

LQM_FUZZ_ENTRY(base64_fuzz::FuzzBase64)
