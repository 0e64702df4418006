// Commands 19, 25, 26, 45 and 46 through the entry point, with the plugin in
// the development host: parameters stored as 4D stores them (16-bit integers,
// longints, BLOB handles, UTF-16 texts), results read back as 4D reads them.
//
// The kernels have their own tests beside this file, the answers to bad
// parameters are pinned in docs/robustness.md (tests/frame) and concurrent
// callers in threads_test.cpp. What is left here is what only the command
// layer decides: the clamping of the CRC parameters and its 0 for an empty
// BLOB, BLOBs carried in and out whole (an empty BLOB, never a missing one),
// the predictor's row shape read from its two parameters and its input left
// alone, and the UTF-8 trip of texts and keys, keys cut to 16 bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "lqm-host/lib/charsets.h"
#include "support/host_fixture.h"

namespace lqm::testing {
namespace {

using host::ValueKind;
using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& generator, size_t length) {
  Bytes bytes(length);
  std::uniform_int_distribution<int> value(0, 255);
  for (uint8_t& byte : bytes) byte = uint8_t(value(generator));
  return bytes;
}

std::string Utf8Of(const std::optional<Value>& result) {
  if (!result || result->kind != ValueKind::kText) {
    ADD_FAILURE() << "the command returned no text";
    return {};
  }
  return host::Utf16ToUtf8(result->text);
}

class CodecCommands : public PluginTest {
 protected:
  std::optional<Value> Lzw(int16_t mode, const Value& input, int16_t pixelsPerRow = 0, int16_t bytesPerPixel = 0) {
    return CallForResult("LQM_LZWCodec", {Integer(mode), input, Integer(3), Integer(3), Integer(pixelsPerRow),
                                          Integer(bytesPerPixel), Longint(8), Longint(12)});
  }
  std::optional<Value> Cipher(const Value& data, const std::string& key, int16_t direction) {
    return CallForResult("LQM_CipherText", {data, Text(key), Integer(direction), Integer(1)});
  }
};

// The handler clamps: a model above 2 is CRC-32, an engine above 1 is the
// bitwise one; 16-bit parameters read unsigned, so -1 is 65535. An empty
// BLOB answers 0 whatever the model (the kernel would give 0xFFFF for model 0).
TEST_F(CodecCommands, CrcParametersAreClampedAndAnEmptyBlobIsZero) {
  const struct {
    int16_t model, engine;
    int32_t expected;
  } cases[] = {
      {0, 1, 10673},  {0, 2, 10673},  {0, -1, 10673},      {1, 0, 47933},      {1, -1, 47933},
      {3, 0, -873187034}, {-1, -1, -873187034}, {32767, 2, -873187034},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CallForResult("LQM_ComputeCRC", {Blob("123456789"), Integer(c.model), Integer(c.engine)}),
              Longint(c.expected))
        << "model " << c.model << ", engine " << c.engine;
  for (int16_t model = 0; model <= 2; ++model)
    EXPECT_EQ(CallForResult("LQM_ComputeCRC", {Blob(""), Integer(model), Integer(0)}), Longint(0)) << model;
}

TEST_F(CodecCommands, Base64CarriesBlobsWholeAndAnswersEmptyBlobs) {
  std::mt19937 generator(25);
  for (size_t length : {1u, 57u, 65537u}) {
    const Value data = Value::Blob(RandomBytes(generator, length));
    const std::optional<Value> text = CallForResult("LQM_EncodeBase64", {data});
    ASSERT_TRUE(text && text->kind == ValueKind::kBlob);
    EXPECT_EQ(text->blob.size(), 4 * ((length + 2) / 3));
    EXPECT_EQ(CallForResult("LQM_DecodeBase64", {*text}), data) << "length " << length;
  }
  // Inputs that decode to nothing give an empty BLOB result, not no result.
  for (const char* input : {"====", "-_ \r\n", "TQ"})
    EXPECT_EQ(CallForResult("LQM_DecodeBase64", {Blob(input)}), Blob("")) << input;
}

// Parameter 5 is the pixels per row, 6 the bytes per pixel; a shape that is
// not positive in both (65535 read from -1 is too wide) leaves the bytes.
TEST_F(CodecCommands, LzwPredictorTakesItsRowShapeFromParametersFiveAndSix) {
  const Bytes pixels = {10, 20, 13, 25, 9, 30, 200, 1, 201, 3, 199, 0, 7, 7};
  const Bytes differenced = {10, 20, 3, 5, 252, 5, 200, 1, 1, 2, 254, 253, 7, 7};
  const auto expandOf = [&](int16_t pixelsPerRow, int16_t bytesPerPixel) {
    const std::optional<Value> stream = Lzw(2, Value::Blob(pixels), pixelsPerRow, bytesPerPixel);
    return stream ? Lzw(0, *stream) : std::nullopt;
  };
  EXPECT_EQ(expandOf(3, 2), Value::Blob(differenced));
  EXPECT_EQ(expandOf(2, 3), Value::Blob(Bytes{10, 20, 13, 15, 245, 17, 200, 1, 201, 59, 198, 55, 7, 7}));
  EXPECT_EQ(expandOf(0, 2), Value::Blob(pixels));
  EXPECT_EQ(expandOf(3, -1), Value::Blob(pixels));
}

// The BLOB commands read their input where 4D holds it and must not change
// it; the typical calls show that in docs/robustness.md, but only the
// predictor, which differences rows, could be tempted to work in place.
TEST_F(CodecCommands, ThePredictorLeavesItsInputAsItWas) {
  std::mt19937 generator(45);
  const std::vector<Value> args = {Integer(2), Value::Blob(RandomBytes(generator, 3000)), Integer(3), Integer(3),
                                   Integer(100), Integer(3), Longint(8), Longint(12)};
  EXPECT_EQ(Call("LQM_LZWCodec", args).args, args);
}

// Texts and keys are sealed as UTF-8: the envelope's length counts UTF-8
// bytes (8 per block plus the padding, in Base64), and a text outside the
// Basic Multilingual Plane, a surrogate pair in 4D, comes back whole.
TEST_F(CodecCommands, CipherTextSealsUtf8AndOpensItBack) {
  const struct {
    const char* text;
    size_t sealedCharacters;
  } cases[] = {
      {"1234", 12},
      {"12345", 24},
      {"12345678", 12},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 24},                     // 3 characters, 6 bytes
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 12},             // 4 UTF-16 units, 8 bytes
      {"Gr\xC3\xBC\xC3\x9F" "e \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80", 32},
  };
  for (const auto& c : cases)
    for (const char* key : {"", "cl\xC3\xA9 \xF0\x9D\x84\x9E", "a key longer than sixteen bytes"}) {
      SCOPED_TRACE(::testing::Message() << c.text << " / " << key);
      const std::optional<Value> sealed = Cipher(Text(c.text), key, 1);
      ASSERT_TRUE(sealed);
      EXPECT_EQ(Utf8Of(sealed).size(), c.sealedCharacters);
      EXPECT_EQ(Utf8Of(Cipher(*sealed, key, 0)), c.text);
    }
  EXPECT_EQ(Cipher(Text(""), "key", 1), Text(""));
}

// The command passes the key's first 16 UTF-8 bytes, however long the text.
TEST_F(CodecCommands, CipherTextKeysCountByTheirFirstSixteenBytes) {
  const std::string first16 = "0123456789abcdef";
  std::string huge(40000, 'x');
  huge.replace(0, 16, first16);
  const Value data = Text("the same envelope for every key");
  const std::optional<Value> reference = Cipher(data, first16, 1);
  ASSERT_TRUE(reference);
  for (const std::string& key : {first16 + "\xC3\xA9\xC3\xA9", huge})
    EXPECT_EQ(Cipher(data, key, 1), reference) << key.size() << " bytes";
  // Eight "é" fill the 16 bytes with 8 characters: a ninth character is cut.
  std::string accents;
  for (int i = 0; i < 8; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(Cipher(data, accents + "x", 1), Cipher(data, accents, 1));
  EXPECT_NE(Cipher(data, "0123456789abcdeF", 1), reference);
}

}  // namespace
}  // namespace lqm::testing
