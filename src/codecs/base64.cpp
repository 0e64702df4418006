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
// Fast paths take the clean stretches: the vector kernels (base64_simd.h)
// when the CPU level allows, and on every level the group tables of
// base64_tables.h, which encode three bytes with two lookups and decode
// alphabet characters with one lookup each and one test per four groups (or
// per line, once lines prove to be of one length). Decoding
// only ever takes whole clean groups (and CR/LF runs between them) while the
// machine is between groups (no slot filled, no "="); from that state they
// give exactly what the state machine gives, so the scalar loop hands back
// whenever it is in that state again after something the fast paths do not
// take (a skipped byte, say a space). After the first "=" nothing can add
// output, so decoding ends there.
#include "codecs/base64.h"

#include <cstddef>
#include <cstring>

#include "codecs/base64_simd.h"
#include "codecs/base64_tables.h"
#include "codecs/codec_cpu.h"
#include "base/plugin_heap.h"

using lqm::base64::IsLineBreak;
using lqm::base64::kBase64Alphabet;
using lqm::base64::kDecodeTable;
using lqm::base64::kEncodePairs;
using lqm::base64::kGroupDecode;
using lqm::base64::kOutsideGroup;
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

// Byte `index` (0..2) of a group from its four 6-bit slots.
unsigned char GroupByte(const unsigned slots[4], int index) {
  const uint32_t value = slots[0] << 18 | slots[1] << 12 | slots[2] << 6 | slots[3];
  return static_cast<unsigned char>(value >> (16 - 8 * index));
}

// One group's value from the tables: its three bytes, or kOutsideGroup bits.
// The four characters are read as one word, the first in the lowest byte
// (compilers make that a single load where it is memory order), which
// spares three of the eight loads a group would otherwise cost.
inline uint32_t LookUpGroup(const unsigned char* in) {
  const uint32_t characters = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
  return kGroupDecode[0][characters & 0xFF] | kGroupDecode[1][(characters >> 8) & 0xFF] |
         kGroupDecode[2][(characters >> 16) & 0xFF] | kGroupDecode[3][characters >> 24];
}

// Writes the bytes of `value` from the lowest up: one store where that is
// memory order, a byte at a time otherwise.
template <typename Word>
inline void StoreLowFirst(unsigned char* out, Word value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(out, &value, sizeof value);
#else
  for (size_t index = 0; index < sizeof value; ++index) out[index] = static_cast<unsigned char>(value >> 8 * index);
#endif
}

// Decodes whole groups of four alphabet characters, one table lookup per
// character and one test per run of groups, up to the first group that holds
// anything else (or fewer than four characters remain). A run of CR and LF
// right after a group is skipped on the way, as the scalar rules would skip
// it, so that lines stay here; once two breaks give a line length (a
// multiple of 4, breaks of one or two characters), each further line whose
// break sits where the last one did is decoded with one test and a loop of
// fixed length. Returns the characters consumed and sets *written to the
// bytes decoded.
//
// Stores run past the decoded bytes (one zero after each group, two after
// each pair), to be overwritten by what follows. They stay within the
// caller's capacity: the text before has given at most 3 bytes per 4
// characters, and at least 4 characters remain after the last group stored
// (20 after the first of four).
[[gnu::noinline]] int64_t DecodeCleanGroups(const unsigned char* in, int64_t n, unsigned char* out, int64_t* written) {
  int64_t done = 0;
  int64_t lineStart = -1;  // where the current line began, after a break run
  unsigned char* const start = out;
  for (;;) {
    for (; n - done >= 20; done += 16, out += 12) {
      const uint32_t group0 = LookUpGroup(in + done), group1 = LookUpGroup(in + done + 4);
      const uint32_t group2 = LookUpGroup(in + done + 8), group3 = LookUpGroup(in + done + 12);
      if (((group0 | group1 | group2 | group3) & kOutsideGroup) != 0) break;
      StoreLowFirst(out, uint64_t{group1} << 24 | group0);
      StoreLowFirst(out + 6, uint64_t{group3} << 24 | group2);
    }
    for (; n - done >= 4; done += 4, out += 3) {
      const uint32_t group = LookUpGroup(in + done);
      if ((group & kOutsideGroup) != 0) break;
      StoreLowFirst(out, group);
    }
    const int64_t breakStart = done;
    while (done < n && IsLineBreak(in[done])) ++done;
    if (done == breakStart) break;
    const int64_t lineLength = lineStart >= 0 ? breakStart - lineStart : -1;
    const int64_t breakLength = done - breakStart;
    lineStart = done;
    if (lineLength <= 0 || lineLength % 4 != 0 || breakLength > 2) continue;
    while (n - done >= lineLength + breakLength + 4 && IsLineBreak(in[done + lineLength]) &&
           IsLineBreak(in[done + lineLength + breakLength - 1])) {
      uint32_t line = 0;
      unsigned char* lineOut = out;
      for (int64_t at = done; at < done + lineLength; at += 4, lineOut += 3) {
        const uint32_t group = LookUpGroup(in + at);
        line |= group;
        StoreLowFirst(lineOut, group);
      }
      if ((line & kOutsideGroup) != 0) break;
      out = lineOut;
      done += lineLength + breakLength;
      lineStart = done;
    }
  }
  *written = out - start;
  return done;
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
  if (level >= kCodecCpuSse) {
    const int64_t encoded = level >= kCodecCpuAvx2 ? Base64EncodeAvx2(in + position, n - position, out)
                                                   : Base64EncodeSsse3(in + position, n - position, out);
    position += encoded;
    out += encoded / 3 * 4;
  }
  // Two groups a step, each as two 12-bit halves looked up as pairs.
  for (; position + 6 <= n; position += 6, out += 8) {
    const uint32_t first = uint32_t{in[position]} << 16 | uint32_t{in[position + 1]} << 8 | in[position + 2];
    const uint32_t second = uint32_t{in[position + 3]} << 16 | uint32_t{in[position + 4]} << 8 | in[position + 5];
    std::memcpy(out, kEncodePairs[first >> 12].data(), 2);
    std::memcpy(out + 2, kEncodePairs[first & 4095].data(), 2);
    std::memcpy(out + 4, kEncodePairs[second >> 12].data(), 2);
    std::memcpy(out + 6, kEncodePairs[second & 4095].data(), 2);
  }
  if (position + 3 <= n) {
    const uint32_t group = uint32_t{in[position]} << 16 | uint32_t{in[position + 1]} << 8 | in[position + 2];
    std::memcpy(out, kEncodePairs[group >> 12].data(), 2);
    std::memcpy(out + 2, kEncodePairs[group & 4095].data(), 2);
    position += 3;
    out += 4;
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
  unsigned slots[4] = {0, 0, 0, 0};
  int filled = 0;
  int64_t used = 0;
  int64_t position = 0;
  while (position < n) {
    int64_t written = 0;
    // Whole clean blocks of 64 first; the AVX2 or SSSE3 kernel takes the
    // block that stopped them, line breaks included, and the group tables
    // the groups before the one that stopped those.
    if (level >= kCodecCpuAvx512) {
      position += Base64DecodeCleanVbmi(in + position, n - position, work + used, &written);
      used += written;
    }
    if (level >= kCodecCpuAvx2) {
      position += Base64DecodeCleanAvx2(in + position, n - position, work + used, &written);
      used += written;
    } else if (level >= kCodecCpuSse) {
      position += Base64DecodeCleanSsse3(in + position, n - position, work + used, &written);
      used += written;
    }
    position += DecodeCleanGroups(in + position, n - position, work + used, &written);
    used += written;
    // The scalar rules, at least up to the byte that stopped the fast paths
    // and then on to the next point where no group is open.
    bool sawOther = false;
    while (position < n) {
      const unsigned char value = kDecodeTable[in[position++]];
      if (value == kSkip) {
        sawOther = true;
      } else if (value == kPad) {
        // The group closes here, and every later character could only close
        // an empty one: the text is done.
        for (int index = 0; index < filled - 1; ++index) work[used++] = GroupByte(slots, index);
        return used;
      } else {
        slots[filled++] = value;
        if (filled == 4) {
          for (int index = 0; index < 3; ++index) work[used++] = GroupByte(slots, index);
          filled = 0;
        }
      }
      if (sawOther && filled == 0) break;
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
