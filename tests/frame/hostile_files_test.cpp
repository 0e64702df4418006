// Hostile and damaged resource files in the bundle, beyond the malformed
// contents of tests/resources/resource_commands_test.cpp (empty, truncated,
// offsets past the end): a directory where the file should be, a link to
// itself, a dangling link, a file the process may not read, and well-sized
// files whose fields claim gigabytes or loop (a 4 GB data length, 65536
// types, a reference list pointing back into the type list). Each must fail
// discovery (routine 1 answers an empty text, routine 2 sets no result) or,
// where the damage lies outside what the plugin reads, answer as usual;
// never crash, hang or leave a host object live. The codec commands answer
// either way.
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

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = uint8_t(v >> (24 - 8 * i));
}
void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t v) {
  bytes.at(at) = uint8_t(v >> 8);
  bytes.at(at + 1) = uint8_t(v);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | uint32_t(b.at(at + 2)) << 8 | b.at(at + 3);
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) << 8 | b.at(at + 1)); }

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

TEST(HostileFiles, FieldsClaimingGigabytesOrLoopingFailDiscovery) {
  const std::vector<uint8_t> good = TempAppFolder::Compile(kSource);
  ASSERT_GT(good.size(), 64u);
  const uint32_t dataOffset = Get32(good, 0), mapOffset = Get32(good, 4);
  const uint32_t typeList = mapOffset + Get16(good, mapOffset + 24);
  struct Case {
    const char* label;
    void (*damage)(std::vector<uint8_t>&, uint32_t dataOffset, uint32_t mapOffset, uint32_t typeList);
  };
  const Case cases[] = {
      {"first resource claims 4 GB of data",
       [](std::vector<uint8_t>& b, uint32_t data, uint32_t, uint32_t) { Put32(b, data, 0xFFFFFFF0u); }},
      {"data area claims 2 GB", [](std::vector<uint8_t>& b, uint32_t, uint32_t, uint32_t) { Put32(b, 8, 0x7FFFFFFFu); }},
      {"map claims 2 GB", [](std::vector<uint8_t>& b, uint32_t, uint32_t, uint32_t) { Put32(b, 12, 0x7FFFFFFFu); }},
      {"32768 types", [](std::vector<uint8_t>& b, uint32_t, uint32_t, uint32_t types) { Put16(b, types, 0x7FFF); }},
      {"32768 resources of the first type",
       [](std::vector<uint8_t>& b, uint32_t, uint32_t, uint32_t types) { Put16(b, types + 2 + 4, 0x7FFF); }},
      {"reference list pointing at the type list itself",
       [](std::vector<uint8_t>& b, uint32_t, uint32_t, uint32_t types) { Put16(b, types + 2 + 6, 0); }},
      {"data and map the same area",
       [](std::vector<uint8_t>& b, uint32_t, uint32_t map, uint32_t) { Put32(b, 0, map); }},
      {"type list offset past the map",
       [](std::vector<uint8_t>& b, uint32_t, uint32_t map, uint32_t) { Put16(b, map + 24, 0xFFF0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<uint8_t> bytes = good;
    c.damage(bytes, dataOffset, mapOffset, typeList);
    TempAppFolder folder;
    TempAppFolder::WriteBytes(TempAppFolder::WindowsMainFile(folder.root()), bytes);
    ExpectFailedDiscovery(Ask(folder.root()));
  }
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
