// TEA rounds (see tea.h). All arithmetic is unsigned 32-bit with wrap-around;
// the words are moved with memcpy because blocks need not be aligned.
//
// Runs of blocks go to the vector kernels of tea_lanes.h where the CPU has
// them. The blocks left over (fewer than a kernel's step) go through the
// kernel once more in a padded copy when there are several of them: one
// vector step costs about as much as two scalar blocks, and the envelope of
// a short text is nothing but left-over blocks. Blocks are independent, so
// the padding changes no block. The scalar rounds below are the reference
// the kernels are tested against.
#include "codecs/tea.h"

#include <cstring>

#include "base/byte_order.h"
#include "codecs/codec_cpu.h"
#include "codecs/tea_lanes.h"

namespace {

// Blocks in the padded copy: a whole step of the widest kernel (16 lanes).
constexpr int64_t kPaddedBlocks = 16;
// From this many left-over blocks on, the padded vector step is cheaper.
constexpr int64_t kPaddedFrom = 3;

constexpr uint32_t kTeaDelta = 0x9E3779B9u;
constexpr int kTeaCycles = 32;
// kTeaDelta * kTeaCycles cut to 32 bits: the sum after enciphering.
constexpr uint32_t kTeaDecipherSum = static_cast<uint32_t>(kTeaDelta * 32ull);
static_assert(kTeaDecipherSum == 0xC6EF3720u, "deciphering starts from 32 x delta");

}  // namespace

void TeaEncipherBlock(const unsigned char* input, unsigned char* output, const uint32_t key[4]) {
  uint32_t y, z;
  std::memcpy(&y, input, 4);
  std::memcpy(&z, input + 4, 4);
  uint32_t sum = 0;
  for (int cycle = 0; cycle < kTeaCycles; ++cycle) {
    sum += kTeaDelta;
    y += (((z << 4) + key[0]) ^ (z + sum)) ^ ((z >> 5) + key[1]);
    z += (((y << 4) + key[2]) ^ (y + sum)) ^ ((y >> 5) + key[3]);
  }
  std::memcpy(output, &y, 4);
  std::memcpy(output + 4, &z, 4);
}

void TeaDecipherBlock(const unsigned char* input, unsigned char* output, const uint32_t key[4]) {
  uint32_t y, z;
  std::memcpy(&y, input, 4);
  std::memcpy(&z, input + 4, 4);
  uint32_t sum = kTeaDecipherSum;
  for (int cycle = 0; cycle < kTeaCycles; ++cycle) {
    z -= (((y << 4) + key[2]) ^ (y + sum)) ^ ((y >> 5) + key[3]);
    y -= (((z << 4) + key[0]) ^ (z + sum)) ^ ((z >> 5) + key[1]);
    sum -= kTeaDelta;
  }
  std::memcpy(output, &y, 4);
  std::memcpy(output + 4, &z, 4);
}

bool TeaBlocks(unsigned char* data, int64_t count, const uint32_t key[4]) {
  if (count == 0) return false;
  const int64_t done = TeaLanes(data, count, key, false);
  data += 8 * done;
  count = count > 0 ? count - done : count + done;
  const int64_t rest = count > 0 ? count : -count;
  if (rest >= kPaddedFrom && rest < kPaddedBlocks && CodecCpuLevelInUse() >= kCodecCpuSse) {
    unsigned char padded[8 * kPaddedBlocks] = {};
    std::memcpy(padded, data, static_cast<size_t>(8 * rest));
    if (TeaLanes(padded, count > 0 ? kPaddedBlocks : -kPaddedBlocks, key, false) == kPaddedBlocks) {
      std::memcpy(data, padded, static_cast<size_t>(8 * rest));
      return true;
    }
  }
  if (count > 0) {
    for (int64_t block = 0; block < count; ++block) {
      TeaEncipherBlock(data + 8 * block, data + 8 * block, key);
    }
  } else {
    for (int64_t block = 0; block < -count; ++block) {
      TeaDecipherBlock(data + 8 * block, data + 8 * block, key);
    }
  }
  return true;
}

bool TeaBlocksWordsReversed(unsigned char* data, int64_t count, const uint32_t key[4]) {
  if (count == 0) return false;
  const int64_t done = TeaLanes(data, count, key, true);
  const int64_t rest = (count > 0 ? count : -count) - done;
  if (rest > 0) {
    unsigned char* tail = data + 8 * done;
    ReverseByteUnits(tail, 8 * rest, 4);
    TeaBlocks(tail, count > 0 ? rest : -rest, key);
    ReverseByteUnits(tail, 8 * rest, 4);
  }
  return true;
}
