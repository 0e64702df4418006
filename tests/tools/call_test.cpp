// `lqm-host call` and `lqm-host help`, run in-process through RunCall and
// RunHelp with the built plugin: good calls print the outcome, every bad
// argument is refused before the plugin loads with a message naming its
// position, parameter name and type, and BLOBs travel through files (@FILE in,
// --out FILE out) byte for byte. `lqm-host where` finds the bundle in the one
// folder each application type's discovery uses, and nowhere else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lqm-host/lib/call.h"
#include "lqm-host/lib/command_docs.h"

namespace {

using lqm::host::RunCall;
using lqm::host::RunHelp;
using lqm::host::RunWhere;

struct CallRun {
  int status;
  std::string out;
  std::string err;
};

CallRun Call(const std::vector<std::string>& words, decltype(RunCall)* run = RunCall) {
  std::ostringstream out, err;
  int status = run(words, out, err);
  return {status, out.str(), err.str()};
}

// A scratch folder per test, removed at the end.
class CallFiles : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("lqm-call-" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const { return (folder_ / name).u8string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path folder_;
};

TEST(LqmHostCall, GoodCallsPrintTheOutcome) {
  struct Case {
    std::vector<std::string> words;
    const char* out;
  } cases[] = {
      {{"LQM_ComputeCRC", "text:123456789", "2", "1"}, "LQM_ComputeCRC -> longint -873187034 (0xCBF43926)\n"},
      // Names are matched without regard to case; numbers name routines.
      {{"lqm_computecrc", "hex:616263", "0", "0"}, "LQM_ComputeCRC -> longint 20810 (0x0000514A)\n"},
      {{"46", "base64:MTIzNDU2Nzg5", "I:1", "1"}, "LQM_ComputeCRC -> longint 47933 (0x0000BB3D)\n"},
      {{"LQM_ComputeCRC", "text:123456789", "65535", "0x1"}, "LQM_ComputeCRC -> longint -873187034 (0xCBF43926)\n"},
      // Leading zeros are decimal: 010 is JPEG's code 10, not octal 8 (no format).
      {{"LQM_GetFormatExtension", "010"}, "LQM_GetFormatExtension -> text \"jpg\"\n"},
      {{"LQM_LZWCodec", "1", "ABABABA", "3", "3", "0", "0", "-1", "12"},
       "LQM_LZWCodec -> BLOB of 7 bytes: 80 10 48 50 28 24 04\n"},
      {{"LQM_EncodeBase64", "Hello, 4D"}, "LQM_EncodeBase64 -> BLOB of 12 bytes: \"SGVsbG8sIDRE\"\n"},
      {{"LQM_CipherText", "T:", "key", "1", "1"}, "LQM_CipherText -> text \"\"\n"},
      {{"LQM_GetFolderName", "3"}, "LQM_GetFolderName -> text \"Spool\"\n"},
      {{"LQM_GetFormatNames", "LA:1300,-1000,75", "TA:"},
       "LQM_GetFormatNames -> (no result)\n"
       "    $1 = variable holding longint_array [0,1300,-1000,75]\n"
       "    $2 = variable holding text_array [\"\",\"PDF document\",\"\",\"PNG image\"]\n"},
      // A routine without a row runs nothing; its arguments are texts.
      {{"21", "anything"}, "routine 21 -> (no result)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[0]);
    const CallRun run = Call(c.words);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
  }
}

TEST(LqmHostCall, ArraysInJsonAndUndefinedVariables) {
  // A JSON array for a variable parameter is passed as a variable holding it.
  const CallRun run = Call({"LQM_ListOutputFormats", "2", R"({"real_array":[0]})", "TA:", "TA:", "U", "U", "U"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "LQM_ListOutputFormats -> (no result)\n"
            "    $2 = variable holding real_array [0.0,247.0]\n"
            "    $3 = variable holding text_array [\"\",\"svg\"]\n"
            "    $4 = variable holding text_array [\"\",\"SVG drawing\"]\n"
            "    $5 = variable holding undefined null\n"
            "    $6 = variable holding undefined null\n"
            "    $7 = variable holding undefined null\n");
}

TEST(LqmHostCall, BadArgumentsAreNamed) {
  struct Case {
    std::vector<std::string> words;
    const char* err;
  } cases[] = {
      {{"LQM_ComputeCRC", "text:1", "x", "1"}, "argument 2 (model, integer): 'x' is not a number"},
      {{"LQM_ComputeCRC", "text:1", "2", "1.5"}, "argument 3 (engine, integer): '1.5' is not a number"},
      {{"LQM_ComputeCRC", "text:1", "70000", "1"}, "argument 2 (model, integer): '70000' is outside -32768..65535"},
      {{"LQM_ComputeCRC", "hex:4", "2", "1"}, "argument 1 (data, Blob): '4' has an odd number of hex digits"},
      {{"LQM_ComputeCRC", "hex:zz", "2", "1"}, "argument 1 (data, Blob): 'zz' is not hexadecimal"},
      {{"LQM_ComputeCRC", "base64:QQ", "2", "1"}, "argument 1 (data, Blob): 'QQ' is not Base64"},
      {{"LQM_ComputeCRC", "@/nonexistent/lqm-call-input", "2", "1"},
       "argument 1 (data, Blob): cannot read the file '/nonexistent/lqm-call-input'"},
      {{"LQM_LZWCodec", "1", "A", "3", "3", "0", "0", "-1", "99999999999"},
       "argument 8 (maxBits, integer): '99999999999' is outside -2147483648..2147483647"},
      {{"LQM_GetFormatLabels", "labels"},
       "argument 1 (labels, array): 'labels' is not an array: give LA:1,2  TA:a,b  U  or a JSON typed value"},
      {{"LQM_GetFormatNames", "LA:1,x", "TA:"}, "argument 1 (codes, array): 'x' is not a number"},
      {{"LQM_GetFormatNames", "{\"longint_array\":", "TA:"},
       "argument 1 (codes, array): '{\"longint_array\":' is not JSON"},
      {{"LQM_ComputeCRC", "text:1", "2"},
       "LQM_ComputeCRC takes 3 arguments, 2 given: LQM_ComputeCRC ( data : Blob ; model : Integer ; engine : Integer ) : Integer"},
      {{"LQM_GetVersion", "extra"}, "LQM_GetVersion takes 0 arguments, 1 given: LQM_GetVersion : Text"},
      {{"LQM_NoSuchCommand"}, "unknown command LQM_NoSuchCommand (lqm-host help lists them)"},
      {{}, "the name or number of a command is missing"},
      {{"LQM_ComputeCRC", "text:1", "2", "1", "--out"}, "--out needs a value"},
      {{"LQM_ComputeCRC", "text:1", "2", "1", "--colour"}, "unknown option --colour"},
      {{"LQM_ComputeCRC", "text:1", "2", "1", "--out", "crc.bin"},
       "--out needs a command with a BLOB result; LQM_ComputeCRC returns integer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const CallRun run = Call(c.words);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(std::string("lqm-host call: ") + c.err + "\n", 0), 0u) << run.err;
  }
}

TEST(LqmHostCall, MissingPluginIsReported) {
  const CallRun run = Call({"LQM_ComputeCRC", "text:1", "2", "1", "--plugin", "/nonexistent/plugin.4DX"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("lqm-host: ", 0), 0u) << run.err;
}

TEST_F(CallFiles, BlobsTravelThroughFiles) {
  Write("input.bin", std::string("ABABABA"));
  CallRun run = Call({"LQM_LZWCodec", "1", "@" + PathOf("input.bin"), "3", "3", "0", "0", "-1", "12", "--out",
                  PathOf("packed.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read("packed.bin"), std::string("\x80\x10\x48\x50\x28\x24\x04", 7));
  EXPECT_NE(run.out.find("wrote 7 bytes to "), std::string::npos) << run.out;

  run = Call({"LQM_LZWCodec", "0", "@" + PathOf("packed.bin"), "3", "3", "0", "0", "-1", "12", "--out",
              PathOf("unpacked.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read("unpacked.bin"), "ABABABA");

  // Every byte value survives the trip (no text-mode translation on Windows).
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  Write("all.bin", all + "\r\n\x1a");
  run = Call({"LQM_DecodeBase64", "@" + PathOf("all.bin"), "--out", PathOf("decoded.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  Write("encoded.bin", "");
  run = Call({"LQM_EncodeBase64", "@" + PathOf("all.bin"), "--out", PathOf("encoded.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  run = Call({"LQM_DecodeBase64", "@" + PathOf("encoded.bin"), "--out", PathOf("roundtrip.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read("roundtrip.bin"), all + "\r\n\x1a");

  // An empty result is still written: an empty file, not a stale one.
  Write("stale.bin", "old");
  run = Call({"LQM_LZWCodec", "3", "A", "3", "3", "0", "0", "-1", "12", "--out", PathOf("stale.bin")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read("stale.bin"), "");
}

// The bundle goes into every candidate folder but the one the type's
// discovery uses (not found), then into that one too (found). The folders
// are those of docs/install.md, below the database folder app/db.
TEST_F(CallFiles, WhereFollowsTheApplicationType) {
  const char* folders[] = {"app/db/Plugins", "app/Plugins", "app/db/4D/Plugins"};
  const struct Case {
    std::vector<std::string> type;
    const char* plugins;  // null: the type is refused
  } cases[] = {{{"0"}, folders[0]}, {{"1"}, folders[1]}, {{"4", "--compiled"}, folders[2]}, {{"4"}, folders[0]},
               {{"5", "--compiled"}, folders[1]}, {{"5"}, folders[0]}, {{"3", "--compiled"}, nullptr}};
  const std::filesystem::path file = "VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.rsr";
  const auto install = [&](const char* plugins) {
    std::filesystem::create_directories((folder_ / plugins / file).parent_path());
    std::filesystem::copy_file(lqm::host::DefaultAppFolder() / "Plugins" / file, folder_ / plugins / file);
  };
  std::filesystem::create_directories(folder_ / "app/db");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type[0] + (c.type.size() > 1 ? " compiled" : ""));
    std::vector<std::string> words = {"--database", PathOf("app/db"), "--app-type"};
    words.insert(words.end(), c.type.begin(), c.type.end());
    for (const char* other : folders)
      if (other != c.plugins) install(other);
    CallRun run = Call(words, RunWhere);
    EXPECT_EQ(run.status, 1) << run.out;
    if (c.plugins == nullptr) {
      EXPECT_NE(run.out.find("refuses this application type"), std::string::npos) << run.out;
    } else {
      const std::string expected = (folder_ / c.plugins).lexically_normal().u8string();
      EXPECT_NE(run.out.find("plugins folder:   " + expected + "\n"), std::string::npos) << run.out;
      install(c.plugins);
      run = Call(words, RunWhere);
      EXPECT_EQ(run.status, 0) << run.out;
      EXPECT_NE(run.out.find("found: LQM_GetVersion returns text \""), std::string::npos) << run.out;
    }
    for (const char* plugins : folders) std::filesystem::remove_all(folder_ / plugins);
  }
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--database", PathOf("app/db")}, {"--app-type", "0"}, {"--app-type", "x", "--database", PathOf("app")},
           {"--app-type", "0", "--database", PathOf("none")}, {"--app-type", "0", "--database", PathOf("app"), "-v"}})
    EXPECT_EQ(Call(bad, RunWhere).status, 2) << bad[0];
}

TEST(LqmHostHelp, PrintsTheReferenceEntry) {
  std::ostringstream out, err;
  ASSERT_EQ(RunHelp({"lqm_lzwcodec"}, out, err), 0);
  EXPECT_EQ(out.str(), lqm::docs::CommandEntryMarkdown(*FindCommand(std::string_view("LQM_LZWCodec"))));
  EXPECT_EQ(err.str(), "");

  std::ostringstream listOut, listErr;
  ASSERT_EQ(RunHelp({}, listOut, listErr), 0);
  EXPECT_NE(listOut.str().find("  46  LQM_ComputeCRC ( data : Blob ; model : Integer ; engine : Integer ) : Integer\n"), std::string::npos);

  std::ostringstream badOut, badErr;
  EXPECT_EQ(RunHelp({"LQM_Nothing"}, badOut, badErr), 1);
  EXPECT_EQ(badErr.str(), "lqm-host help: unknown command LQM_Nothing\n");
}

}  // namespace
