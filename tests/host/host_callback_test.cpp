// The development host's callback driven directly with hand-built engine
// blocks, no plugin involved: handles, BLOBs, texts, character sets, the
// error word's discipline and the registry's defence against bad pointers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "lqm-host/lib/charsets.h"
#include "lqm-host/lib/host.h"

namespace {

namespace abi = lqm::abi;

// These numbers are 4D's, not ours. The development host takes them from the
// same header as the plugin, so no call through it could notice one edited
// by mistake; only this list, copied from 4D's interface, does.
static_assert(abi::kGetVariable == -19 && abi::kGetInterprocessVariable == -125 && abi::kClearVariable == -410 &&
              abi::kConvertString == -424 && abi::kGet4DFolder == -427 && abi::kHandleManager == -434 &&
              abi::kGetCommandId == -506 && abi::kCreateUnistring == -612 && abi::kSetUnistring == -613 &&
              abi::kDisposeUnistring == -614 && abi::kVariableToString == -615 &&
              abi::kExecuteCommandById == -636 && abi::kConvertCharsetToCharset == -675);
static_assert(abi::kBlobMeasureOrCopy == 4 && abi::kBlobFromBytes == 5 && abi::kHandleNew == 1 &&
              abi::kHandleDispose == 2 && abi::kHandleSetSize == 3 && abi::kHandleGetSize == 4 &&
              abi::kHandleLock == 5 && abi::kHandleUnlock == 6 && abi::kHandleGetState == 7 &&
              abi::kHandleSetState == 8 && abi::kFolderRequestTag == 0x47344446);
using lqm::host::Host;

abi::EngineBlock ZeroBlock() {
  abi::EngineBlock block;
  std::memset(&block, 0, sizeof block);
  return block;
}

class Callback : public testing::Test {
 protected:
  // Runs one selector through the static callback, as the plugin does.
  abi::EngineBlock Run(int16_t selector, abi::EngineBlock block) {
    Host::Callback(selector, &block);
    return block;
  }
  char** NewHandle(int64_t size) {
    abi::EngineBlock b = ZeroBlock();
    b.param1 = abi::kHandleNew;
    b.param2 = size;
    b = Run(abi::kHandleManager, b);
    EXPECT_EQ(b.error, 0);
    return static_cast<char**>(b.handle);
  }
  abi::EngineBlock HandleOp(int64_t op, char** handle, int64_t param2 = 0) {
    abi::EngineBlock b = ZeroBlock();
    b.param1 = op;
    b.param2 = param2;
    b.handle = handle;
    return Run(abi::kHandleManager, b);
  }
  abi::TextRecord NewText(const char16_t* units) {
    abi::EngineBlock b = ZeroBlock();
    b.handle = const_cast<char16_t*>(units);
    b = Run(abi::kCreateUnistring, b);
    EXPECT_EQ(b.error, 0);
    abi::TextRecord text;
    std::memcpy(&text, &b.uniString1, sizeof text);
    return text;
  }
  int16_t DisposeText(const abi::TextRecord& text) {
    abi::EngineBlock b = ZeroBlock();
    std::memcpy(&b.uniString1, &text, sizeof text);
    return Run(abi::kDisposeUnistring, b).error;
  }
  lqm::host::LiveCounts Live() { return host_.GetLiveCounts(); }

  Host host_;
};

// ---------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------

TEST_F(Callback, HandlesAreMasterPointersEvenAtSizeZero) {
  for (int64_t size : {0, 1, 7, 4096}) {
    char** handle = NewHandle(size);
    ASSERT_NE(handle, nullptr) << size;
    ASSERT_NE(*handle, nullptr) << "size " << size << ": the data must be reachable without locking";
    abi::EngineBlock b = HandleOp(abi::kHandleGetSize, handle);
    EXPECT_EQ(int64_t{b.param2}, size);
    b = HandleOp(abi::kHandleLock, handle);
    EXPECT_EQ(reinterpret_cast<char*>(b.param3), *handle) << "lock gives the master pointer's data";
    EXPECT_EQ(HandleOp(abi::kHandleGetState, handle).param2 & 0x80, 0x80);
    HandleOp(abi::kHandleUnlock, handle);
    EXPECT_EQ(HandleOp(abi::kHandleGetState, handle).param2 & 0x80, 0);
    EXPECT_EQ(HandleOp(abi::kHandleDispose, handle).error, 0);
  }
  EXPECT_EQ(Live(), lqm::host::LiveCounts{});
}

TEST_F(Callback, ResizingKeepsTheBytesThatSurvive) {
  char** handle = NewHandle(5);
  std::memcpy(*handle, "ABCDE", 5);
  struct Step {
    int64_t size;
    std::string kept;
  } steps[] = {{8, "ABCDE"}, {3, "ABC"}, {0, ""}, {2, ""}};
  std::string expected = "ABCDE";
  for (const Step& step : steps) {
    ASSERT_EQ(HandleOp(abi::kHandleSetSize, handle, step.size).error, 0);
    EXPECT_EQ(int64_t{HandleOp(abi::kHandleGetSize, handle).param2}, step.size);
    EXPECT_EQ(std::string(*handle, step.kept.size()), step.kept) << "size " << step.size;
  }
  HandleOp(abi::kHandleDispose, handle);
}

TEST_F(Callback, BadHandlesGetErrorsNotCrashes) {
  char** handle = NewHandle(4);
  ASSERT_EQ(HandleOp(abi::kHandleDispose, handle).error, 0);
  char* foreign[1] = {nullptr};
  struct Case {
    const char* what;
    int64_t op;
    char** handle;
    int64_t param2;
    int16_t error;
  } cases[] = {
      {"dispose twice", abi::kHandleDispose, handle, 0, lqm::host::kErrorUnknownBlock},
      {"resize a freed handle", abi::kHandleSetSize, handle, 8, lqm::host::kErrorUnknownBlock},
      {"size of a foreign pointer", abi::kHandleGetSize, foreign, 0, lqm::host::kErrorUnknownBlock},
      {"lock null", abi::kHandleLock, nullptr, 0, lqm::host::kErrorNullHandle},
      {"negative new size", abi::kHandleNew, nullptr, -1, lqm::host::kErrorBadParameter},
      {"unknown sub-operation", 99, nullptr, 0, lqm::host::kErrorBadParameter},
  };
  for (const Case& c : cases) EXPECT_EQ(HandleOp(c.op, c.handle, c.param2).error, c.error) << c.what;
  EXPECT_EQ(Live(), lqm::host::LiveCounts{});
}

TEST_F(Callback, BlobsMeasureCopyAndCreate) {
  abi::EngineBlock b = ZeroBlock();
  b.param1 = abi::kBlobFromBytes;
  b.param3 = reinterpret_cast<int64_t>("hello");
  b.param4 = 5;
  b = Run(abi::kConvertString, b);
  ASSERT_EQ(b.error, 0);
  char** handle = static_cast<char**>(b.handle);
  EXPECT_EQ(Live().handles, 1);

  abi::EngineBlock measure = ZeroBlock();
  measure.param1 = abi::kBlobMeasureOrCopy;
  measure.handle = handle;
  measure = Run(abi::kConvertString, measure);
  EXPECT_EQ(int64_t{measure.param4}, 5);
  char copy[5] = {};
  measure.param3 = reinterpret_cast<int64_t>(copy);
  measure = Run(abi::kConvertString, measure);
  EXPECT_EQ(std::string(copy, 5), "hello");

  // An empty BLOB from no bytes is still a real handle.
  abi::EngineBlock empty = ZeroBlock();
  empty.param1 = abi::kBlobFromBytes;
  empty = Run(abi::kConvertString, empty);
  EXPECT_EQ(empty.error, 0);
  EXPECT_NE(static_cast<void*>(empty.handle), nullptr);
  HandleOp(abi::kHandleDispose, static_cast<char**>(empty.handle));
  HandleOp(abi::kHandleDispose, handle);
  EXPECT_EQ(Live(), lqm::host::LiveCounts{});
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

TEST_F(Callback, TextsAreTerminatedAndCounted) {
  abi::TextRecord text = NewText(u"abc\U0001F600");
  EXPECT_EQ(text.length, 5);
  EXPECT_EQ(text.units[5], 0) << "units are NUL-terminated";
  EXPECT_EQ(Live().texts, 1) << "an undisposed text is live";
  EXPECT_EQ(DisposeText(text), 0);
  EXPECT_EQ(Live().texts, 0);
  EXPECT_EQ(DisposeText(text), lqm::host::kErrorUnknownBlock) << "a second dispose is caught";
  EXPECT_EQ(DisposeText(abi::TextRecord{0, nullptr, 0, 0}), 0) << "an all-zero record is accepted";
}

// The terminator is found at every distance from every alignment of the
// units: the host scans whole texts several units a step.
TEST_F(Callback, TextsAreMeasuredAtEveryLengthAndAlignment) {
  std::vector<char16_t> buffer(128, u'x');
  for (size_t start = 0; start < 16; ++start) {
    for (size_t length = 0; length < 40; ++length) {
      std::fill(buffer.begin(), buffer.end(), u'\u00E9');
      buffer[start + length] = 0;
      abi::TextRecord text = NewText(buffer.data() + start);
      ASSERT_EQ(text.length, int32_t(length)) << "start " << start;
      EXPECT_EQ(DisposeText(text), 0);
    }
  }
}

TEST_F(Callback, SetTextReplacesAndKeepsTheOwner) {
  abi::TextRecord text = NewText(u"old");
  abi::EngineBlock b = ZeroBlock();
  std::memcpy(&b.uniString1, &text, sizeof text);
  b.handle = const_cast<char16_t*>(u"brand new");
  b = Run(abi::kSetUnistring, b);
  ASSERT_EQ(b.error, 0);
  abi::TextRecord replaced;
  std::memcpy(&replaced, &b.uniString1, sizeof replaced);
  EXPECT_EQ(replaced.length, 9);
  EXPECT_NE(static_cast<const void*>(replaced.units), static_cast<const void*>(text.units)) << "a replaced text never reuses the old units' address";
  EXPECT_EQ(std::u16string(replaced.units), u"brand new");
  EXPECT_EQ(Live().texts, 1) << "the old text is released, the new one is the plugin's";
  EXPECT_EQ(DisposeText(replaced), 0);
}

// ---------------------------------------------------------------------------
// The error word and the untouched fields
// ---------------------------------------------------------------------------

TEST_F(Callback, SuccessLeavesEveryOtherFieldAlone) {
  // A block full of a pattern: a successful call may change only its outputs.
  abi::EngineBlock before;
  std::memset(&before, 0x5C, sizeof before);
  before.param1 = abi::kHandleNew;
  before.param2 = 16;
  abi::EngineBlock after = Run(abi::kHandleManager, before);
  EXPECT_EQ(after.error, before.error) << "the error word is written only on failure";
  before.handle = after.handle;  // the one output
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  HandleOp(abi::kHandleDispose, static_cast<char**>(after.handle));
}

TEST_F(Callback, UnknownSelectorsFail) {
  for (int16_t selector : {int16_t(0), int16_t(-3), int16_t(-999), int16_t(1)})
    EXPECT_EQ(Run(selector, ZeroBlock()).error, lqm::host::kErrorUnknownSelector) << selector;
}

// ---------------------------------------------------------------------------
// Character sets
// ---------------------------------------------------------------------------

std::string Convert(const std::string& bytes, int64_t from, int64_t to, size_t capacity,
                    int16_t* error = nullptr) {
  std::string out(capacity, '\xEE');
  abi::EngineBlock b = ZeroBlock();
  b.ptr1 = const_cast<char*>(bytes.data());
  b.param1 = int64_t(bytes.size());
  b.param2 = from;
  b.ptr2 = out.data();
  b.param3 = int64_t(capacity);
  b.param4 = to;
  Host::Callback(abi::kConvertCharsetToCharset, &b);
  if (error) *error = b.error;
  EXPECT_LE(int64_t{b.param3}, int64_t(capacity));
  EXPECT_GE(int64_t{b.param3}, 0);
  out.resize(size_t(b.param3 < 0 ? 0 : b.param3));
  return out;
}

std::string Utf16(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) bytes += char(u & 0xFF), bytes += char(u >> 8);
  return bytes;
}

TEST_F(Callback, UnicodeConversionsHandleDamageAndCapacity) {
  const std::string smile8 = "\xF0\x9F\x98\x80";              // U+1F600
  const std::string smile16 = Utf16(u"\U0001F600");
  const std::string fffd8 = "\xEF\xBF\xBD";
  const std::string fffd16 = Utf16(u"\uFFFD");
  const std::string high("\x00\xD8", 2), low("\x00\xDC", 2);  // lone surrogates
  struct Case {
    const char* what;
    std::string in;
    int64_t from, to;
    size_t capacity;
    std::string out;
  } cases[] = {
      {"non-BMP 8->16", smile8, 7, 2, 16, smile16},
      {"non-BMP 16->8", smile16, 2, 7, 16, smile8},
      {"only whole characters fit (8->16)", "a" + smile8, 7, 2, 5, Utf16(u"a")},
      {"only whole characters fit (16->8)", Utf16(u"\u00E9\u00E9"), 2, 7, 3, "\xC3\xA9"},
      {"capacity 0", "abc", 7, 2, 0, ""},
      {"lone high surrogate 16->8", Utf16(u"a") + high + Utf16(u"b"), 2, 7, 16, "a" + fffd8 + "b"},
      {"lone low surrogate 16->8", low, 2, 7, 16, fffd8},
      {"lone surrogate kept 16->16", high, 2, 2, 16, high},
      {"odd trailing byte", Utf16(u"a") + "b", 2, 7, 16, "a" + fffd8},
      {"invalid lead byte", "\xFF" "a", 7, 2, 16, fffd16 + Utf16(u"a")},
      {"overlong form", "\xC0\xAF", 7, 2, 16, fffd16 + fffd16},
      {"truncated sequence", "\xE2\x82", 7, 2, 16, fffd16 + fffd16},
      {"encoded surrogate", "\xED\xA0\x80", 7, 2, 16, fffd16 + fffd16 + fffd16},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 7, 2, 32, fffd16 + fffd16 + fffd16 + fffd16},
      {"UTF-8 to UTF-8 repairs", "a\xFF", 7, 7, 16, "a" + fffd8},
      // The Mac Roman table is tools/resfile's, tested there; a character
      // it lacks becomes '?'.
      {"no Mac Roman form", Utf16(u"\u00E9\u4E00"), 2, 100, 8, "\x8E?"},
  };
  for (const Case& c : cases) {
    int16_t error = -1;
    EXPECT_EQ(Convert(c.in, c.from, c.to, c.capacity, &error), c.out) << c.what;
    EXPECT_EQ(error, 0) << c.what;
  }
}

// Long runs of ASCII take a faster path than other characters. Texts of
// ASCII with other characters at random places, at random capacities,
// convert exactly as the same characters converted one at a time and joined
// while they fit.
TEST_F(Callback, AsciiRunsConvertAsSingleCharactersDo) {
  const std::u16string others[] = {u"\u00E9", u"\u20AC", u"\U0001F600", u"\u007F", u"\u0080", u"\u00FF"};
  std::mt19937 random(7);
  const std::pair<int64_t, int64_t> pairs[] = {{2, 7}, {7, 2}, {7, 7}, {100, 2}, {2, 100}, {100, 7}, {7, 100}};
  for (int round = 0; round < 400; ++round) {
    std::vector<std::u16string> characters(random() % 90);
    for (auto& c : characters) {
      c = random() % 12 == 0 ? others[random() % 6] : std::u16string(1, char16_t(1 + random() % 127));
    }
    for (const auto& [from, to] : pairs) {
      std::string text, expected;
      std::vector<std::string> pieces;
      for (const auto& c : characters) {
        std::string piece = from == 2 ? Utf16(c) : Convert(Utf16(c), 2, from, 8);
        text += piece;
        pieces.push_back(Convert(piece, from, to, 8));
      }
      const size_t capacity = random() % 2 ? 4 * text.size() + 8 : random() % (text.size() + 1);
      for (const std::string& piece : pieces) {
        if (expected.size() + piece.size() > capacity) break;
        expected += piece;
      }
      ASSERT_EQ(Convert(text, from, to, capacity), expected)
          << "round " << round << ", " << from << " to " << to << ", capacity " << capacity;
    }
  }
}

TEST_F(Callback, ConversionRefusesBadArguments) {
  struct Case {
    const char* what;
    int64_t from, to;
    bool nullSource;
  } cases[] = {
      {"unsupported source set", 1005, 7, false},
      {"unsupported target set", 7, 101, false},
      {"null source with bytes", 7, 2, true},
  };
  for (const Case& c : cases) {
    abi::EngineBlock b = ZeroBlock();
    char out[8];
    b.ptr1 = c.nullSource ? nullptr : const_cast<char*>("abc");
    b.param1 = 3;
    b.param2 = c.from;
    b.ptr2 = out;
    b.param3 = 8;
    b.param4 = c.to;
    b = Run(abi::kConvertCharsetToCharset, b);
    EXPECT_EQ(b.error, lqm::host::kErrorBadParameter) << c.what;
    EXPECT_EQ(int64_t{b.param3}, 0) << c.what << ": nothing written is reported";
  }
}

}  // namespace
