// Base64 in place (see base64.h): the portable codec, which alone holds the
// lenient decoding rules; the alphabet and the decoding table are in
// base64_tables.h.
//
// Each routine builds its result in a work block of the worst-case size, then
// hands that block to the caller (shrunk to fit) and frees the caller's old
// one. Handing over instead of copying back means the only allocation that
// can fail is the work block, before anything has changed.
//
// Decoding follows a small state machine kept compatible with the stored
// texts it must read: four 6-bit slots, a count of filled slots and a padding
// flag. "=" switches the flag on for good; while it is on, every further
// alphabet character or "=" closes a group of the current count at once, so
// nothing after the first "=" can add output. A group of c slots closed gives
// c - 1 bytes (so 0 and 1 slots give none).
//
// Vector kernels (base64_simd.h) take the clean stretches: encoding all
// whole groups but the last few, decoding runs of 32 alphabet characters
// while the machine is between groups (no slot filled, no "="). Decoding a
// clean run from that state gives exactly what the state machine gives, so
// the scalar loop hands over whenever it is back in that state after
// something the kernel does not take (a skipped byte, say a line break).
#include "codecs/base64.h"

#include <cstddef>

#include "codecs/base64_simd.h"
#include "codecs/base64_tables.h"
#include "codecs/codec_cpu.h"
#include "base/plugin_heap.h"

using lqm::base64::kBase64Alphabet;
using lqm::base64::kDecodeTable;
using lqm::base64::kPad;
using lqm::base64::kSkip;

namespace {

// Gives the caller the work block as the result: shrunk to `used` bytes, or
// freed when empty. The caller's old block is released.
void HandOver(unsigned char** buffer, int64_t* length, unsigned char* work, int64_t used) {
  PluginFree(*buffer);
  if (used == 0) {
    PluginFree(work);
    *buffer = nullptr;
    *length = 0;
    return;
  }
  // A failed shrink keeps the larger block, which is still correct.
  void* shrunk = PluginRealloc(work, static_cast<size_t>(used));
  *buffer = static_cast<unsigned char*>(shrunk != nullptr ? shrunk : work);
  *length = used;
}

}  // namespace

void Base64EncodeInto(const unsigned char* input, int64_t n, unsigned char* output) {
  const unsigned char* in = input;
  unsigned char* out = output;
  int64_t position = 0;
  const CodecCpuLevel level = CodecCpuLevelInUse();
  if (level >= kCodecCpuAvx512) {
    position = Base64EncodeVbmi(in, n, out);
    out += position / 3 * 4;
  }
  if (level >= kCodecCpuAvx2) {
    const int64_t encoded = Base64EncodeAvx2(in + position, n - position, out);
    position += encoded;
    out += encoded / 3 * 4;
  }
  for (; position + 3 <= n; position += 3) {
    const unsigned b0 = in[position], b1 = in[position + 1], b2 = in[position + 2];
    *out++ = kBase64Alphabet[b0 >> 2];
    *out++ = kBase64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *out++ = kBase64Alphabet[((b1 & 15) << 2) | (b2 >> 6)];
    *out++ = kBase64Alphabet[b2 & 63];
  }
  const int64_t rest = n - position;
  if (rest > 0) {
    const unsigned b0 = in[position];
    const unsigned b1 = rest > 1 ? in[position + 1] : 0;
    *out++ = kBase64Alphabet[b0 >> 2];
    *out++ = kBase64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *out++ = rest > 1 ? kBase64Alphabet[(b1 & 15) << 2] : '=';
    *out++ = '=';
  }
}

bool EncodeBase64InPlace(unsigned char** buffer, int64_t* length) {
  const int64_t n = *length > 0 && *buffer != nullptr ? *length : 0;
  const int64_t outputLength = Base64EncodedLength(n);
  unsigned char* work = static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(outputLength)));
  if (work == nullptr) return false;
  Base64EncodeInto(*buffer, n, work);
  HandOver(buffer, length, work, outputLength);
  return true;
}

int64_t Base64DecodeInto(const unsigned char* input, int64_t n, unsigned char* output) {
  const unsigned char* in = input;
  unsigned char* work = output;
  const CodecCpuLevel level = CodecCpuLevelInUse();
  const bool vector = level >= kCodecCpuAvx2;
  unsigned slots[4] = {0, 0, 0, 0};
  int filled = 0;
  bool padding = false;
  int64_t used = 0;
  int64_t position = 0;
  while (position < n) {
    if (vector) {
      int64_t written = 0;
      // Whole clean blocks of 64 first; the AVX2 kernel takes the block that
      // stopped them, line breaks included.
      if (level >= kCodecCpuAvx512) {
        position += Base64DecodeCleanVbmi(in + position, n - position, work + used, &written);
        used += written;
      }
      position += Base64DecodeCleanAvx2(in + position, n - position, work + used, &written);
      used += written;
    }
    // The scalar rules, at least up to the byte that stopped the kernel and
    // then on to the next point where no group is open.
    bool sawOther = false;
    while (position < n) {
      const unsigned char value = kDecodeTable[in[position++]];
      if (value == kSkip) {
        sawOther = true;
      } else {
        if (value == kPad) {
          padding = true;
          sawOther = true;
        } else {
          slots[filled] = value;
          if (!padding) ++filled;
        }
        if (filled == 4 || padding) {
          const unsigned char decoded[3] = {
              static_cast<unsigned char>((slots[0] << 2) | (slots[1] >> 4)),
              static_cast<unsigned char>((slots[1] << 4) | (slots[2] >> 2)),
              static_cast<unsigned char>((slots[2] << 6) | slots[3])};
          for (int index = 0; index < filled - 1; ++index) work[used++] = decoded[index];
          filled = 0;
        }
      }
      if (vector && sawOther && filled == 0 && !padding) break;
    }
  }
  return used;
}

bool DecodeBase64InPlace(unsigned char** buffer, int64_t* length) {
  const int64_t n = *length > 0 && *buffer != nullptr ? *length : 0;
  const int64_t capacity = Base64DecodedCapacity(n);
  unsigned char* work = static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(capacity)));
  if (work == nullptr) return false;
  const int64_t used = Base64DecodeInto(*buffer, n, work);
  HandOver(buffer, length, work, used);
  return true;
}
