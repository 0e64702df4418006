// TEA against its published answer and its block properties, and the
// byte-order routines the envelope builds on.
#include <gtest/gtest.h>

#include "codec_test_support.h"
#include "base/byte_order.h"
#include "codecs/tea.h"

using namespace codec_test;

namespace {

uint32_t BigEndianWord(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// A block in host words from big-endian bytes, and back.
void ToHostWords(unsigned char* block) {
  for (int word = 0; word < 2; ++word) {
    const uint32_t value = BigEndianWord(block + 4 * word);
    std::memcpy(block + 4 * word, &value, 4);
  }
}
void FromHostWords(unsigned char* block) {
  for (int word = 0; word < 2; ++word) {
    uint32_t value;
    std::memcpy(&value, block + 4 * word, 4);
    for (int index = 0; index < 4; ++index) block[4 * word + index] = static_cast<unsigned char>(value >> (24 - 8 * index));
  }
}

TEST(Tea, PublishedVectors) {
  const auto rows = ReadVectorFile("tea.txt");
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) {
    const Bytes keyBytes = FromHex(row[0]);
    uint32_t key[4];
    for (int word = 0; word < 4; ++word) key[word] = BigEndianWord(keyBytes.data() + 4 * word);
    Bytes block = FromHex(row[1]);
    ToHostWords(block.data());
    TeaEncipherBlock(block.data(), block.data(), key);
    FromHostWords(block.data());
    EXPECT_EQ(ToHex(block), row[2]);
    ToHostWords(block.data());
    TeaDecipherBlock(block.data(), block.data(), key);
    FromHostWords(block.data());
    EXPECT_EQ(ToHex(block), row[1]);
  }
}

TEST(Tea, BlocksCountRules) {
  const uint32_t key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
  Bytes data = MakeInput(Shape::kNoise, 8 * 5 + 3, 7);
  const Bytes original = data;

  EXPECT_FALSE(TeaBlocks(data.data(), 0, key));
  EXPECT_EQ(data, original);

  EXPECT_TRUE(TeaBlocks(data.data(), 4, key));
  EXPECT_NE(Bytes(data.begin(), data.begin() + 32), Bytes(original.begin(), original.begin() + 32));
  EXPECT_EQ(Bytes(data.begin() + 32, data.end()), Bytes(original.begin() + 32, original.end()))
      << "bytes past the counted blocks are never touched";
  EXPECT_TRUE(TeaBlocks(data.data(), -4, key));
  EXPECT_EQ(data, original);
}

TEST(Tea, EqualBlocksEncipherEquallyAnywhere) {
  const uint32_t key[4] = {1, 2, 3, 4};
  Bytes data(32, 0x5A);
  TeaBlocks(data.data(), 4, key);
  for (int block = 1; block < 4; ++block) {
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 8, data.begin() + 8 * block));
  }
}

TEST(Tea, RoundTripsUnderRandomKeys) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 50; ++trial) {
    const uint32_t key[4] = {static_cast<uint32_t>(random()), static_cast<uint32_t>(random()),
                             static_cast<uint32_t>(random()), static_cast<uint32_t>(random())};
    Bytes data = MakeInput(Shape::kNoise, 8 * (1 + trial % 9), trial);
    const Bytes original = data;
    TeaBlocks(data.data(), static_cast<int64_t>(data.size() / 8), key);
    TeaBlocks(data.data(), -static_cast<int64_t>(data.size() / 8), key);
    EXPECT_EQ(data, original);
  }
}

struct ReverseCase {
  const char* label;
  int length;
  int unitSize;
  Bytes expected;  // from the input 0, 1, 2, ...
};

TEST(ByteOrder, ReverseByteUnits) {
  const ReverseCase cases[] = {
      {"10 bytes, 4-byte units: two units, tail kept", 10, 4, {3, 2, 1, 0, 7, 6, 5, 4, 8, 9}},
      {"shorter than one unit", 3, 4, {0, 1, 2}},
      {"2-byte units, odd length", 5, 2, {1, 0, 3, 2, 4}},
      {"unit size 1 changes nothing", 4, 1, {0, 1, 2, 3}},
      {"unit size 0 changes nothing", 4, 0, {0, 1, 2, 3}},
      {"length 0", 0, 4, {}},
  };
  for (const auto& testCase : cases) {
    Bytes data(testCase.length);
    for (int index = 0; index < testCase.length; ++index) data[index] = static_cast<unsigned char>(index);
    ReverseByteUnits(data.data(), testCase.length, testCase.unitSize);
    EXPECT_EQ(data, testCase.expected) << testCase.label;
  }
  ReverseByteUnits(nullptr, 8, 4);  // must not crash
}

TEST(ByteOrder, ConversionsGiveTheNamedOrderOfAMachineWord) {
  const uint32_t word = 0x00010203;
  Bytes big(4), little(4);
  std::memcpy(big.data(), &word, 4);
  std::memcpy(little.data(), &word, 4);
  UnitsToBigEndian(big.data(), 4, 4);
  UnitsToLittleEndian(little.data(), 4, 4);
  EXPECT_EQ(big, (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(little, (Bytes{3, 2, 1, 0}));
}

}  // namespace
