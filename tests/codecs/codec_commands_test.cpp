// Commands 19, 25, 26, 45 and 46 through the entry point, with the plugin in
// the development host: parameters stored as 4D stores them (16-bit integers,
// longints, BLOB handles, UTF-16 texts), results read back as 4D reads them.
//
// The kernels have their own tests beside this file; these cases check what
// only the command layer decides: the reading and clamping of the integer
// parameters, the empty result of every failure (an empty BLOB, never a
// missing one), the UTF-8 trip of texts and keys, that the commands answer
// when the plugin found no bundle, and that they run on several threads at
// once. The fixture fails any call that leaves a host object alive.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lqm-host/lib/charsets.h"
#include "support/host_fixture.h"

namespace lqm::testing {
namespace {

using host::ValueKind;
using Bytes = std::vector<uint8_t>;

Value BlobBytes(const Bytes& bytes) { return Value::Blob(bytes); }

Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The BLOB a command returned; a missing result or one of another kind fails.
Bytes BlobOf(const std::optional<Value>& result) {
  if (!result) {
    ADD_FAILURE() << "the command set no result";
    return {};
  }
  if (result->kind != ValueKind::kBlob) {
    ADD_FAILURE() << "the result is no BLOB: " << ::testing::PrintToString(*result);
    return {};
  }
  return result->blob;
}

std::string Utf8Of(const std::optional<Value>& result) {
  if (!result || result->kind != ValueKind::kText) {
    ADD_FAILURE() << "the command returned no text";
    return {};
  }
  return host::Utf16ToUtf8(result->text);
}

// Pseudo-random bytes below 2^rootBits, so that every byte is a root code.
Bytes RandomBytes(std::mt19937& generator, size_t length, int rootBits) {
  Bytes bytes(length);
  std::uniform_int_distribution<int> value(0, (1 << rootBits) - 1);
  // Runs of few distinct values make long strings and fill the dictionary.
  std::uniform_int_distribution<int> narrow(0, 3);
  for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(i % 512 < 256 ? value(generator) : narrow(generator));
  return bytes;
}

// ---------------------------------------------------------------------------
// Command 46
// ---------------------------------------------------------------------------

class CodecCommands : public PluginTest {
 protected:
  int32_t Crc(const Value& blob, int16_t model, int16_t engine) {
    std::optional<Value> result = CallForResult("LQM_ComputeCRC", {blob, Integer(model), Integer(engine)});
    if (!result || result->kind != ValueKind::kLongint) {
      ADD_FAILURE() << "no longint result for model " << model << ", engine " << engine;
      return 0;
    }
    return int32_t(result->number);
  }
  Bytes Lzw(int16_t mode, const Bytes& input, int16_t clear, int16_t end, int32_t rootBits, int32_t maxBits,
            int16_t pixelsPerRow = 0, int16_t bytesPerPixel = 0) {
    return BlobOf(CallForResult("LQM_LZWCodec", {Integer(mode), BlobBytes(input), Integer(clear), Integer(end),
                                                 Integer(pixelsPerRow), Integer(bytesPerPixel),
                                                 Longint(rootBits), Longint(maxBits)}));
  }
  std::optional<Value> Cipher(const Value& data, const Value& key, int16_t direction, int16_t base64) {
    return CallForResult("LQM_CipherText", {data, key, Integer(direction), Integer(base64)});
  }
};

TEST_F(CodecCommands, CrcCheckValuesAndParameterClamping) {
  // 16-bit parameters arrive as 4D integers; -1 is 65535 read unsigned.
  struct Case {
    int16_t model, engine;
    int32_t expected;
  };
  const Case cases[] = {
      {0, 0, 10673},       {0, 1, 10673},       {1, 0, 47933},       {1, 1, 47933},
      {2, 0, -873187034},  {2, 1, -873187034},  {3, 0, -873187034},  {3, 1, -873187034},
      {-1, 0, -873187034}, {-1, 1, -873187034}, {0, 2, 10673},       {0, -1, 10673},
      {1, 2, 47933},       {1, -1, 47933},      {-1, -1, -873187034}, {32767, 2, -873187034},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Crc(Blob("123456789"), c.model, c.engine), c.expected) << "model " << c.model << ", engine " << c.engine;
}

TEST_F(CodecCommands, CrcOfAnEmptyBlobIsZeroForEveryModel) {
  // Not the models' initial values passed through the final step (0xFFFF for model 0).
  for (int16_t model = 0; model <= 2; ++model)
    for (int16_t engine = 0; engine <= 1; ++engine) EXPECT_EQ(Crc(Blob(""), model, engine), 0) << model << engine;
}

TEST_F(CodecCommands, CrcEnginesAgreeOnLongerBlobs) {
  std::mt19937 generator(46);
  for (size_t length : {1u, 15u, 16u, 17u, 255u, 4096u, 100003u}) {
    const Value blob = BlobBytes(RandomBytes(generator, length, 8));
    for (int16_t model = 0; model <= 2; ++model)
      EXPECT_EQ(Crc(blob, model, 0), Crc(blob, model, 1)) << "length " << length << ", model " << model;
  }
}

// ---------------------------------------------------------------------------
// Commands 25 and 26
// ---------------------------------------------------------------------------

TEST_F(CodecCommands, Base64LengthsAtGroupBoundaries) {
  struct Case {
    const char* bytes;
    const char* text;
  };
  const Case cases[] = {
      {"M", "TQ=="}, {"Ma", "TWE="}, {"Man", "TWFu"}, {"Many", "TWFueQ=="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BlobOf(CallForResult("LQM_EncodeBase64", {Blob(c.bytes)})), BytesOf(c.text)) << c.bytes;
    EXPECT_EQ(BlobOf(CallForResult("LQM_DecodeBase64", {Blob(c.text)})), BytesOf(c.bytes)) << c.text;
  }
  // 57 bytes are one classic 76-character line; the command never breaks lines.
  const Bytes line = BlobOf(CallForResult("LQM_EncodeBase64", {Blob(std::string(57, '\xA5'))}));
  EXPECT_EQ(line.size(), 76u);
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 0);
}

TEST_F(CodecCommands, Base64EmptyResultsAreEmptyBlobs) {
  // An empty BLOB comes back as an empty BLOB result, not as no result.
  const char* inputs[] = {"", "====", "-_ \r\n", "\xC3\xA9", "T", "TQ"};
  for (const char* input : inputs) {
    std::optional<Value> decoded = CallForResult("LQM_DecodeBase64", {Blob(input)});
    ASSERT_TRUE(decoded) << input;
    EXPECT_EQ(*decoded, Blob("")) << input;
  }
  std::optional<Value> encoded = CallForResult("LQM_EncodeBase64", {Blob("")});
  ASSERT_TRUE(encoded);
  EXPECT_EQ(*encoded, Blob(""));
}

TEST_F(CodecCommands, Base64DecodingThroughTheCommandIsLenient) {
  struct Case {
    const char* text;
    const char* bytes;
  };
  const Case cases[] = {
      {"TWFu\r\nTWFu\nTWE=", "ManManMa"},  // line breaks of either kind
      {"T W F u", "Man"},                   // spaces
      {"TWE=TWFu", "Ma"},                   // nothing after the first "="
      {"TWFuTWE", "Man"},                   // an unpadded tail of 3 values is dropped
      {"-TW_Fu", "Man"},                    // URL-safe characters are skipped, not mapped
  };
  for (const Case& c : cases)
    EXPECT_EQ(BlobOf(CallForResult("LQM_DecodeBase64", {Blob(c.text)})), BytesOf(c.bytes)) << c.text;
}

TEST_F(CodecCommands, Base64RoundTripsThroughBothCommands) {
  std::mt19937 generator(25);
  for (size_t length : {1u, 2u, 3u, 4u, 57u, 58u, 1000u, 65537u}) {
    const Bytes data = RandomBytes(generator, length, 8);
    const Bytes text = BlobOf(CallForResult("LQM_EncodeBase64", {BlobBytes(data)}));
    EXPECT_EQ(text.size(), 4 * ((length + 2) / 3));
    EXPECT_EQ(BlobOf(CallForResult("LQM_DecodeBase64", {BlobBytes(text)})), data) << "length " << length;
  }
}

// ---------------------------------------------------------------------------
// Command 45
// ---------------------------------------------------------------------------

TEST_F(CodecCommands, LzwWorkedStreams) {
  struct Case {
    const char* input;
    int16_t clear, end;
    Bytes stream;
  };
  const Case cases[] = {
      // 9-bit codes 256, 65, 66, 258, 260, 257: clear first, end last.
      {"ABABABA", 3, 3, {0x80, 0x10, 0x48, 0x50, 0x28, 0x24, 0x04}},
      // 9-bit codes 65, 66, 256, 258 without clear or end codes.
      {"ABABABA", 0, 0, {0x20, 0x90, 0xA0, 0x10, 0x20}},
      {"A", 3, 3, {0x80, 0x10, 0x60, 0x20}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lzw(1, BytesOf(c.input), c.clear, c.end, -1, 12), c.stream) << c.input << " " << c.clear;
    EXPECT_EQ(Lzw(0, c.stream, c.clear, c.end, -1, 12), BytesOf(c.input)) << c.input << " " << c.clear;
    // Only the mode's low 8 bits count: 256 expands, 257 compresses.
    EXPECT_EQ(Lzw(256, c.stream, c.clear, c.end, -1, 12), BytesOf(c.input)) << c.input << " " << c.clear;
    EXPECT_EQ(Lzw(257, BytesOf(c.input), c.clear, c.end, -1, 12), c.stream) << c.input << " " << c.clear;
  }
}

TEST_F(CodecCommands, LzwFailuresGiveAnEmptyBlob) {
  const Bytes some = BytesOf("ABABABA");
  struct Case {
    const char* label;
    int16_t mode;
    Bytes input;
    int32_t rootBits;
  };
  const Case cases[] = {
      {"mode 3", 3, some, 8},
      {"mode -1", -1, some, 8},
      {"mode 255", 255, some, 8},
      {"empty input, compress", 1, {}, 8},
      {"empty input, expand", 0, {}, 8},
      // "A" is 65, above the highest root of 4-bit roots.
      {"byte above the roots", 1, some, 4},
  };
  for (const Case& c : cases) {
    std::optional<Value> result =
        CallForResult("LQM_LZWCodec", {Integer(c.mode), BlobBytes(c.input), Integer(3), Integer(3), Integer(0),
                                       Integer(0), Longint(c.rootBits), Longint(12)});
    ASSERT_TRUE(result) << c.label;
    EXPECT_EQ(*result, Blob("")) << c.label;
  }
}

TEST_F(CodecCommands, LzwRoundTripsThroughTheCommand) {
  struct Setting {
    int16_t clear, end;
    int32_t rootBits, maxBits;
  };
  // Clear codes on and off, end codes absent, on and written, roots of 3 to 8
  // bits, and dictionaries small enough to restart or freeze many times.
  const Setting settings[] = {
      {3, 3, -1, 12}, {1, 0, 8, 9}, {3, 1, 8, 14}, {0, 3, 8, 10}, {0, 0, 8, 12},
      {1, 3, 5, 7},   {3, 3, 3, 4}, {0, 3, 6, 8},  {3, 3, 7, 20}, {1, 3, 20, 0},
  };
  std::mt19937 generator(45);
  for (const Setting& s : settings) {
    const int rootBits = s.rootBits < 3 || s.rootBits > 8 ? 8 : s.rootBits;
    for (size_t length : {1u, 2u, 300u, 20000u}) {
      const Bytes input = RandomBytes(generator, length, rootBits);
      const Bytes stream = Lzw(1, input, s.clear, s.end, s.rootBits, s.maxBits);
      ASSERT_FALSE(stream.empty());
      EXPECT_EQ(Lzw(0, stream, s.clear, s.end, s.rootBits, s.maxBits), input)
          << "clear " << s.clear << ", end " << s.end << ", roots " << s.rootBits << ", max " << s.maxBits
          << ", length " << length;
    }
  }
}

TEST_F(CodecCommands, LzwPredictorIsAppliedOnlyWithAPositiveRowShape) {
  // Two rows of 3 pixels of 2 bytes, and a partial row the predictor leaves.
  const Bytes pixels = {10, 20, 13, 25, 9, 30, 200, 1, 201, 3, 199, 0, 7, 7};
  const Bytes differenced = {10, 20, 3, 5, 252, 5, 200, 1, 1, 2, 254, 253, 7, 7};
  EXPECT_EQ(Lzw(0, Lzw(2, pixels, 3, 3, 8, 12, 3, 2), 3, 3, 8, 12), differenced);
  EXPECT_EQ(Lzw(0, Lzw(2, pixels, 3, 3, 8, 12, 0, 2), 3, 3, 8, 12), pixels);
  EXPECT_EQ(Lzw(0, Lzw(2, pixels, 3, 3, 8, 12, 3, -1), 3, 3, 8, 12), pixels);
}

// The BLOB commands read their input where 4D holds it; none may change it,
// the predictor (which differences rows) included. The arguments after each
// call are the arguments before it.
TEST_F(CodecCommands, InputsAreLeftAsTheyWere) {
  std::mt19937 generator(45);
  const Bytes pixels = RandomBytes(generator, 3000, 8);
  const Value stream = BlobBytes(Lzw(1, pixels, 3, 3, 8, 12));
  const std::vector<std::pair<int32_t, std::vector<Value>>> calls = {
      {46, {BlobBytes(pixels), Integer(2), Integer(1)}},
      {25, {BlobBytes(pixels)}},
      {26, {Blob("SGVs\r\nbG8s\r\nIDRE")}},
      {45, {Integer(0), stream, Integer(3), Integer(3), Integer(0), Integer(0), Longint(8), Longint(12)}},
      {45, {Integer(1), BlobBytes(pixels), Integer(3), Integer(3), Integer(0), Integer(0), Longint(8), Longint(12)}},
      {45, {Integer(2), BlobBytes(pixels), Integer(3), Integer(3), Integer(100), Integer(3), Longint(8), Longint(12)}},
      {19, {Text("a text to seal"), Text("key"), Integer(1), Integer(1)}},
  };
  for (const auto& [routine, args] : calls) {
    const CallOutcome outcome = Call(routine, args);
    EXPECT_EQ(outcome.args, args) << "routine " << routine;
  }
}

// ---------------------------------------------------------------------------
// Command 19
// ---------------------------------------------------------------------------

TEST_F(CodecCommands, CipherTextRoundTripsWithTheBase64Layer) {
  const char* texts[] = {
      "a", "sealed", "exactly8", "A longer text that takes several blocks of the cipher.",
      "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln",          // two-byte sequences
      "\xE6\x9D\xB1\xE4\xBA\xAC",                       // three-byte sequences
      "smile \xF0\x9F\x98\x80 twice \xF0\x9F\x98\x80",  // outside the BMP: a surrogate pair in 4D
  };
  const char* keys[] = {"", "k", "583914_27", "a key longer than sixteen bytes", "cl\xC3\xA9"};
  for (const char* text : texts)
    for (const char* key : keys) {
      std::optional<Value> sealed = Cipher(Text(text), Text(key), 1, 1);
      ASSERT_TRUE(sealed);
      EXPECT_NE(*sealed, Text(text));
      EXPECT_EQ(Utf8Of(Cipher(*sealed, Text(key), 0, 1)), text) << "key " << key;
      // Only the direction's low 8 bits count: 256 opens.
      EXPECT_EQ(Utf8Of(Cipher(*sealed, Text(key), 256, 1)), text) << "key " << key;
    }
}

TEST_F(CodecCommands, CipherTextSealedLengthsCountUtf8Bytes) {
  struct Case {
    std::string text;
    size_t characters;
  };
  const Case cases[] = {
      {"1", 12},        {"12", 12},         {"123", 12},        {"1234", 12},     {"12345", 24},
      {"1234567", 24},  {"12345678", 12},   {"123456789", 24},  {"123456789012", 24},
      {"\xC3\xA9", 12},                          // 1 character, 2 bytes
      {"\xF0\x9F\x98\x80", 12},                  // 2 UTF-16 units, 4 bytes
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 24},          // 3 characters, 6 bytes
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 12},  // 8 bytes
  };
  for (const Case& c : cases) {
    std::optional<Value> sealed = Cipher(Text(c.text), Text("key"), 1, 1);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(Utf8Of(sealed).size(), c.characters) << c.text;
  }
}

TEST_F(CodecCommands, CipherTextKeysCountByTheirFirstSixteenBytes) {
  const std::string first16 = "0123456789abcdef";
  std::string huge(40000, 'x');
  huge.replace(0, 16, first16);
  const Value data = Text("the same envelope for every key");
  std::optional<Value> reference = Cipher(data, Text(first16), 1, 1);
  ASSERT_TRUE(reference);
  for (const std::string& key : {first16 + "A", first16 + "\xC3\xA9\xC3\xA9", huge}) {
    EXPECT_EQ(Cipher(data, Text(key), 1, 1), reference) << key.size() << " bytes";
    EXPECT_EQ(Utf8Of(Cipher(*reference, Text(key), 0, 1)), "the same envelope for every key") << key.size();
  }
  // A 16th byte that differs changes the envelope.
  EXPECT_NE(Cipher(data, Text("0123456789abcdeF"), 1, 1), reference);
}

TEST_F(CodecCommands, CipherTextOfAnEmptyTextIsEmpty) {
  for (int16_t direction : {0, 1})
    for (int16_t base64 : {0, 1}) {
      std::optional<Value> result = Cipher(Text(""), Text("key"), direction, base64);
      ASSERT_TRUE(result);
      EXPECT_EQ(*result, Text(""));
    }
  // Too short to be an envelope: its decoded bytes come back as they are.
  EXPECT_EQ(Utf8Of(Cipher(Text("TWFu"), Text("key"), 0, 1)), "Man");
}

// ---------------------------------------------------------------------------
// Without a bundle
// ---------------------------------------------------------------------------

// A host whose application folder holds no plugin bundle, so discovery fails
// on every call: the codec commands need no resources and still answer.
class CodecCommandsWithoutBundle : public PluginTest {
 protected:
  CodecCommandsWithoutBundle() { initialise_ = false; }
  void SetUp() override {
    PluginTest::SetUp();
    emptyFolder_ = std::filesystem::temp_directory_path() /
                   ("lqm codecs no bundle " + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(emptyFolder_);
    std::filesystem::create_directories(emptyFolder_);
    host::Settings settings = host().GetSettings();
    settings.appFolder = emptyFolder_;
    host().SetSettings(settings);
    ASSERT_EQ(host().Select(abi::kSelectorInit), abi::kInterfaceVersion);
  }
  void TearDown() override {
    PluginTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(emptyFolder_, ignored);
  }
  std::filesystem::path emptyFolder_;
};

TEST_F(CodecCommandsWithoutBundle, CodecCommandsStillAnswer) {
  // The version needs the bundle; its empty answer shows discovery failed.
  EXPECT_EQ(CallForResult("LQM_GetVersion"), Text(""));
  EXPECT_EQ(CallForResult("LQM_ComputeCRC", {Blob("123456789"), Integer(2), Integer(1)}), Longint(-873187034));
  EXPECT_EQ(CallForResult("LQM_EncodeBase64", {Blob("Man")}), Blob("TWFu"));
  EXPECT_EQ(CallForResult("LQM_DecodeBase64", {Blob("TWFu")}), Blob("Man"));
  const Value stream = Blob(std::string("\x80\x10\x48\x50\x28\x24\x04", 7));
  EXPECT_EQ(CallForResult("LQM_LZWCodec", {Integer(1), Blob("ABABABA"), Integer(3), Integer(3), Integer(0),
                                           Integer(0), Longint(-1), Longint(12)}),
            stream);
  EXPECT_EQ(CallForResult("LQM_LZWCodec", {Integer(0), stream, Integer(3), Integer(3), Integer(0), Integer(0),
                                           Longint(-1), Longint(12)}),
            Blob("ABABABA"));
  std::optional<Value> sealed = CallForResult("LQM_CipherText", {Text("no bundle"), Text("k"), Integer(1), Integer(1)});
  ASSERT_TRUE(sealed);
  EXPECT_EQ(sealed->text.size(), 24u);
  EXPECT_EQ(CallForResult("LQM_CipherText", {*sealed, Text("k"), Integer(0), Integer(1)}), Text("no bundle"));
}

// ---------------------------------------------------------------------------
// Several threads
// ---------------------------------------------------------------------------

TEST_F(CodecCommands, FiveCommandsFromEightThreadsMatchOneThread) {
  std::mt19937 generator(8);
  const Value data = BlobBytes(RandomBytes(generator, 3000, 8));
  struct Request {
    const char* name;
    std::vector<Value> args;
  };
  std::vector<Request> requests = {
      {"LQM_ComputeCRC", {data, Integer(0), Integer(1)}},
      {"LQM_ComputeCRC", {data, Integer(2), Integer(0)}},
      {"LQM_EncodeBase64", {data}},
      {"LQM_LZWCodec", {Integer(1), data, Integer(3), Integer(3), Integer(0), Integer(0), Longint(8), Longint(9)}},
      {"LQM_CipherText", {Text("thread \xF0\x9F\x98\x80 text"), Text("key"), Integer(1), Integer(1)}},
  };
  // The inverse of each request that has one, fed with the first answers.
  std::vector<std::optional<Value>> expected;
  for (const Request& r : requests) expected.push_back(CallForResult(r.name, r.args));
  requests.push_back({"LQM_DecodeBase64", {*expected[2]}});
  requests.push_back({"LQM_LZWCodec",
                      {Integer(0), *expected[3], Integer(3), Integer(3), Integer(0), Integer(0), Longint(8), Longint(9)}});
  requests.push_back({"LQM_CipherText", {*expected[4], Text("key"), Integer(0), Integer(1)}});
  for (size_t i = expected.size(); i < requests.size(); ++i)
    expected.push_back(CallForResult(requests[i].name, requests[i].args));
  ASSERT_EQ(expected[5], data);
  ASSERT_EQ(expected[6], data);

  std::atomic<int> mismatches{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round)
        for (size_t i = 0; i < requests.size(); ++i) {
          // Each thread walks the requests from its own starting point.
          const size_t k = (i + size_t(t)) % requests.size();
          CallOutcome outcome = host().Call(requests[k].name, requests[k].args);
          if (!outcome.ok()) ++refused;
          if (outcome.result != expected[k]) ++mismatches;
        }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace lqm::testing
