// The resource commands (routines 1, 2, 11 to 18 and 24) and the readers
// under them, run through the entry point inside the development host on
// resource files written for each case: the built bundle's own answers
// (none of its text commands answering U+FFFD), resources whose length bytes claim more than their data holds, boundaries
// where a string ends exactly at the data's end, legacy strings whose UTF-8
// form is three times longer, and resource files that are not resource files
// at all. Every call also proves that no host object is left behind.
//
// Each content case runs in a fresh host: the host keeps every resource file
// it ever opened and searches the latest first, so one process-wide host
// would let an earlier case answer for a resource a later case lacks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/command_table.h"
#include "support/app_folder.h"
#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;
using lqm::host::Platform;
using lqm::host::Settings;
using lqm::testing::Blob;
using lqm::testing::TempAppFolder;
using lqm::testing::Text;
using lqm::testing::TextArray;
using lqm::testing::Value;

const int32_t kGetVersion = lqm::testing::RoutineOf("LQM_GetVersion");
const int32_t kGetInfoString = lqm::testing::RoutineOf("LQM_GetInfoString");
const int32_t kGetString1 = lqm::testing::RoutineOf("LQM_GetString1");
const int32_t kGetDataBlob1 = lqm::testing::RoutineOf("LQM_GetDataBlob1");
const int32_t kGetSealedText = lqm::testing::RoutineOf("LQM_GetSealedText");
const int32_t kGetFormatLabels = lqm::testing::RoutineOf("LQM_GetFormatLabels");
constexpr char kPluginKey[] = "583914_27";

// Hex digits of a byte string, for `hex { }` bodies.
std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
    out += ' ';
  }
  return out;
}

std::string Repeat(const std::string& unit, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += unit;
  return out;
}

class ResourceTest : public lqm::testing::PluginTest {
 protected:
  // Makes `mainSource` the bundle's only (Windows) resource file.
  void UseMainFile(const std::vector<uint8_t>& bytes) {
    TempAppFolder::WriteBytes(TempAppFolder::WindowsMainFile(folder_.root()), bytes);
    Settings s = host().GetSettings();
    s.platform = Platform::kWindows;
    s.appFolder = folder_.root();
    host().SetSettings(s);
  }
  Value Result(int32_t routine) {
    const auto result = Call(routine).result;
    return result ? *result : Value::Undefined();
  }
  TempAppFolder folder_;
};

// ---------------------------------------------------------------------------
// The built bundle
// ---------------------------------------------------------------------------

TEST_F(ResourceTest, TheBuiltBundleAnswersEveryResourceCommand) {
  // The fixture's default application folder is the build's own.
  const Value version = Result(kGetVersion);
  ASSERT_EQ(version.kind, Text("").kind);
  EXPECT_FALSE(version.text.empty());
  const std::string versionUtf8(version.text.begin(), version.text.end());  // ASCII
  EXPECT_EQ(Result(kGetInfoString),
            Text("VarnelFolioforge " + versionUtf8 +
                 ": document formats, print sessions and data codecs for 4D"));
  const char* strings[] = {"Print to document", "Preparing document\xE2\x80\xA6",
                           "The document could not be written.", "Document saved."};
  // The localized strings are stored in UTF-8 and handed back unconverted.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Result(kGetString1 + i), Text(strings[i])) << "item " << i + 1;
  EXPECT_EQ(Result(kGetDataBlob1), Blob("paper=A4\nwidth_pt=595\nheight_pt=842\norientation=portrait\n"));
  const Value sealed = Result(kGetSealedText);
  EXPECT_EQ(sealed, Text("VarnelFolioforge " + versionUtf8 +
                         ". Licensed for use inside 4D applications by their developers; "
                         "redistribution of the bundle is allowed unchanged."));
  // Routine 1 after shutdown answers an empty text.
  host().Select(-2);
  EXPECT_EQ(host().Call(kGetVersion, {}).result, Text(""));
}

// Every text command without parameters, on the built bundle: none answers
// U+FFFD, the mark of resource bytes handed on in a charset they are not in.
TEST_F(ResourceTest, NoTextCommandOfTheBuiltBundleAnswersReplacementCharacters) {
  for (const CommandInfo& row : kCommandTable) {
    if (row.result != "T" || !row.parameters.empty()) continue;
    const Value answer = Result(row.number);
    EXPECT_EQ(answer.text.find(u'\uFFFD'), std::u16string::npos) << row.name;
  }
}

// ---------------------------------------------------------------------------
// Resource contents, hostile and at their boundaries
// ---------------------------------------------------------------------------

struct ContentCase {
  const char* label;
  std::string source;  // the main resource file
  int32_t routine;
  Value expected;
};

void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.label; }

std::vector<ContentCase> ContentCases() {
  const std::string ellipsis255 = Repeat("\xE2\x80\xA6", 255);  // Mac Roman 0xC9 each
  const std::string eAcute127 = Repeat("\xC3\xA9", 127);        // 254 UTF-8 bytes
  return {
      // "vers": byte 6 is the short string's length.
      {"vers short string ends exactly at the data's end",
       "resource \"vers\" 1 hex { 01 00 80 00 00 00 03 41 42 43 }", kGetVersion, Text("ABC")},
      {"vers short string one byte past the end",
       "resource \"vers\" 1 hex { 01 00 80 00 00 00 04 41 42 43 }", kGetVersion, Text("")},
      {"vers length byte claims 255", "resource \"vers\" 1 hex { 01 00 80 00 00 00 ff 41 }",
       kGetVersion, Text("")},
      {"vers of 6 bytes has no length byte", "resource \"vers\" 1 hex { 01 00 80 00 00 00 }",
       kGetVersion, Text("")},
      {"vers converted from the legacy charset", "resource \"vers\" 1 hex { 01 00 80 00 00 00 02 8e 41 }",
       kGetVersion, Text("\xC3\xA9" "A")},
      {"vers of 255 legacy bytes returned whole (765 UTF-8 bytes)",
       "resource \"vers\" 1 version { number 1 short \"" + ellipsis255 + "\" }", kGetVersion,
       Text(ellipsis255)},
      {"vers missing", "resource \"STR#\" 20015 strings { \"x\" }", kGetVersion, Text("")},
      // "STR#" 20015 item 1, converted.
      {"info item ends exactly at the data's end", "resource \"STR#\" 20015 hex { 01 00 02 41 42 }",
       kGetInfoString, Text("AB")},
      {"info item runs past the end", "resource \"STR#\" 20015 hex { 01 00 05 41 42 }",
       kGetInfoString, Text("")},
      {"info list of 2 bytes", "resource \"STR#\" 20015 hex { 01 00 }", kGetInfoString, Text("")},
      {"info list with a negative count", "resource \"STR#\" 20015 hex { ff ff 01 41 }",
       kGetInfoString, Text("")},
      {"info list counted big-endian by mistake", "resource \"STR#\" 20015 hex { 00 01 01 41 }",
       kGetInfoString, Text("A")},
      {"info of 255 legacy bytes returned whole",
       "resource \"STR#\" 20015 strings { \"" + ellipsis255 + "\" }", kGetInfoString,
       Text(ellipsis255)},
      // "STR#" 20013, unconverted.
      {"string 1 of a count-3 list", "resource \"STR#\" 20013 hex { 03 00 03 6f 6e 65 09 74 77 }",
       kGetString1, Text("one")},
      {"string 2 runs past the end", "resource \"STR#\" 20013 hex { 03 00 03 6f 6e 65 09 74 77 }",
       kGetString1 + 1, Text("")},
      {"string 3 lies after one that runs past the end",
       "resource \"STR#\" 20013 hex { 03 00 03 6f 6e 65 09 74 77 }", kGetString1 + 2, Text("")},
      {"string 4 is above the count", "resource \"STR#\" 20013 hex { 03 00 01 61 01 62 01 63 01 64 }",
       kGetString1 + 3, Text("")},
      {"string 1 of a list of 2 bytes", "resource \"STR#\" 20013 hex { 05 00 }", kGetString1, Text("")},
      {"string 1 empty", "resource \"STR#\" 20013 hex { 01 00 00 }", kGetString1, Text("")},
      {"string 2 is handed over byte for byte",
       "resource \"STR#\" 20013 hex { 02 00 01 61 02 c3 a9 }", kGetString1 + 1, Text("\xC3\xA9")},
      {"string 1 of 254 bytes returned whole",
       "resource \"STR#\" 20013 hex { 01 00 fe " + Hex(eAcute127) + "}", kGetString1, Text(eAcute127)},
      // "xpdt" blocks.
      {"data block with zero and high bytes", "resource \"xpdt\" 20014 hex { 00 ff 00 }", kGetDataBlob1,
       Blob(std::string("\0\xFF\0", 3))},
      {"data block 4 missing", "resource \"xpdt\" 20014 hex { 01 }", kGetDataBlob1 + 3, Blob("")},
      {"data block of 0 bytes", "resource \"xpdt\" 20016 hex { }", kGetDataBlob1 + 2, Blob("")},
      // "TEXT" 20601.
      {"sealed text opens with the plugin's key",
       std::string("resource \"TEXT\" 20601 sealed \"") + kPluginKey + "\" utf8 \"caf\xC3\xA9 \xF0\x9D\x84\x9E\"",
       kGetSealedText, Text("caf\xC3\xA9 \xF0\x9D\x84\x9E")},
      {"sealed text of a multiple of 8 bytes",
       std::string("resource \"TEXT\" 20601 sealed \"") + kPluginKey + "\" utf8 \"exactly8\"",
       kGetSealedText, Text("exactly8")},
      {"sealed text missing", "resource \"xpdt\" 20014 hex { 01 }", kGetSealedText, Text("")},
      {"sealed text of 0 bytes", "resource \"TEXT\" 20601 hex { }", kGetSealedText, Text("")},
      {"a TEXT too short to be an envelope gives its decoded bytes", "resource \"TEXT\" 20601 utf8 \"TWFu\"",
       kGetSealedText, Text("Man")},
      {"a TEXT of one byte is never handed back as stored", "resource \"TEXT\" 20601 utf8 \"Q\"",
       kGetSealedText, Text("")},
  };
}

class ResourceContent : public ResourceTest, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(ResourceContent, AnswersTheExpectedResult) {
  const ContentCase& c = GetParam();
  const std::vector<uint8_t> bytes = TempAppFolder::Compile(c.source);
  ASSERT_FALSE(bytes.empty());
  UseMainFile(bytes);
  EXPECT_EQ(Result(c.routine), c.expected);
  EXPECT_EQ(Result(c.routine), c.expected) << "second call";
}

INSTANTIATE_TEST_SUITE_P(Cases, ResourceContent, ::testing::ValuesIn(ContentCases()));

// "STR " strings reach the 4D developer through the format commands.
TEST_F(ResourceTest, SingleStringsNeverReadPastTheirData) {
  UseMainFile(TempAppFolder::Compile(
      "resource \"STR \" 21281 hex { 09 41 42 }\n"   // length byte past the end
      "resource \"STR \" 21282 hex { 02 41 42 }\n"   // ends exactly at the end
      "resource \"STR \" 21283 hex { 00 }\n"));      // empty string
  const auto outcome = Call(kGetFormatLabels, {TextArray({""})});
  ASSERT_EQ(outcome.args.size(), 1u);
  EXPECT_EQ(outcome.args[0], TextArray({"", "", "AB", ""}));
}

// ---------------------------------------------------------------------------
// Files that are not resource files
// ---------------------------------------------------------------------------

TEST_F(ResourceTest, MalformedResourceFilesFailDiscoveryCleanly) {
  std::vector<uint8_t> good = TempAppFolder::Compile("resource \"STR#\" 20015 strings { \"ok\" }");
  ASSERT_GE(good.size(), 16u);
  std::vector<uint8_t> mapPastEnd = good;
  mapPastEnd[4] = 0x7F;  // map offset far beyond the file
  struct Case {
    const char* label;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"empty file", {}},
      {"map past the end", mapPastEnd},
      {"sixteen zero bytes", std::vector<uint8_t>(16, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempAppFolder folder;
    TempAppFolder::WriteBytes(TempAppFolder::WindowsMainFile(folder.root()), c.bytes);
    host().Select(-2);
    host().Select(-1);
    Settings s = host().GetSettings();
    s.platform = Platform::kWindows;
    s.appFolder = folder.root();
    host().SetSettings(s);
    EXPECT_EQ(Result(kGetVersion), Text(""));
    EXPECT_FALSE(Call(kGetInfoString).result.has_value());
  }
  // A damaged localized file on macOS leaves the main one working.
  TempAppFolder folder;
  TempAppFolder::WriteBytes(TempAppFolder::MacMainFile(folder.root()), good);
  TempAppFolder::WriteBytes(TempAppFolder::LocalizedFile(folder.root()), mapPastEnd);
  host().Select(-2);
  host().Select(-1);
  Settings s = host().GetSettings();
  s.platform = Platform::kMacOS;
  s.appFolder = folder.root();
  host().SetSettings(s);
  EXPECT_EQ(Result(kGetInfoString), Text("ok"));
}

}  // namespace
