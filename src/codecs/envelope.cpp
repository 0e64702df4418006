// Sealing and opening the encrypted envelope (see envelope.h).
//
// The cipher words are big-endian in the stored form so that an envelope
// sealed on a host of either byte order opens on the other: the buffer is
// turned to host words before TEA and back afterwards (UnitsToBigEndian is
// its own inverse); on a little-endian host TeaBlocksWordsReversed does the
// turning inside its single pass. The key words are read big-endian directly.
//
// Memory: sealing may need to grow the block for the trailer and to encode
// Base64; opening may need to decode Base64. If any of these cannot get its
// memory the envelope empties the block and reports false, rather than go on
// with the unconverted bytes (which would hand out a plaintext as if sealed,
// or decipher Base64 characters as if they were ciphertext).
#include "codecs/envelope.h"

#include <cstddef>
#include <cstring>

#include "codecs/base64.h"
#include "base/byte_order.h"
#include "codecs/tea.h"
#include "base/plugin_heap.h"

namespace {

constexpr unsigned char kEnvelopeMarker[4] = {0x2F, 0x2A, 0x70, 0x64};  // "/*pd"
constexpr int kKeyBlockSize = 16;
// The marker is looked for only this far from the end: the trailer is at
// most 11 bytes, so a marker further back belongs to the plaintext.
constexpr int64_t kMarkerWindow = 16;

void BuildKeyWords(const unsigned char* key, int32_t keyLength, uint32_t words[4]) {
  unsigned char block[kKeyBlockSize];
  const int32_t used = keyLength < 0 || key == nullptr ? 0 : (keyLength < kKeyBlockSize ? keyLength : kKeyBlockSize);
  for (int index = 0; index < kKeyBlockSize; ++index) {
    block[index] = index < used ? key[index] : static_cast<unsigned char>(index);
  }
  for (int word = 0; word < 4; ++word) {
    const unsigned char* bytes = block + 4 * word;
    words[word] = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
                  uint32_t{bytes[3]};
  }
}

void MakeEmpty(unsigned char** buffer, int64_t* length) {
  PluginFree(*buffer);
  *buffer = nullptr;
  *length = 0;
}

void CipherWholeBlocks(unsigned char* data, int64_t length, const uint32_t key[4], bool encipher) {
  const int64_t blocks = length / 8;
  if (!kHostBigEndian && length % 8 == 0) {
    TeaBlocksWordsReversed(data, encipher ? blocks : -blocks, key);
    return;
  }
  UnitsToBigEndian(data, length, 4);
  TeaBlocks(data, encipher ? blocks : -blocks, key);
  UnitsToBigEndian(data, length, 4);
}

bool Seal(unsigned char** buffer, int64_t* length, const uint32_t key[4], bool useBase64) {
  int64_t sealedLength = *length;
  const int pad = EnvelopePadLength(sealedLength);
  if (pad > 0) {
    unsigned char* grown =
        static_cast<unsigned char*>(PluginRealloc(*buffer, static_cast<size_t>(sealedLength + pad)));
    if (grown == nullptr) return false;
    *buffer = grown;
    std::memcpy(grown + sealedLength, kEnvelopeMarker, 4);
    for (int index = 4; index < pad; ++index) {
      grown[sealedLength + index] = static_cast<unsigned char>(0x2D + index);  // "1", "2", ...
    }
    sealedLength += pad;
    *length = sealedLength;
  }
  if (sealedLength > 0) CipherWholeBlocks(*buffer, sealedLength, key, true);
  return !useBase64 || EncodeBase64InPlace(buffer, length);
}

bool Open(unsigned char** buffer, int64_t* length, const uint32_t key[4], bool useBase64) {
  if (useBase64 && !DecodeBase64InPlace(buffer, length)) return false;
  const int64_t sealedLength = *length;
  if (sealedLength < 8 || sealedLength % 8 != 0) return true;
  unsigned char* data = *buffer;
  CipherWholeBlocks(data, sealedLength, key, false);

  const int64_t windowStart = sealedLength > kMarkerWindow ? sealedLength - kMarkerWindow : 0;
  for (int64_t position = windowStart; position + 4 <= sealedLength; ++position) {
    if (std::memcmp(data + position, kEnvelopeMarker, 4) != 0) continue;
    if (position == 0) {
      MakeEmpty(buffer, length);
    } else {
      // A failed shrink keeps the larger block; the length is what counts.
      void* shrunk = PluginRealloc(data, static_cast<size_t>(position));
      if (shrunk != nullptr) *buffer = static_cast<unsigned char*>(shrunk);
      *length = position;
    }
    break;
  }
  return true;
}

}  // namespace

int EnvelopePadLength(int64_t n) {
  const int remainder = static_cast<int>(n % 8);
  if (remainder == 0) return 0;
  return 8 - remainder >= 4 ? 8 - remainder : 16 - remainder;
}

bool CryptEnvelope(unsigned char** buffer, int64_t* length, const unsigned char* key,
                   int32_t keyLength, bool seal, bool useBase64) {
  if (*buffer == nullptr || *length < 0) *length = 0;
  uint32_t keyWords[4];
  BuildKeyWords(key, keyLength, keyWords);
  const bool done = seal ? Seal(buffer, length, keyWords, useBase64) : Open(buffer, length, keyWords, useBase64);
  if (!done) MakeEmpty(buffer, length);
  return done;
}
