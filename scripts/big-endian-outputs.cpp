// Prints, as hex, what the byte-order-sensitive codecs make of fixed inputs:
// CRC values, sealed envelopes (raw and Base64) and what opening them gives
// back, LZW streams in every shape and their expansion. scripts/big-endian.sh
// runs it natively and under qemu on a big-endian machine and compares the
// two outputs byte for byte; they must be identical.
//
// TEA on its own is left out on purpose: it reads its words in the host's
// order by design (tea.h), and only the envelope fixes the order.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/base64.h"
#include "codecs/crc.h"
#include "codecs/envelope.h"
#include "codecs/lzw.h"
#include "base/plugin_heap.h"

namespace {

using Bytes = std::vector<unsigned char>;

void PrintHex(const char* label, const unsigned char* data, int64_t length) {
  std::printf("%s %lld ", label, static_cast<long long>(length));
  for (int64_t index = 0; index < length; ++index) std::printf("%02x", data[index]);
  std::printf("\n");
}

unsigned char* HeapCopy(const Bytes& bytes) {
  if (bytes.empty()) return nullptr;
  auto* block = static_cast<unsigned char*>(PluginMalloc(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

// Fixed pseudo-random bytes (a 32-bit LCG), the same on every machine.
Bytes Pattern(size_t count, uint32_t seed) {
  Bytes bytes(count);
  for (auto& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<unsigned char>(seed >> 24);
  }
  return bytes;
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

}  // namespace

int main() {
  // The machine's byte order (base/byte_order.h) is not printed: it is the
  // one thing allowed to differ.

  const std::vector<Bytes> inputs = {Bytes{}, Text("123456789"), Text("a"), Pattern(7, 1),
                                     Pattern(64, 2), Pattern(1000, 3), Text("ends with /*pd12")};
  for (size_t index = 0; index < inputs.size(); ++index) {
    const Bytes& input = inputs[index];
    for (unsigned model = 0; model < 3; ++model)
      for (unsigned engine = 0; engine < 2; ++engine)
        std::printf("crc input %zu model %u engine %u %08x\n", index, model, engine,
                    ComputeCrc(input.data(), int64_t(input.size()), model, engine));
  }

  const std::vector<Bytes> keys = {Bytes{}, Text("k"), Text("0123456789abcdef"), Text("a much longer key than sixteen")};
  for (size_t index = 0; index < inputs.size(); ++index)
    for (size_t keyIndex = 0; keyIndex < keys.size(); ++keyIndex)
      for (bool base64 : {false, true}) {
        const Bytes& key = keys[keyIndex];
        unsigned char* block = HeapCopy(inputs[index]);
        int64_t length = int64_t(inputs[index].size());
        CryptEnvelope(&block, &length, key.data(), int32_t(key.size()), true, base64);
        char label[96];
        std::snprintf(label, sizeof label, "envelope input %zu key %zu base64 %d sealed", index, keyIndex, base64);
        PrintHex(label, block, length);
        CryptEnvelope(&block, &length, key.data(), int32_t(key.size()), false, base64);
        std::snprintf(label, sizeof label, "envelope input %zu key %zu base64 %d opened", index, keyIndex, base64);
        PrintHex(label, block, length);
        PluginFree(block);
      }

  struct Shape { uint16_t mode, clear, end, pixels, bytesPerPixel; int32_t rootBits, maxBits; };
  const Shape shapes[] = {{1, 3, 3, 0, 0, -1, 12}, {1, 0, 0, 0, 0, 8, 12}, {1, 1, 1, 0, 0, 8, 9},
                          {1, 3, 3, 0, 0, 4, 6},   {1, 2, 3, 0, 0, 3, 14}, {2, 3, 3, 8, 1, 8, 12},
                          {2, 3, 3, 5, 3, 8, 12}};
  for (size_t index = 0; index < inputs.size(); ++index)
    for (size_t shapeIndex = 0; shapeIndex < sizeof shapes / sizeof shapes[0]; ++shapeIndex) {
      const Shape& s = shapes[shapeIndex];
      LzwCodecRequest request{s.mode, s.clear, s.end, s.pixels, s.bytesPerPixel, s.rootBits, s.maxBits};
      Bytes input = inputs[index];
      if (s.rootBits > 0 && s.rootBits < 8)
        for (auto& byte : input) byte &= static_cast<unsigned char>((1u << s.rootBits) - 1);
      unsigned char* packed = nullptr;
      int64_t packedLength = 0;
      const bool compressed = RunLzwCodec(request, input.data(), int64_t(input.size()), &packed, &packedLength);
      char label[96];
      std::snprintf(label, sizeof label, "lzw input %zu shape %zu ok %d stream", index, shapeIndex, compressed);
      PrintHex(label, packed, packedLength);
      request.mode = 0;
      unsigned char* unpacked = nullptr;
      int64_t unpackedLength = 0;
      const bool expanded = RunLzwCodec(request, packed, packedLength, &unpacked, &unpackedLength);
      std::snprintf(label, sizeof label, "lzw input %zu shape %zu ok %d expanded", index, shapeIndex, expanded);
      PrintHex(label, unpacked, unpackedLength);
      PluginFree(packed);
      PluginFree(unpacked);
    }

  for (size_t index = 0; index < inputs.size(); ++index) {
    unsigned char* block = HeapCopy(inputs[index]);
    int64_t length = int64_t(inputs[index].size());
    EncodeBase64InPlace(&block, &length);
    PrintHex("base64", block, length);
    PluginFree(block);
  }
  return 0;
}
