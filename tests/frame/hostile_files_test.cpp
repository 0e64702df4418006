// Resource files the bundle cannot open, beyond the malformed contents of
// tests/resources/resource_commands_test.cpp: a directory where the file
// should be, a link to itself, a dangling link, a file the process may not
// read. Each must fail discovery (routine 1 answers an empty text, routine 2
// sets no result), never crash, hang or leave a host object live, and the
// codec commands answer either way. Damaged fields inside a file (lengths
// claiming gigabytes, looping lists) are refused by the resource reader 4D's
// side uses, tested field by field in tests/tools/resfile_test.cpp; the
// plugin sees them as a failed "Open resource file".
#include <gtest/gtest.h>

#include <fstream>

#include "frame/static_plugin.h"
#include "support/app_folder.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Platform;
using lqm::host::Settings;
using lqm::host::Value;
using lqm::testing::NewStaticPluginHost;
using lqm::testing::TempAppFolder;

const char kSource[] =
    "resource \"vers\" 1 version { number 1.0.0 short \"1.0.0-hostile\" long \"hostile\" }\n"
    "resource \"STR#\" 20015 strings { \"info\" }\n";

struct Answers {
  Value version;
  bool infoSet;
  Value crc;
};

// Discovery against the folder, then the version, the info string and a CRC.
Answers Ask(const fs::path& appFolder) {
  std::unique_ptr<Host> h = NewStaticPluginHost();
  Settings s = h->GetSettings();
  s.platform = Platform::kWindows;
  s.appFolder = appFolder;
  h->SetSettings(s);
  Answers a;
  a.version = h->Call(1, {}).result.value_or(Value::Undefined());
  a.infoSet = h->Call(2, {}).result.has_value();
  a.crc = h->Call(46, {Value::BlobOf("123456789"), Value::Integer(2), Value::Integer(1)}).result.value_or(Value::Undefined());
  EXPECT_TRUE(h->GetLiveCounts() == LiveCounts{});
  h->Select(lqm::abi::kSelectorDeinit);
  return a;
}

void ExpectFailedDiscovery(const Answers& a) {
  EXPECT_EQ(a.version, Value::TextUtf8(""));
  EXPECT_FALSE(a.infoSet);
  EXPECT_EQ(a.crc, Value::Longint(int32_t(0xCBF43926)));
}

TEST(HostileFiles, TheUndamagedFileAnswers) {
  TempAppFolder folder;
  TempAppFolder::WriteBytes(TempAppFolder::WindowsMainFile(folder.root()), TempAppFolder::Compile(kSource));
  const Answers a = Ask(folder.root());
  EXPECT_EQ(a.version, Value::TextUtf8("1.0.0-hostile"));
  EXPECT_TRUE(a.infoSet);
}

TEST(HostileFiles, ADirectoryWhereTheFileShouldBeFailsDiscovery) {
  TempAppFolder folder;
  fs::create_directories(TempAppFolder::WindowsMainFile(folder.root()));
  ExpectFailedDiscovery(Ask(folder.root()));
}

#if !defined(_WIN32)
TEST(HostileFiles, LinksToThemselvesOrNowhereFailDiscovery) {
  for (const char* target : {"VarnelFolioforge.rsr", "missing.rsr"}) {
    SCOPED_TRACE(target);
    TempAppFolder folder;
    const fs::path file = TempAppFolder::WindowsMainFile(folder.root());
    fs::create_directories(file.parent_path());
    fs::create_symlink(target, file);
    ExpectFailedDiscovery(Ask(folder.root()));
  }
}

TEST(HostileFiles, AnUnreadableFileFailsDiscovery) {
  TempAppFolder folder;
  const fs::path file = TempAppFolder::WindowsMainFile(folder.root());
  TempAppFolder::WriteBytes(file, TempAppFolder::Compile(kSource));
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  // The superuser reads it anyway; then it must simply work.
  const bool readable = std::ifstream(file, std::ios::binary).good();
  const Answers a = Ask(folder.root());
  if (readable)
    EXPECT_EQ(a.version, Value::TextUtf8("1.0.0-hostile"));
  else
    ExpectFailedDiscovery(a);
}
#endif

}  // namespace
