// The text layer between 4D's UTF-16 and the plugin's UTF-8: the three
// conversions (sizes, terminators that are added once and never doubled, no
// buffer for an empty result) and folder paths that do not fit, called
// directly on the plugin's code with the development host's callback behind
// them. Length-prefixed resource strings are checked through their commands
// in tests/resources, texts outside the Basic Multilingual Plane through a
// whole command in codec_commands_test.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/plugin_heap.h"
#include "host/host_calls.h"
#include "host/texts.h"
#include "lqm-host/lib/host.h"

namespace {

using lqm::host::Host;
using lqm::host::LiveCounts;

class Texts : public testing::Test {
 protected:
  void SetUp() override { HostSetCallback(reinterpret_cast<void*>(&Host::Callback)); }
  void TearDown() override {
    HostSetCallback(nullptr);
    EXPECT_EQ(host_.GetLiveCounts(), LiveCounts{});
  }
  Host host_;
};

enum class Conversion { kUtf16ToUtf8, kSystemToUtf8, kUtf8ToUtf16 };

int64_t Convert(Conversion c, const std::string& src, char** buffer, bool terminate) {
  const auto size = static_cast<int64_t>(src.size());
  switch (c) {
    case Conversion::kUtf16ToUtf8: return Utf16ToUtf8(src.data(), size, buffer, terminate);
    case Conversion::kSystemToUtf8: return SystemToUtf8(src.data(), size, buffer, terminate);
    case Conversion::kUtf8ToUtf16: return Utf8ToUtf16(src.data(), size, buffer, terminate);
  }
  return 0;
}

std::string Utf16Bytes(const std::u16string& units) {
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

TEST_F(Texts, ConversionsSizeTerminateAndShrink) {
  struct Case {
    const char* label;
    Conversion conversion;
    std::string source;
    bool terminate;
    std::string expected;  // the bytes, terminator included
  };
  const std::string ellipses(255, '\xC9');  // legacy "…", three UTF-8 bytes each
  std::string ellipsesUtf8;
  for (int i = 0; i < 255; ++i) ellipsesUtf8 += "\xE2\x80\xA6";
  const Case cases[] = {
      {"utf16 empty, terminated", Conversion::kUtf16ToUtf8, "", true, std::string(1, '\0')},
      {"utf16 empty", Conversion::kUtf16ToUtf8, "", false, ""},
      {"utf16 e-acute and a clef", Conversion::kUtf16ToUtf8, Utf16Bytes(u"\u00E9\U0001D11E"), true,
       std::string("\xC3\xA9\xF0\x9D\x84\x9E", 6) + '\0'},
      {"utf16 already terminated", Conversion::kUtf16ToUtf8, Utf16Bytes(std::u16string(u"a\0", 2)), true,
       std::string("a\0", 2)},
      {"legacy e-acute", Conversion::kSystemToUtf8, "\x8E", true, std::string("\xC3\xA9") + '\0'},
      {"legacy 255 bytes triple", Conversion::kSystemToUtf8, ellipses, true, ellipsesUtf8 + '\0'},
      {"legacy 255 bytes, no terminator", Conversion::kSystemToUtf8, ellipses, false, ellipsesUtf8},
      {"utf8 empty, terminated", Conversion::kUtf8ToUtf16, "", true, std::string(2, '\0')},
      {"utf8 clef", Conversion::kUtf8ToUtf16, "\xF0\x9D\x84\x9E", true,
       Utf16Bytes(std::u16string(u"\U0001D11E\0", 3))},
      {"utf8 already terminated", Conversion::kUtf8ToUtf16, std::string("a\0", 2), true,
       Utf16Bytes(std::u16string(u"a\0", 2))},
      {"utf8 no terminator", Conversion::kUtf8ToUtf16, "ab", false, Utf16Bytes(u"ab")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (bool preallocated : {false, true}) {
      char* buffer = preallocated ? static_cast<char*>(PluginMalloc(7)) : nullptr;
      const int64_t n = Convert(c.conversion, c.source, &buffer, c.terminate);
      ASSERT_EQ(n, static_cast<int64_t>(c.expected.size()));
      if (n == 0) {
        EXPECT_EQ(buffer, nullptr) << "an empty result keeps no buffer";
      } else {
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), c.expected);
      }
      PluginFree(buffer);
    }
  }
}

// A host that reports every byte it was offered as written (one that counts
// a terminator of its own, say) leaves no room for the plugin's terminator:
// the last unit gives way, and nothing is written past the buffer.
void LQM_CALLCONV FillingHost(int16_t selector, lqm::abi::EngineBlock* block) {
  if (selector != lqm::abi::kConvertCharsetToCharset) return;
  std::memset(block->ptr2, 'x', static_cast<size_t>(block->param3));
  block->error = 0;
}

TEST_F(Texts, AHostThatFillsTheWholeBufferCostsTheLastUnitNotAnOverrun) {
  HostSetCallback(reinterpret_cast<void*>(&FillingHost));
  const std::string two = Utf16Bytes(u"ab");  // UTF-8 room: 7 bytes
  char* buffer = nullptr;
  ASSERT_EQ(Utf16ToUtf8(two.data(), 4, &buffer, true), 7);
  EXPECT_EQ(std::string(buffer, 7), std::string("xxxxxx\0", 7));
  ASSERT_EQ(Utf16ToUtf8Text(two.data(), 4, &buffer), 6);
  EXPECT_EQ(std::string(buffer, 7), std::string("xxxxxx\0", 7)) << "terminator after the text";
  ASSERT_EQ(Utf8ToUtf16("ab", 2, &buffer, true), 6);  // UTF-16 room: 6 bytes
  EXPECT_EQ(std::string(buffer, 6), std::string("xxxx\0\0", 6));
  PluginFree(buffer);
}

TEST_F(Texts, FolderPathsThatDoNotFitGiveTheEmptyString) {
  lqm::host::Settings s = host_.GetSettings();
  s.platform = lqm::host::Platform::kWindows;
  s.appFolder = std::filesystem::temp_directory_path();
  host_.SetSettings(s);
  char full[4096];
  GetFolderPathUtf8(full, sizeof full, 4, false);
  const size_t length = std::strlen(full);
  ASSERT_GT(length, 2u);
  EXPECT_EQ(full[length - 1], '\\');
  for (size_t capacity : {length + 1, length, size_t(1)}) {
    SCOPED_TRACE(capacity);
    std::string out(capacity + 8, '#');
    GetFolderPathUtf8(out.data(), static_cast<int64_t>(capacity), 4, false);
    EXPECT_STREQ(out.c_str(), capacity > length ? full : "");
    EXPECT_EQ(out.substr(capacity), std::string(8, '#')) << "written past the buffer";
  }
}

}  // namespace
