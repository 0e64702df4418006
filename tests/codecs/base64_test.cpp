// Base64: RFC 4648 answers, the lenient decoding rules, round trips and the
// failure path when working memory is refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec_test_support.h"
#include "codecs/base64.h"

using namespace codec_test;

namespace {

Bytes Encode(const Bytes& input) {
  unsigned char* buffer = HeapCopy(input);
  int64_t length = static_cast<int64_t>(input.size());
  EXPECT_TRUE(EncodeBase64InPlace(&buffer, &length));
  return TakeBlock(buffer, length);
}

Bytes Decode(const Bytes& input) {
  unsigned char* buffer = HeapCopy(input);
  int64_t length = static_cast<int64_t>(input.size());
  EXPECT_TRUE(DecodeBase64InPlace(&buffer, &length));
  if (length == 0) {
    EXPECT_EQ(buffer, nullptr) << "an empty result leaves no block";
  }
  return TakeBlock(buffer, length);
}

TEST(Base64, Rfc4648Vectors) {
  const auto rows = ReadVectorFile("base64.txt");
  ASSERT_EQ(rows.size(), 7u);
  for (const auto& row : rows) {
    const Bytes bytes = FromHex(row[0]);
    const Bytes text = row[1] == "-" ? Bytes{} : FromText(row[1]);
    EXPECT_EQ(Encode(bytes), text) << row[1];
    EXPECT_EQ(Decode(text), bytes) << row[1];
  }
}

TEST(Base64, EncodedLengthsAtGroupBoundaries) {
  const struct {
    size_t bytes;
    size_t characters;
    long padding;
  } cases[] = {{1, 4, 2}, {2, 4, 1}, {3, 4, 0}, {4, 8, 2}, {57, 76, 0}, {58, 80, 2}};
  for (const auto& testCase : cases) {
    const Bytes text = Encode(MakeInput(Shape::kNoise, testCase.bytes, 3));
    EXPECT_EQ(text.size(), testCase.characters) << testCase.bytes;
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), testCase.padding) << testCase.bytes;
    if (testCase.padding > 0) {
      EXPECT_EQ(text.back(), '=');
    }
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 0) << "one line";
  }
}

TEST(Base64, LenientDecoding) {
  const struct {
    const char* label;
    const char* text;
    const char* bytes;
  } cases[] = {
      {"CR LF line breaks are skipped", "Zm9v\r\nYmFy\r\n", "foobar"},
      {"LF alone", "Zm9\nvYm\nFy", "foobar"},
      {"spaces", " Z m 9 v ", "foo"},
      {"3 characters without padding: group dropped", "Zm9vYmE", "foo"},
      {"2 characters without padding: group dropped", "Zm9vYg", "foo"},
      {"1 character left over: dropped", "Zm9vY", "foo"},
      {"two padded encodings: only the first counts", "Zg==Zm8=", "f"},
      {"alphabet after the first = adds nothing", "Zm8=Zm9v", "fo"},
      {"URL-safe - and _ are skipped, not mapped", "-_Zm9v_-", "foo"},
      {"no alphabet character at all", "\r\n !*", ""},
      {"= alone", "=", ""},
      {"bytes above 127 are skipped", "Zm\xC3\xA9" "9v", "foo"},
  };
  for (const auto& testCase : cases) {
    EXPECT_EQ(Decode(FromText(testCase.text)), FromText(testCase.bytes)) << testCase.label;
  }
}

TEST(Base64, RoundTripsEveryLengthAndByte) {
  for (size_t length = 0; length < 300; ++length) {
    const Bytes input = MakeInput(Shape::kNoise, length, static_cast<uint32_t>(length));
    EXPECT_EQ(Decode(Encode(input)), input) << length;
  }
}

// What the command layer never passes but the entry points still answer
// safely: no block with a length, or a negative length, reads as empty.
TEST(Base64, AbsentBlockOrNegativeLengthReadsAsEmpty) {
  for (bool encode : {true, false}) {
    for (const auto& [present, given] : {std::pair{false, int64_t{5}}, std::pair{true, int64_t{-4}}}) {
      unsigned char* buffer = present ? HeapCopy(FromText("Zm9v")) : nullptr;
      int64_t length = given;
      EXPECT_TRUE(encode ? EncodeBase64InPlace(&buffer, &length) : DecodeBase64InPlace(&buffer, &length));
      EXPECT_EQ(length, 0) << encode << present;
      TakeBlock(buffer, length);
    }
  }
}

TEST(Base64, RefusedMemoryLeavesTheBufferAsItWas) {
  for (bool encode : {true, false}) {
    const Bytes input = FromText("Zm9vYmFy");
    unsigned char* buffer = HeapCopy(input);
    int64_t length = static_cast<int64_t>(input.size());
    unsigned char* const before = buffer;
    PluginHeapFailAfter(1);
    const bool done = encode ? EncodeBase64InPlace(&buffer, &length) : DecodeBase64InPlace(&buffer, &length);
    PluginHeapFailAfter(0);
    EXPECT_FALSE(done);
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(TakeBlock(buffer, length), input);
  }
}

}  // namespace
