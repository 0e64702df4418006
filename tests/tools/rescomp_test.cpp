// Tests of the resource compiler, called as library functions so that they
// run in the Windows build too: a source using every body compiles to the
// expected listing and payloads; a table of bad sources each names its line
// and leaves no output file; dump output compiles back to the same bytes;
// damaged files give a message and a non-zero exit; sealed texts open again
// with the envelope.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/envelope.h"
#include "base/plugin_heap.h"
#include "rescomp/seal_envelope.h"
#include "resfile/rescomp_command.h"
#include "resfile/resource_source.h"
#include "resfile/source_printer.h"

namespace {

namespace fs = std::filesystem;
using resfile::CompileResourceSource;
using resfile::MakeTypeCode;
using resfile::Resource;

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / (std::string("lqm-rescomp-") + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  fs::path path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

ToolRun RunTool(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  resfile::CompileOptions options;
  options.seal = resfile::SealWithEnvelope;
  const int exitCode = resfile::RunResourceCompiler(arguments, out, err, options);
  return ToolRun{exitCode, out.str(), err.str()};
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

const char kGoodSource[] =
    "\xEF\xBB\xBF# Every kind of body.\n"
    "resource \"STR \" 21202 \"Doc\" purgeable string \"PDF \" \"document \xE2\x80\x93 caf\xC3\xA9\"\n"
    "resource \"STR#\" 20013 strings {\n"
    "  \"one\"; \"two\"\n"
    "  \"\"   # an empty item\n"
    "}\n"
    "resource \"vers\" 1 version { number 1.2.3 stage beta prerelease 4 short \"1.2.3b4\" long \"1.2.3b4, \xC2\xA9 2024\" }\n"
    "resource \"vers\" 2 version { number 2 }\n"
    "resource \"xpdt\" -5 locked preload attributes 0x80 hex {\n"
    "  00 01 fe FF\n"
    "  0a0b\n"
    "}\n"
    "resource \"TEXT\" 20601 text \"line\\n\" \"tab\\t\\\"q\\\" \\u{F8FF}\"\n"
    "resource \"TEXT\" 20602 utf8 \"\xC3\xA9\"\n"
    "resource \"blob\" 0x10 file \"payload.bin\"\n";

TEST(ResourceCompiler, CompilesEveryBodyKind) {
  TempFolder folder;
  folder.Write("payload.bin", std::string("\x00\xFFzz", 4));
  const auto result = CompileResourceSource(kGoodSource, folder.File("good.r"));
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(resfile::FormatResourceList(result.resources),
            "\"STR \"  21202         20  \"Doc\" purgeable\n"
            "\"STR#\"  20013         11\n"
            "\"vers\"      1         30\n"
            "\"vers\"      2         18\n"
            "\"xpdt\"     -5          6 locked preload attributes 0x80\n"
            "\"TEXT\"  20601         14\n"
            "\"TEXT\"  20602          2\n"
            "\"blob\"     16          4\n");
  const auto& r = result.resources;
  EXPECT_EQ(r[0].data, Bytes("\x13PDF document \xD0 caf\x8E"));  // Mac Roman en dash and e acute
  EXPECT_EQ(r[1].data, Bytes(std::string("\x00\x03\x03one\x03two\x00", 11)));
  EXPECT_EQ(r[2].data, Bytes(std::string("\x01\x23\x60\x04\x00\x00\x07" "1.2.3b4\x0F" "1.2.3b4, \xA9 2024", 30)));
  EXPECT_EQ(r[3].data, Bytes(std::string("\x02\x00\x80\x00\x00\x00\x05" "2.0.0\x05" "2.0.0", 18)));
  EXPECT_EQ(r[4].data, (std::vector<uint8_t>{0x00, 0x01, 0xFE, 0xFF, 0x0A, 0x0B}));
  EXPECT_EQ(r[4].attributes, resfile::kAttributeLocked | resfile::kAttributePreload | 0x80);
  EXPECT_EQ(r[5].data, Bytes("line\ntab\t\"q\" \xF0"));
  EXPECT_EQ(r[6].data, Bytes("\xC3\xA9"));
  EXPECT_EQ(r[7].data, Bytes(std::string("\x00\xFFzz", 4)));

  std::vector<Resource> read;
  resfile::ResourceError error;
  ASSERT_TRUE(resfile::ReadResourceFile(result.fileBytes, &read, &error)) << error.message;
  EXPECT_EQ(read.size(), r.size());
}

// `string utf8` and `strings utf8` keep the UTF-8 bytes, even of characters
// that Mac Roman lacks.
TEST(ResourceCompiler, Utf8StringsKeepTheirBytes) {
  const auto result = CompileResourceSource(
      "resource \"STR \" 1 string utf8 \"caf\xC3\xA9\"\n"
      "resource \"STR#\" 2 strings utf8 { \"\xE2\x80\xA6\" \"\\u{1F600}\" }\n",
      "u.r");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.resources[0].data, Bytes("\x05" "caf\xC3\xA9"));
  EXPECT_EQ(result.resources[1].data, Bytes(std::string("\x00\x02\x03\xE2\x80\xA6\x04\xF0\x9F\x98\x80", 11)));
}

TEST(ResourceCompiler, BadSourcesNameTheirLineAndWriteNothing) {
  struct Case {
    std::string source;
    int line;
    const char* message;
  } cases[] = {
      {"resource \"STR \" 1 string \"ok\"\nresource \"STR\" 2 string \"x\"\n", 2, "exactly 4"},
      {"resource \"STR \" 1 string \"ok\"\n\nresource \"STR \" 1 string \"again\"\n", 3, "already defined at line 1"},
      {"resource \"STR \" 40000 string \"x\"\n", 1, "-32768 to 32767"},
      {"resource \"STR \" 1\n  string \"\xE4\xB8\xAD\"\n", 2, "U+4E2D has no Mac Roman form"},
      {"\n\nresource \"STR \" 1 \"\xF0\x9F\x98\x80\" string \"x\"\n", 3, "U+1F600"},
      {"resource \"STR \" 1 string \"open\n", 1, "not closed"},
      {"resource \"STR \" 1 string \"bad \\q escape\"\n", 1, "unknown escape"},
      {"resource \"STR \" 1 string \"\\u{D800}\"\n", 1, "not a character"},
      {"# fine\nresource \"STR \" 1 string \"\xC3\x28\"\n", 2, "not valid UTF-8"},
      {"resource \"STR#\" 1 strings {\n \"a\"\n", 3, "expected a string or '}'"},
      {"resource \"STR#\" 1 strings { \"a\" 7 }\n", 1, "found '7'"},
      {"resource \"data\" 1 hex { 0 }\n", 1, "odd number"},
      {"resource \"data\" 1 hex {\n 00\n zz }\n", 3, "not hex"},
      {"resource \"data\" 1 blob { }\n", 1, "unknown body 'blob'"},
      {"resource \"vers\" 1 version {\n number 1.10.0\n}\n", 2, "version number"},
      {"resource \"vers\" 1 version { number 100 }\n", 1, "version number"},
      {"resource \"vers\" 1 version { number 1.0.0.0 }\n", 1, "version number"},
      {"resource \"vers\" 1 version { number 1\n stage gamma }\n", 2, "expected stage"},
      {"resource \"vers\" 1 version {\n stage final\n}\n", 1, "no 'number'"},
      {"resource \"vers\" 1 version { number 1 colour red }\n", 1, "unknown version field"},
      {"resource \"STR \" 1 string \"x\"\nresources \"STR \" 2 string \"y\"\n", 2, "expected 'resource'"},
      {"resource \"STR \" 1 string\n", 2, "found the end of the source"},
      {"resource \"STR \" 1 string \"" + std::string(256, 'x') + "\"\n", 1, "at most 255"},
      {"resource \"blob\" 1 file \"missing.bin\"\n", 1, "cannot read file"},
      {"resource \"TEXT\" 1 sealed text \"x\"\n", 1, "expected the sealing key"},
      {"resource \"STR \" 1 attributes 256 string \"x\"\n", 1, "attribute byte"},
      {"resource \"STR#\" 1 strings utf8 {\n \"" + std::string(128 * 2, 'x').replace(0, 2, "\xC3\xA9") + "\"\n}\n", 2,
       "256 bytes in UTF-8"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.Write("bad.r", c.source);
    const auto result = CompileResourceSource(c.source, folder.File("bad.r"));
    EXPECT_FALSE(result.ok) << c.source;
    EXPECT_EQ(result.line, c.line) << result.message;
    EXPECT_EQ(result.message.rfind(folder.File("bad.r") + ":" + std::to_string(c.line) + ": ", 0), 0u)
        << result.message;
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;

    // Through the command line: exit 1, the same message, and an output that
    // existed before is left as it was, with no temporary beside it.
    folder.Write("out.rsrc", "previous");
    const ToolRun run = RunTool({"build", folder.File("bad.r"), "-o", folder.File("out.rsrc")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, result.message + "\n");
    EXPECT_EQ(ReadBytes(folder.File("out.rsrc")), "previous");
    EXPECT_EQ(folder.Names().size(), 2u);
  }
}

TEST(ResourceCompiler, SealingNeedsTheHook) {
  const auto result = CompileResourceSource("\nresource \"TEXT\" 1 sealed \"k\" text \"x\"\n", "s.r");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "s.r:2: sealing is not available in this build");
}

TEST(ResourceCompiler, SealedTextOpensWithTheEnvelope) {
  const char* texts[] = {"", "short", "exactly8", "caf\xC3\xA9 \xE2\x80\x93 a longer text of several blocks"};
  for (const char* text : texts) {
    resfile::CompileOptions options;
    options.seal = resfile::SealWithEnvelope;
    const std::string source = std::string("resource \"TEXT\" 20601 sealed \"the key\" text \"") + text + "\"\n";
    const auto sealed = CompileResourceSource(source, "s.r", options);
    ASSERT_TRUE(sealed.ok) << sealed.message;
    const auto plain = CompileResourceSource(std::string("resource \"TEXT\" 20601 text \"") + text + "\"\n", "p.r");
    ASSERT_TRUE(plain.ok);
    const std::vector<uint8_t>& data = sealed.resources[0].data;
    if (!plain.resources[0].data.empty()) {
      EXPECT_NE(data, plain.resources[0].data);
    }

    int64_t length = static_cast<int64_t>(data.size());
    auto* block = static_cast<unsigned char*>(PluginMalloc(data.size()));
    std::copy(data.begin(), data.end(), block);
    ASSERT_TRUE(CryptEnvelope(&block, &length, reinterpret_cast<const unsigned char*>("the key"), 7, false, true));
    EXPECT_EQ(std::vector<uint8_t>(block, block + length), plain.resources[0].data) << text;
    PluginFree(block);
  }
}

TEST(ResourceCompiler, BuildListDumpAndRebuild) {
  TempFolder folder;
  folder.Write("payload.bin", std::string("\x00\xFFzz", 4));
  folder.Write("good.r", kGoodSource);
  const ToolRun build = RunTool({"build", folder.File("good.r"), "-o", folder.File("good.rsrc")});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  const std::string bytes = ReadBytes(folder.File("good.rsrc"));
  const auto direct = CompileResourceSource(kGoodSource, folder.File("good.r"));
  EXPECT_EQ(Bytes(bytes), direct.fileBytes);

  const ToolRun list = RunTool({"list", folder.File("good.rsrc")});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.out.find("\"STR \"  21202         20  \"Doc\" purgeable\n"), std::string::npos) << list.out;

  const ToolRun one = RunTool({"dump", folder.File("good.rsrc"), "STR#", "20013"});
  EXPECT_EQ(one.exitCode, 0);
  EXPECT_EQ(one.out, "resource \"STR#\" 20013 strings {\n  \"one\"\n  \"two\"\n  \"\"\n}\n");
  const ToolRun text = RunTool({"dump", folder.File("good.rsrc"), "TEXT", "20601"});
  EXPECT_EQ(text.out, "resource \"TEXT\" 20601 text \"line\\n\"\n    \"tab\\t\\\"q\\\" \xEF\xA3\xBF\"\n");
  const ToolRun missing = RunTool({"dump", folder.File("good.rsrc"), "TEXT", "9"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("no resource \"TEXT\" 9"), std::string::npos);

  // The whole dump is a source for the same file.
  const ToolRun dump = RunTool({"dump", folder.File("good.rsrc")});
  ASSERT_EQ(dump.exitCode, 0);
  const auto rebuilt = CompileResourceSource(dump.out, "dump.r");
  ASSERT_TRUE(rebuilt.ok) << rebuilt.message << "\n" << dump.out;
  EXPECT_EQ(rebuilt.fileBytes, Bytes(bytes));
}

// Payloads that do not parse as their type's record, odd type codes and
// control bytes still dump to a source that rebuilds the same bytes.
TEST(ResourceCompiler, DumpRoundTripsIrregularResources) {
  std::vector<Resource> resources(6);
  resources[0].type = MakeTypeCode("STR ");
  resources[0].data = {1, 'a', 'b'};  // a byte after the string
  resources[1].type = MakeTypeCode("STR#");
  resources[1].data = {0, 2, 1, 'a'};  // second string missing
  resources[2].type = MakeTypeCode("vers");
  resources[2].data = {0x1A, 0, 0x80, 0, 0, 0, 0, 0};  // not BCD
  resources[3].type = {0x00, '"', '\\', 0xF0};
  resources[3].hasName = true;
  resources[3].name = std::string("\x00\x7F\r\xDB", 4);
  resources[3].attributes = 0xFF;
  resources[4].type = MakeTypeCode("TEXT");
  resources[4].data = {0x00, 0x01, '\n', '\n', 0xFF};
  resources[5].type = MakeTypeCode("TEXT");
  resources[5].id = 1;
  std::string source;
  for (const Resource& r : resources) source += resfile::FormatResourceSource(r);
  const auto rebuilt = CompileResourceSource(source, "dump.r");
  ASSERT_TRUE(rebuilt.ok) << rebuilt.message << "\n" << source;
  std::vector<uint8_t> expected;
  resfile::ResourceError error;
  ASSERT_TRUE(resfile::WriteResourceFile(resources, &expected, &error));
  EXPECT_EQ(rebuilt.fileBytes, expected) << source;
}

TEST(ResourceCompiler, DamagedFilesAndBadUsage) {
  TempFolder folder;
  folder.Write("short.rsrc", "0123456789");
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"list", folder.File("short.rsrc")}, 1, "damaged resource file: file is 10 bytes"},
      {{"dump", folder.File("short.rsrc")}, 1, "damaged resource file"},
      {{"list", folder.File("absent.rsrc")}, 2, "cannot open"},
      {{"build", folder.File("absent.r"), "-o", folder.File("x.rsrc")}, 2, "cannot open"},
      {{"dump", folder.File("short.rsrc"), "LONGER", "1"}, 1, "damaged"},
      {{"frobnicate"}, 2, "usage:"},
      {{"build", "a.r"}, 2, "usage:"},
      {{}, 2, "usage:"},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunTool(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_FALSE(fs::exists(folder.File("x.rsrc")));
}

}  // namespace
