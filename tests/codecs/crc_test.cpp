// CRC engines: catalogue answers, the two table excerpts, and the three
// engines (bitwise from the definition, table, sliced CRC-32) compared on
// every tail length and on uneven parameters.
#include <gtest/gtest.h>

#include "codec_test_support.h"
#include "codecs/crc.h"

using namespace codec_test;

namespace {

TEST(Crc, CatalogueValuesWithBothEngines) {
  const auto rows = ReadVectorFile("crc.txt");
  ASSERT_EQ(rows.size(), 6u);
  for (const auto& row : rows) {
    const Bytes input = FromText(row[1]);
    const uint32_t expected = static_cast<uint32_t>(std::stoul(row[2], nullptr, 16));
    const unsigned model = static_cast<unsigned>(std::stoi(row[0]));
    for (unsigned engine : {0u, 1u}) {
      EXPECT_EQ(ComputeCrc(input.data(), static_cast<int64_t>(input.size()), model, engine), expected)
          << "model " << model << " engine " << engine << " on " << row[1];
    }
  }
}

TEST(Crc, ModelAndEngineClamping) {
  const Bytes input = FromText("123456789");
  for (unsigned model : {3u, 65535u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ComputeCrc(input.data(), 9, model, 1), 0xCBF43926u) << model;
  }
  for (unsigned engine : {2u, 65535u}) EXPECT_EQ(ComputeCrc(input.data(), 9, 0, engine), 0x29B1u) << engine;
}

TEST(Crc, EmptyInputIsTheInitialValueAfterTheFinalStep) {
  // The command answers 0 for an empty BLOB without calling the engines.
  EXPECT_EQ(ComputeCrc(nullptr, 0, 0, 0), 0xFFFFu);
  EXPECT_EQ(ComputeCrc(nullptr, 0, 1, 1), 0u);
  EXPECT_EQ(ComputeCrc(nullptr, 0, 2, 1), 0u);
}

TEST(Crc, TableEntries) {
  const CrcTable16Entries ccitt = BuildCrcTable16(16, 0x8000, 0x1021);
  const CrcTable32Entries crc32 = BuildCrcTable32(32, 0x80000000u, 0x04C11DB7u);
  const uint16_t ccittHead[] = {0x0000, 0x1021, 0x2042, 0x3063};
  const uint32_t crc32Head[] = {0x00000000u, 0x04C11DB7u, 0x09823B6Eu, 0x0D4326D9u};
  for (int index = 0; index < 4; ++index) {
    EXPECT_EQ(ccitt[index], ccittHead[index]);
    EXPECT_EQ(crc32[index], crc32Head[index]);
  }
  EXPECT_EQ(ccitt[255], 0x1EF0);
  EXPECT_EQ(crc32[255], 0xB1F740B4u);
}

TEST(Crc, ReflectBits) {
  const struct {
    uint32_t value;
    int count;
    uint32_t expected;
  } cases[] = {{0x01, 8, 0x80}, {0x80, 8, 0x01}, {0x1234, 16, 0x2C48}, {0xFF01, 8, 0x80},
               {0x1, 1, 0x1},   {0xABC, 0, 0},   {0x04C11DB7u, 32, 0xEDB88320u}};
  for (const auto& testCase : cases) {
    EXPECT_EQ(ReflectBits(testCase.value, testCase.count), testCase.expected) << testCase.value;
  }
}

// The sliced CRC-32 reads 8 bytes at a time: every length 0..80 at every
// start offset 0..7 checks its tail and its independence from alignment.
TEST(Crc, TableEnginesEqualBitwiseAtEveryTailAndOffset) {
  const Bytes data = MakeInput(Shape::kNoise, 100, 21);
  for (unsigned model = 0; model < 3; ++model) {
    for (size_t offset = 0; offset < 8; ++offset) {
      for (size_t length = 0; length <= 80; ++length) {
        const unsigned char* start = data.data() + offset;
        ASSERT_EQ(ComputeCrc(start, static_cast<int64_t>(length), model, 1),
                  ComputeCrc(start, static_cast<int64_t>(length), model, 0))
            << "model " << model << " offset " << offset << " length " << length;
      }
    }
  }
  const Bytes large = MakeInput(Shape::kNoise, 1 << 20, 22);
  for (unsigned model = 0; model < 3; ++model) {
    EXPECT_EQ(ComputeCrc(large.data(), static_cast<int64_t>(large.size()), model, 1),
              ComputeCrc(large.data(), static_cast<int64_t>(large.size()), model, 0));
  }
}

// Parameters outside the catalogue take the locally built table path.
TEST(Crc, UncataloguedParametersAgreeAcrossEngines) {
  const Bytes data = MakeInput(Shape::kText, 333, 4);
  const int64_t length = static_cast<int64_t>(data.size());
  for (bool reflectInput : {false, true}) {
    for (bool reflectResult : {false, true}) {
      EXPECT_EQ(CrcTable16(data.data(), length, 0x1D0F, 16, 0x8000, 0x8BB7, 0x0101, reflectInput, reflectResult),
                CrcBitwise16(data.data(), length, 0x1D0F, 16, 0x8000, 0x8BB7, 0x0101, reflectInput, reflectResult));
      EXPECT_EQ(
          CrcTable32(data.data(), length, 0x12345678u, 32, 0x80000000u, 0x1EDC6F41u, 0xFFu, reflectInput, reflectResult),
          CrcBitwise32(data.data(), length, 0x12345678u, 32, 0x80000000u, 0x1EDC6F41u, 0xFFu, reflectInput,
                       reflectResult));
      // The CRC-32 polynomial with uneven flags and a non-standard start.
      EXPECT_EQ(
          CrcTable32(data.data(), length, 0x0F0F0F0Fu, 32, 0x80000000u, 0x04C11DB7u, 0, reflectInput, reflectResult),
          CrcBitwise32(data.data(), length, 0x0F0F0F0Fu, 32, 0x80000000u, 0x04C11DB7u, 0, reflectInput,
                       reflectResult));
    }
  }
  // CRC-32/BZIP2 (unreflected): catalogue check value 0xFC891918.
  const Bytes check = FromText("123456789");
  EXPECT_EQ(CrcTable32(check.data(), 9, 0xFFFFFFFFu, 32, 0x80000000u, 0x04C11DB7u, 0xFFFFFFFFu, false, false),
            0xFC891918u);
  // CRC-16/XMODEM: 0x31C3.
  EXPECT_EQ(CrcTable16(check.data(), 9, 0, 16, 0x8000, 0x1021, 0, false, false), 0x31C3);
}

}  // namespace
