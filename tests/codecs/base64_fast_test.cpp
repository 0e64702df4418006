// Every Base64 path against a character-by-character reference written from
// the rules (fuzz/base64_reference.h): each CPU level this machine has, the
// portable table path included, is forced in turn and must give the
// reference's bytes for every length 0..300 at 16 alignments, and for inputs
// built to stop and restart the fast paths (line breaks, "=" and junk at
// every position of a 32-character block, bytes above 127, runs of CR and
// LF between groups, which the vector paths skip themselves).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "../../fuzz/base64_reference.h"
#include "codecs/base64.h"
#include "codecs/base64_simd.h"
#include "codecs/codec_cpu.h"

namespace {

using Bytes = std::vector<unsigned char>;
using base64_reference::ReferenceDecode;
using base64_reference::ReferenceEncode;

Bytes EncodeAt(const Bytes& input, int offset) {
  Bytes shifted(input.size() + 16);
  std::copy(input.begin(), input.end(), shifted.begin() + offset);
  Bytes output(static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(input.size()))));
  Base64EncodeInto(shifted.data() + offset, static_cast<int64_t>(input.size()), output.data());
  return output;
}

Bytes DecodeAt(const Bytes& input, int offset) {
  Bytes shifted(input.size() + 16);
  std::copy(input.begin(), input.end(), shifted.begin() + offset);
  // Exactly the promised capacity, so an overrun shows under the sanitizers.
  Bytes output(static_cast<size_t>(Base64DecodedCapacity(static_cast<int64_t>(input.size()))));
  output.resize(static_cast<size_t>(
      Base64DecodeInto(shifted.data() + offset, static_cast<int64_t>(input.size()), output.data())));
  return output;
}

std::vector<CodecCpuLevel> LevelsHere() {
  std::vector<CodecCpuLevel> levels;
  for (int level = kCodecCpuPortable; level <= CodecCpuLevelDetected(); ++level) {
    levels.push_back(static_cast<CodecCpuLevel>(level));
  }
  return levels;
}

class Base64Fast : public ::testing::Test {
 protected:
  void TearDown() override { CodecForceCpuLevel(kCodecCpuAvx512); }

  // Every level must agree with the reference at every offset.
  static void ExpectSameDecoding(const Bytes& text, const std::string& label) {
    const Bytes expected = ReferenceDecode(text);
    for (CodecCpuLevel level : LevelsHere()) {
      CodecForceCpuLevel(level);
      for (int offset : {0, 1, 7, 13}) {
        ASSERT_EQ(DecodeAt(text, offset), expected) << label << " level " << level << " offset " << offset;
      }
    }
  }
};

TEST_F(Base64Fast, EncodingEveryLengthAndAlignment) {
  std::mt19937 random(25);
  for (size_t length = 0; length <= 300; ++length) {
    Bytes input(length);
    for (auto& byte : input) byte = static_cast<unsigned char>(random());
    const Bytes expected = ReferenceEncode(input);
    for (CodecCpuLevel level : LevelsHere()) {
      CodecForceCpuLevel(level);
      for (int offset = 0; offset < 16; ++offset) {
        ASSERT_EQ(EncodeAt(input, offset), expected) << "length " << length << " offset " << offset;
      }
    }
    // The clean encoding decodes back on every level.
    ExpectSameDecoding(expected, "clean " + std::to_string(length));
    CodecForceCpuLevel(kCodecCpuAvx512);
    ASSERT_EQ(DecodeAt(expected, 3), input) << length;
  }
}

// Outputs of 16 MiB and more are written with non-temporal stores from the
// first 64-byte boundary on; every start of the output relative to that
// boundary, against the portable encoding.
TEST_F(Base64Fast, EncodingLongInputsAtEveryOutputAlignment) {
  std::mt19937 random(26);
  Bytes input((size_t{16} << 20) + 37);
  for (auto& byte : input) byte = static_cast<unsigned char>(random());
  const size_t encodedLength = static_cast<size_t>(Base64EncodedLength(static_cast<int64_t>(input.size())));
  const Bytes expected = ReferenceEncode(input);
  CodecForceCpuLevel(CodecCpuLevelDetected());
  Bytes output(encodedLength + 64);
  const size_t base = (64 - reinterpret_cast<uintptr_t>(output.data()) % 64) % 64;
  for (size_t offset : {0, 4, 16, 32, 48}) {
    if (base + offset + encodedLength > output.size()) output.resize(base + offset + encodedLength);
    unsigned char* at = output.data() + (64 - reinterpret_cast<uintptr_t>(output.data()) % 64) % 64 + offset;
    Base64EncodeInto(input.data(), static_cast<int64_t>(input.size()), at);
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), at)) << "output at 64-byte boundary + " << offset;
  }
}

// Texts of 16 MiB and more decode with non-temporal stores, four blocks
// (three output lines) a step, once the output reaches a 64-byte boundary:
// every output alignment, with runs of four skipped characters between
// blocks (the output stays where it was, so streaming resumes after them)
// stopping a four-block step, a single step and an alignment step, then a
// stray character, a line break and padding near the end, against the
// portable rules.
TEST_F(Base64Fast, DecodingLongTextsAtEveryOutputAlignment) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 random(62);
  Bytes text((size_t{17} << 20) + 4 * 999);
  for (auto& byte : text) byte = alphabet[random() % 64];
  for (size_t at : {size_t{64}, size_t{4 + 64 * 7}, size_t{8 + 64 * 4001}, size_t{12 + 64 * 50002}}) {
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(at), text.begin() + static_cast<std::ptrdiff_t>(at + 4), '*');
  }
  text[text.size() - 5000] = '*';
  text[text.size() - 3001] = '\n';
  text[text.size() - 2] = '=';
  const Bytes expected = ReferenceDecode(text);
  CodecForceCpuLevel(CodecCpuLevelDetected());
  Bytes output(static_cast<size_t>(Base64DecodedCapacity(static_cast<int64_t>(text.size()))) + 128);
  const size_t base = (64 - reinterpret_cast<uintptr_t>(output.data()) % 64) % 64;
  for (size_t offset : {0, 16, 32, 48, 8}) {
    unsigned char* at = output.data() + base + offset;
    const int64_t used = Base64DecodeInto(text.data(), static_cast<int64_t>(text.size()), at);
    ASSERT_EQ(used, static_cast<int64_t>(expected.size())) << "offset " << offset;
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), at)) << "output at 64-byte boundary + " << offset;
  }
}

// Forcing kCodecCpuSse must reach real SSSE3 kernels, not the stubs: on a
// clean text they take every step while a whole one remains.
TEST_F(Base64Fast, Ssse3KernelsTakeCleanText) {
  if (CodecCpuLevelDetected() < kCodecCpuSse) GTEST_SKIP() << "no SSSE3 here";
  const Bytes data(120, 0x5A);
  Bytes text(160), back(120);
  EXPECT_EQ(Base64EncodeSsse3(data.data(), 120, text.data()), 108);
  int64_t written = 0;
  EXPECT_EQ(Base64DecodeCleanSsse3(text.data(), 144, back.data(), &written), 144);
  EXPECT_EQ(Bytes(back.begin(), back.begin() + written), Bytes(data.begin(), data.begin() + 108));
}

TEST_F(Base64Fast, DecodingWhereTheVectorPathMustStop) {
  std::mt19937 random(26);
  Bytes plain(600);
  for (auto& byte : plain) byte = static_cast<unsigned char>(random());
  Bytes clean(static_cast<size_t>(Base64EncodedLength(600)));
  Base64EncodeInto(plain.data(), 600, clean.data());
  // One odd byte at each position of the first three 32-character blocks.
  const unsigned char intruders[] = {'\n', '=', '-', 0x80, 0xFF, ' ', 0};
  for (unsigned char intruder : intruders) {
    for (size_t position = 0; position < 96; ++position) {
      Bytes text = clean;
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(position), intruder);
      ExpectSameDecoding(text, "intruder " + std::to_string(intruder) + " at " + std::to_string(position));
    }
  }
  // Line breaks every 76 and every 64 characters, with CR LF too.
  for (const std::string& breakText : {std::string("\n"), std::string("\r\n")}) {
    for (size_t lineLength : {64u, 76u, 75u}) {
      Bytes text;
      for (size_t index = 0; index < clean.size(); ++index) {
        if (index > 0 && index % lineLength == 0) text.insert(text.end(), breakText.begin(), breakText.end());
        text.push_back(clean[index]);
      }
      ExpectSameDecoding(text, "lines of " + std::to_string(lineLength));
    }
  }
  // Lines of 76 with CR LF, where the vector path expects each break where
  // the last one was: one odd byte at every position of the fourth and fifth
  // lines (a break too early, a longer break, junk, padding), and one line
  // four characters short.
  Bytes lines;
  for (size_t index = 0; index < clean.size(); ++index) {
    if (index > 0 && index % 76 == 0) lines.insert(lines.end(), {'\r', '\n'});
    lines.push_back(clean[index]);
  }
  const unsigned char lineIntruders[] = {'\r', '\n', '=', '-', 0x80};
  for (unsigned char intruder : lineIntruders) {
    for (size_t position = 3 * 78 - 2; position < 5 * 78 + 2; ++position) {
      Bytes text = lines;
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(position), intruder);
      ExpectSameDecoding(text, "lines with " + std::to_string(intruder) + " at " + std::to_string(position));
    }
  }
  Bytes shortLine = lines;
  shortLine.erase(shortLine.begin() + 4 * 78, shortLine.begin() + 4 * 78 + 4);
  ExpectSameDecoding(shortLine, "one line four characters short");

  // A run of line breaks after whole groups (the vector path skips it), then
  // what may follow: more groups, padding, junk, a cut group, the end.
  for (const std::string run : {"\r\n", "\n\n", "\r\r\n\n"}) {
    for (const std::string tail : {"", "=", "-", "Zm9", "\r", "=\r\n", "Zm9v\r\n"}) {
      for (size_t groups : {7u, 8u, 16u, 19u, 40u}) {
        Bytes text(clean.begin(), clean.begin() + static_cast<std::ptrdiff_t>(groups * 4));
        text.insert(text.end(), run.begin(), run.end());
        text.insert(text.end(), tail.begin(), tail.end());
        text.insert(text.end(), clean.begin() + static_cast<std::ptrdiff_t>(groups * 4), clean.end());
        ExpectSameDecoding(text, "break run after " + std::to_string(groups) + " groups, then \"" + tail + "\"");
        text.resize(groups * 4 + run.size() + tail.size());
        ExpectSameDecoding(text, "text ending in a break run, " + std::to_string(groups) + " groups");
      }
    }
  }
}

TEST_F(Base64Fast, DecodingRandomTexts) {
  std::mt19937 random(27);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int round = 0; round < 300; ++round) {
    const size_t length = round < 200 ? static_cast<size_t>(round) : 301 + random() % 5000;
    // Mostly alphabet, with rare junk and padding at random places.
    Bytes text(length);
    for (auto& byte : text) {
      const unsigned roll = random() % 1000;
      byte = roll < 3 ? '=' : roll < 8 ? static_cast<unsigned char>(random()) : alphabet[random() % 64];
    }
    ExpectSameDecoding(text, "random " + std::to_string(round));
  }
}

}  // namespace
