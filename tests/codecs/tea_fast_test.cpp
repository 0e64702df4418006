// The TEA lane kernels against the one-block routines: every block count
// from 0 to 100 (so every remainder after the 16- and 32-block steps), each
// buffer alignment 0..7, both directions, host and reversed word order, on
// each CPU level this machine has.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/byte_order.h"
#include "codecs/codec_cpu.h"
#include "codecs/tea.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t kKey[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

// The definition: one block at a time with the scalar routines.
Bytes BlockByBlock(Bytes data, int64_t count, bool reverseWords) {
  const int64_t blocks = count > 0 ? count : -count;
  if (reverseWords) ReverseByteUnits(data.data(), 8 * blocks, 4);
  for (int64_t block = 0; block < blocks; ++block) {
    unsigned char* bytes = data.data() + 8 * block;
    (count > 0 ? TeaEncipherBlock : TeaDecipherBlock)(bytes, bytes, kKey);
  }
  if (reverseWords) ReverseByteUnits(data.data(), 8 * blocks, 4);
  return data;
}

TEST(TeaFast, EveryCountAlignmentDirectionAndLevel) {
  std::mt19937 random(19);
  // Up to 130 blocks: every mix of the widest steps (64 and 24 blocks), the
  // 16-block steps, a padded copy and single blocks.
  Bytes source(8 * 130 + 5);  // 5 trailing bytes that must never change
  for (auto& byte : source) byte = static_cast<unsigned char>(random());
  for (int level = kCodecCpuPortable; level <= CodecCpuLevelDetected(); ++level) {
    ASSERT_EQ(CodecForceCpuLevel(static_cast<CodecCpuLevel>(level)), level);
    for (int64_t blocks = 0; blocks <= 130; ++blocks) {
      for (int64_t count : {blocks, -blocks}) {
        for (bool reverseWords : {false, true}) {
          Bytes input(source.begin(), source.begin() + 8 * blocks + 5);
          const Bytes expected = BlockByBlock(input, count, reverseWords);
          for (int offset = 0; offset < 8; ++offset) {
            Bytes shifted(input.size() + 8);
            std::copy(input.begin(), input.end(), shifted.begin() + offset);
            const bool answer = reverseWords ? TeaBlocksWordsReversed(shifted.data() + offset, count, kKey)
                                             : TeaBlocks(shifted.data() + offset, count, kKey);
            EXPECT_EQ(answer, count != 0);
            ASSERT_EQ(Bytes(shifted.begin() + offset, shifted.begin() + offset + static_cast<std::ptrdiff_t>(input.size())),
                      expected)
                << "level " << level << " count " << count << " reversed " << reverseWords << " offset " << offset;
          }
        }
      }
    }
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
}

}  // namespace
