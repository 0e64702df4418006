// The CRC folding kernels against the plain engines: every catalogue
// polynomial in both bit orders with assorted starting registers, every
// length from 0 to 300 at 16 buffer alignments, random longer lengths, and
// each CPU level this machine has (forced one by one, so an AVX-512 machine
// still proves the 128-bit and portable paths).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/codec_cpu.h"
#include "codecs/crc.h"

namespace {

struct CrcVariant {
  const char* name;
  int width;
  uint32_t polynomial;
  uint32_t initial;
  uint32_t finalXor;
  bool reflectInput;
  bool reflectResult;
};

// The three models, the same polynomials in the other bit order, and
// starting registers whose bits are uneven, so a seed placed in the wrong
// bytes or order shows.
constexpr CrcVariant kVariants[] = {
    {"model 0", 16, 0x1021, 0xFFFF, 0, false, false},
    {"model 1", 16, 0x8005, 0, 0, true, true},
    {"model 2", 32, 0x04C11DB7u, 0xFFFFFFFFu, 0xFFFFFFFFu, true, true},
    {"ccitt reflected", 16, 0x1021, 0x1D0F, 0x00FF, true, false},
    {"arc normal", 16, 0x8005, 0x8001, 0, false, true},
    {"crc32 normal", 32, 0x04C11DB7u, 0x12345678u, 0, false, false},
    {"crc32 odd seed", 32, 0x04C11DB7u, 0x80000001u, 0x0F0F0F0Fu, true, false},
};

uint32_t TableEngine(const CrcVariant& v, const unsigned char* data, int64_t length) {
  if (v.width == 16) {
    return CrcTable16(data, length, static_cast<uint16_t>(v.initial), 16, 0x8000, static_cast<uint16_t>(v.polynomial),
                      static_cast<uint16_t>(v.finalXor), v.reflectInput, v.reflectResult);
  }
  return CrcTable32(data, length, v.initial, 32, 0x80000000u, v.polynomial, v.finalXor, v.reflectInput,
                    v.reflectResult);
}

uint32_t BitwiseEngine(const CrcVariant& v, const unsigned char* data, int64_t length) {
  if (v.width == 16) {
    return CrcBitwise16(data, length, static_cast<uint16_t>(v.initial), 16, 0x8000,
                        static_cast<uint16_t>(v.polynomial), static_cast<uint16_t>(v.finalXor), v.reflectInput,
                        v.reflectResult);
  }
  return CrcBitwise32(data, length, v.initial, 32, 0x80000000u, v.polynomial, v.finalXor, v.reflectInput,
                      v.reflectResult);
}

std::vector<CodecCpuLevel> LevelsHere() {
  std::vector<CodecCpuLevel> levels;
  for (int level = kCodecCpuPortable; level <= CodecCpuLevelDetected(); ++level) {
    levels.push_back(static_cast<CodecCpuLevel>(level));
  }
  return levels;
}

class CrcFast : public ::testing::Test {
 protected:
  void TearDown() override { CodecForceCpuLevel(kCodecCpuAvx512); }
};

TEST_F(CrcFast, EveryShortLengthAndAlignmentMatchesTheBitwiseEngine) {
  std::mt19937 random(9);
  std::vector<unsigned char> source(300);
  for (auto& byte : source) byte = static_cast<unsigned char>(random());
  std::vector<unsigned char> shifted(300 + 16);
  for (const CrcVariant& variant : kVariants) {
    for (int64_t length = 0; length <= 300; ++length) {
      const uint32_t expected = BitwiseEngine(variant, source.data(), length);
      for (CodecCpuLevel level : LevelsHere()) {
        ASSERT_EQ(CodecForceCpuLevel(level), level);
        for (int offset = 0; offset < 16; ++offset) {
          std::copy(source.begin(), source.begin() + length, shifted.begin() + offset);
          ASSERT_EQ(TableEngine(variant, shifted.data() + offset, length), expected)
              << variant.name << " length " << length << " offset " << offset << " level " << level;
        }
      }
    }
  }
}

TEST_F(CrcFast, RandomLongLengthsAgreeAcrossLevels) {
  std::mt19937 random(45);
  std::vector<unsigned char> buffer(300000 + 64);
  for (auto& byte : buffer) byte = static_cast<unsigned char>(random());
  for (int round = 0; round < 24; ++round) {
    // Lengths straddle the 512-bit kernel's 256-byte blocks and the 64-byte steps.
    const int64_t length = round < 4 ? 256 * (round + 1) + round : 301 + random() % 300000;
    const int offset = static_cast<int>(random() % 64);
    for (const CrcVariant& variant : kVariants) {
      CodecForceCpuLevel(kCodecCpuPortable);
      const uint32_t expected = TableEngine(variant, buffer.data() + offset, length);
      if (round < 2) {
        EXPECT_EQ(BitwiseEngine(variant, buffer.data() + offset, length), expected) << variant.name;
      }
      for (CodecCpuLevel level : LevelsHere()) {
        CodecForceCpuLevel(level);
        EXPECT_EQ(TableEngine(variant, buffer.data() + offset, length), expected)
            << variant.name << " length " << length << " offset " << offset << " level " << level;
      }
    }
  }
}

TEST_F(CrcFast, ModelsThroughComputeCrcOnEachLevel) {
  // A megabyte of a repeating pattern: the catalogue value of the pattern is
  // not published, so the bitwise engine is the judge.
  std::vector<unsigned char> data(1 << 20);
  for (size_t index = 0; index < data.size(); ++index) data[index] = static_cast<unsigned char>(index * 7 + 3);
  for (unsigned model : {0u, 1u, 2u}) {
    const uint32_t expected = ComputeCrc(data.data(), static_cast<int64_t>(data.size()), model, 0);
    for (CodecCpuLevel level : LevelsHere()) {
      CodecForceCpuLevel(level);
      EXPECT_EQ(ComputeCrc(data.data(), static_cast<int64_t>(data.size()), model, 1), expected)
          << "model " << model << " level " << level;
    }
  }
}

TEST_F(CrcFast, ForcingALevelAboveTheCpuGivesTheDetectedOne) {
  EXPECT_EQ(CodecForceCpuLevel(kCodecCpuAvx512), CodecCpuLevelDetected());
  EXPECT_EQ(CodecForceCpuLevel(kCodecCpuPortable), kCodecCpuPortable);
}

}  // namespace
