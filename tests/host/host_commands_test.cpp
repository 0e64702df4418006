// The 4D commands the host runs for the plugin (EX_GET_COMMAND_ID and
// EX_EXECUTE_COMMAND_BY_ID) driven through the plugin's own host operations,
// as in host_variables_test.cpp: names, forced and unknown ids, failures, and
// argument lists and BLOBs the host must refuse. The emulated platforms,
// folder paths and environment answers are exercised end to end by
// tests/frame/discovery_test.cpp, which finds the bundle through them.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include <cstring>
#include <string>

#include "host/host_calls.h"
#include "lqm-host/lib/charsets.h"
#include "lqm-host/lib/host.h"
#include "lqm-host/lib/host_records.h"

namespace {

namespace abi = lqm::abi;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Platform;
using lqm::host::Settings;
using lqm::host::Value;

class HostCommands : public testing::Test {
 protected:
  void SetUp() override { HostSetCallback(reinterpret_cast<void*>(&Host::Callback)); }
  void TearDown() override {
    HostSetCallback(nullptr);
    EXPECT_EQ(host_.GetLiveCounts(), LiveCounts{}) << "the test itself leaked";
  }
  void Configure(void (*change)(Settings&)) {
    Settings s = host_.GetSettings();
    change(s);
    host_.SetSettings(s);
  }
  int32_t Id(const std::string& name) {
    std::u16string units = lqm::host::Utf8ToUtf16(name);
    int32_t id = HostGetCommandId(units.c_str());
    EXPECT_EQ(HostGetLastError(), 0) << name;
    return id;
  }
  // Runs a command with no arguments; returns its result's value and error.
  Value RunForResult(int32_t id, int16_t* error = nullptr) {
    HostVariable result = HostExecuteCommand(id, nullptr, 0);
    if (error) *error = HostGetLastError();
    Value value;
    std::string problem;
    EXPECT_TRUE(lqm::host::ReadValue(host_.memory(), result, value, problem)) << problem;
    HostClearVariable(result);
    return value;
  }
  // "Test path name" on a path in the emulated syntax.
  int32_t TestPath(const std::u16string& path) {
    HostVariable arg = HostCreateVariable();
    HostSetTextVariable(arg, HostCreateText(path.c_str()));
    HostVariable result = HostExecuteCommand(476, &arg, 1);
    EXPECT_EQ(HostGetLastError(), 0);
    const int32_t answer = HostGetLongVariable(result);
    HostClearVariable(arg);
    HostClearVariable(result);
    return answer;
  }

  Host host_;
};

TEST_F(HostCommands, NamesMatchInAnyCaseAndUnknownNamesGiveZero) {
  EXPECT_EQ(Id("test PATH name"), 476);
  EXPECT_EQ(Id("IS COMPILED MODE"), 492);
  EXPECT_EQ(Id("No such command"), 0);
  EXPECT_EQ(Id(""), 0);
  Configure([](Settings& s) { s.commandIds = {{"test path name", -5}, {"made up", 42}}; });
  EXPECT_EQ(Id("Test Path Name"), -5) << "a forced answer wins";
  EXPECT_EQ(Id("Made Up"), 42);
}

TEST_F(HostCommands, FailuresSetTheErrorWord) {
  Configure([](Settings& s) { s.failingCommands = {"application type"}; });
  int16_t error = 0;
  EXPECT_EQ(RunForResult(494, &error), Value::Undefined());
  EXPECT_NE(error, 0) << "a failing command";
  RunForResult(12345, &error);
  EXPECT_NE(error, 0) << "an unknown command number";
  Configure([](Settings& s) { s.platform = Platform::kUnknown; });
  RunForResult(1572, &error);
  EXPECT_NE(error, 0) << "a command the platform does not have";
}

// A command whose argument list could not be made never runs; its result
// must not pass for a value (kind 0 reads as a legacy text).
TEST_F(HostCommands, AnArgumentListThatCannotBeMadeFailsWithAnUndefinedResult) {
  HostVariable arg = HostCreateVariable();
  HostSetLongVariable(arg, 0);
  host_.InjectFault({lqm::host::FaultKind::kHandle, 1, false});
  HostVariable result = HostExecuteCommand(494, &arg, 1);
  EXPECT_NE(HostGetLastError(), 0);
  EXPECT_EQ(HostGetVariableKind(result), abi::kKindUndefined);
  host_.InjectFault({});
  HostClearVariable(arg);
  HostClearVariable(result);
}

// A BLOB record holds a 32-bit length: a longer one is refused, not cut.
TEST_F(HostCommands, ABlobVariableRefusesALengthItCannotHold) {
  for (int64_t length : {int64_t{-1}, int64_t{INT32_MAX} + 1, int64_t{1} << 32}) {
    HostVariable blob = HostCreateVariable();
    EXPECT_FALSE(HostSetBlobVariable(blob, "x", length)) << length;
    EXPECT_NE(HostGetLastError(), 0);
    EXPECT_EQ(HostGetVariableKind(blob), abi::kKindUndefined);
    HostClearVariable(blob);
  }
  HostVariable blob = HostCreateVariable();
  EXPECT_TRUE(HostSetBlobVariable(blob, "xyz", 3));
  HostClearVariable(blob);
}

// As in 4D, a relative path starts at the database folder, whatever the
// process's working folder is: a file only the working folder has is not
// found.
TEST_F(HostCommands, RelativePathsStartAtTheDatabaseFolder) {
  namespace fs = std::filesystem;
  const fs::path database = fs::temp_directory_path() / "lqm host database";
  const fs::path working = fs::temp_directory_path() / "lqm host working";
  fs::create_directories(database / "Plugins");
  fs::create_directories(working / "Plugins");
  std::ofstream(database / "Plugins" / "db.rsr") << "x";
  std::ofstream(working / "Plugins" / "cwd.rsr") << "x";
  const fs::path previous = fs::current_path();
  fs::current_path(working);
  Configure([](Settings& s) { s.appFolder = fs::temp_directory_path() / "lqm host database"; });
  struct Probe {
    Platform platform;
    std::u16string path;
    int32_t expected;
  } probes[] = {
      {Platform::kWindows, u"Plugins\\db.rsr", 1},
      {Platform::kWindows, u"Plugins", 0},
      {Platform::kWindows, u"Plugins\\cwd.rsr", lqm::host::kErrorFileNotFound},
      {Platform::kMacOS, u":Plugins:db.rsr", 1},
      {Platform::kMacOS, u"Plugins", 0},  // no colon at all: relative too
      {Platform::kMacOS, u":Plugins:cwd.rsr", lqm::host::kErrorFileNotFound},
  };
  for (const Probe& p : probes) {
    Settings s = host_.GetSettings();
    s.platform = p.platform;
    host_.SetSettings(s);
    EXPECT_EQ(TestPath(p.path), p.expected) << lqm::host::Utf16ToUtf8(p.path);
  }
  fs::current_path(previous);
  fs::remove_all(database);
  fs::remove_all(working);
}

}  // namespace
