// The encrypted envelope: sizes, key rules, the marker cut, the fixed
// big-endian word layout, and what memory failures leave behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec_test_support.h"
#include "codecs/envelope.h"
#include "codecs/tea.h"

using namespace codec_test;

namespace {

Bytes Crypt(const Bytes& input, const Bytes& key, bool seal, bool useBase64) {
  unsigned char* buffer = HeapCopy(input);
  int64_t length = static_cast<int64_t>(input.size());
  EXPECT_TRUE(CryptEnvelope(&buffer, &length, key.data(), static_cast<int32_t>(key.size()), seal, useBase64));
  return TakeBlock(buffer, length);
}

TEST(Envelope, SealedSizes) {
  const struct {
    size_t plain;
    size_t sealed;
    size_t base64;
  } cases[] = {{0, 0, 0},    {1, 8, 12},   {4, 8, 12},   {5, 16, 24},  {7, 16, 24},
               {8, 8, 12},   {9, 16, 24},  {12, 16, 24}, {13, 24, 32}, {16, 16, 24}};
  const Bytes key = FromText("key");
  for (const auto& testCase : cases) {
    const Bytes plain = MakeInput(Shape::kNoise, testCase.plain, 5);
    EXPECT_EQ(Crypt(plain, key, true, false).size(), testCase.sealed) << testCase.plain;
    EXPECT_EQ(Crypt(plain, key, true, true).size(), testCase.base64) << testCase.plain;
  }
}

// Deciphers sealed bytes with a TEA of its own over big-endian words, block
// by block with no chaining, so the trailer can be seen and the stored word
// order is pinned independently of the host's byte order.
Bytes DecipherAsBigEndianWords(const Bytes& sealed, const Bytes& key16) {
  auto wordAt = [](const Bytes& bytes, size_t offset) {
    return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 | uint32_t{bytes[offset + 2]} << 8 |
           bytes[offset + 3];
  };
  const uint32_t keyWords[4] = {wordAt(key16, 0), wordAt(key16, 4), wordAt(key16, 8), wordAt(key16, 12)};
  Bytes opened;
  for (size_t offset = 0; offset + 8 <= sealed.size(); offset += 8) {
    uint32_t words[2] = {wordAt(sealed, offset), wordAt(sealed, offset + 4)};
    unsigned char block[8];
    std::memcpy(block, words, 8);
    TeaDecipherBlock(block, block, keyWords);
    std::memcpy(words, block, 8);
    for (uint32_t word : words) {
      for (int shift = 24; shift >= 0; shift -= 8) opened.push_back(static_cast<unsigned char>(word >> shift));
    }
  }
  return opened;
}

TEST(Envelope, TrailerAndWordOrder) {
  const Bytes key = FromText("0123456789abcdef");
  const struct {
    const char* plain;
    const char* padded;
  } cases[] = {{"abcd", "abcd/*pd"},
               {"a", "a/*pd123"},
               {"abcde", "abcde/*pd1234567"},
               {"abcdefg", "abcdefg/*pd12345"},
               {"abcdefgh", "abcdefgh"}};
  for (const auto& testCase : cases) {
    const Bytes sealed = Crypt(FromText(testCase.plain), key, true, false);
    EXPECT_EQ(DecipherAsBigEndianWords(sealed, key), FromText(testCase.padded)) << testCase.plain;
  }
}

TEST(Envelope, RoundTripsForEveryKeyLengthAndLayer) {
  for (size_t keyLength = 0; keyLength <= 20; ++keyLength) {
    const Bytes key = MakeInput(Shape::kNoise, keyLength, 100 + static_cast<uint32_t>(keyLength));
    for (size_t length = 0; length <= 40; ++length) {
      // Bytes 0..127 cannot form the marker by accident here: avoid '/'.
      Bytes plain = MakeInput(Shape::kText, length, static_cast<uint32_t>(length));
      for (bool useBase64 : {false, true}) {
        EXPECT_EQ(Crypt(Crypt(plain, key, true, useBase64), key, false, useBase64), plain)
            << "key " << keyLength << " length " << length;
      }
    }
  }
}

TEST(Envelope, KeyBlockRules) {
  const Bytes plain = FromText("sealed with a key block");
  const Bytes longKey = FromText("0123456789abcdefTAIL");
  EXPECT_EQ(Crypt(plain, longKey, true, false), Crypt(plain, Bytes(longKey.begin(), longKey.begin() + 16), true, false))
      << "only the first 16 bytes count";
  Bytes padded = FromText("abc");
  for (unsigned char index = 3; index < 16; ++index) padded.push_back(index);
  EXPECT_EQ(Crypt(plain, FromText("abc"), true, false), Crypt(plain, padded, true, false))
      << "a short key is followed by its index bytes";
  Bytes indexBytes;
  for (unsigned char index = 0; index < 16; ++index) indexBytes.push_back(index);
  EXPECT_EQ(Crypt(plain, {}, true, false), Crypt(plain, indexBytes, true, false)) << "empty key";
  EXPECT_NE(Crypt(plain, FromText("abc"), true, false), Crypt(plain, FromText("abd"), true, false));
}

TEST(Envelope, OpeningLeavesNonEnvelopesAlone) {
  const Bytes key = FromText("k");
  const struct {
    const char* label;
    Bytes input;
    bool useBase64;
    Bytes expected;
  } cases[] = {
      {"7 bytes", FromText("1234567"), false, FromText("1234567")},
      {"12 bytes: not a multiple of 8", FromText("123456789012"), false, FromText("123456789012")},
      {"Base64 of 6 bytes gives the decoded bytes", FromText("Zm9vYmFy"), true, FromText("foobar")},
      {"empty", {}, false, {}},
      {"empty with Base64", {}, true, {}},
  };
  for (const auto& testCase : cases) {
    EXPECT_EQ(Crypt(testCase.input, key, false, testCase.useBase64), testCase.expected) << testCase.label;
  }
}

TEST(Envelope, MarkerInThePlaintextTailCutsIt) {
  const Bytes key = FromText("key");
  // 16 bytes (a multiple of 8): a marker anywhere in the last 16 bytes cuts.
  const Bytes plain = FromText("abcdef/*pdghijkl");
  EXPECT_EQ(Crypt(Crypt(plain, key, true, false), key, false, false), FromText("abcdef"));
  // A marker at the very start leaves nothing.
  EXPECT_EQ(Crypt(Crypt(FromText("/*pdabcd"), key, true, false), key, false, false), Bytes());
  // Further back than 16 bytes from the sealed end the marker stays.
  const Bytes early = FromText("ab/*pdcdefghijklmnopqrst");
  EXPECT_EQ(Crypt(Crypt(early, key, true, false), key, false, false), early);
}

// Every allocation the envelope makes, refused in turn: the call reports
// failure with no block, and never hands back the unsealed plaintext.
TEST(Envelope, RefusedMemoryGivesAnEmptyResult) {
  for (bool seal : {true, false}) {
    const Bytes input = seal ? FromText("plaintext") : Crypt(FromText("plaintext"), FromText("k"), true, true);
    for (long failing = 1;; ++failing) {
      unsigned char* buffer = HeapCopy(input);
      int64_t length = static_cast<int64_t>(input.size());
      PluginHeapFailAfter(failing);
      const bool done = CryptEnvelope(&buffer, &length, FromText("k").data(), 1, seal, true);
      PluginHeapFailAfter(0);
      const Bytes result = TakeBlock(buffer, length);
      if (done) {
        EXPECT_EQ(result, seal ? Crypt(input, FromText("k"), true, true) : FromText("plaintext"));
        break;
      }
      EXPECT_TRUE(result.empty()) << "allocation " << failing;
      ASSERT_LT(failing, 10);
    }
  }
}

}  // namespace
