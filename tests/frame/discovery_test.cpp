// Environment discovery, run through the entry point inside the development
// host against application folders laid out on disk for each case: both
// platform detections, every application type the plugin accepts and one it
// refuses, a missing localized file, base folders too long for the path
// buffers, host errors and unknown commands, and the command-number cache.
//
// What the plugin opened is read from the outside: routine 1 answers the
// version of the main file that was opened (each platform's file carries its
// own), routine 11 answers item 1 of "STR#" 20013, which the localized file
// overrides when it is open (the host searches the latest file first), and
// the host's statistics count the 4D commands that ran.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/app_folder.h"
#include "support/host_fixture.h"

namespace {

namespace fs = std::filesystem;
using lqm::host::Platform;
using lqm::host::Settings;
using lqm::testing::Blob;
using lqm::testing::Integer;
using lqm::testing::Longint;
using lqm::testing::TempAppFolder;
using lqm::testing::Text;
using lqm::testing::Value;

const int32_t kGetVersion = lqm::testing::RoutineOf("LQM_GetVersion");
const int32_t kGetInfoString = lqm::testing::RoutineOf("LQM_GetInfoString");
const int32_t kGetString1 = lqm::testing::RoutineOf("LQM_GetString1");
const int32_t kGetDataBlob1 = lqm::testing::RoutineOf("LQM_GetDataBlob1");
constexpr int32_t kUnlistedRoutine = 20;  // no row: runs only discovery

const char kWindowsMainSource[] =
    "resource \"vers\" 1 version { number 1.0.0 short \"1.0.0-windows\" long \"windows file\" }\n"
    "resource \"STR#\" 20015 strings { \"info from the windows file\" }\n"
    "resource \"STR#\" 20013 strings { \"main\" }\n"
    "resource \"xpdt\" 20014 hex { 01 02 03 }\n";
const char kMacMainSource[] =
    "resource \"vers\" 1 version { number 1.0.0 short \"1.0.0-macos\" long \"macos file\" }\n"
    "resource \"STR#\" 20015 strings { \"info from the macos file\" }\n"
    "resource \"STR#\" 20013 strings { \"main\" }\n";
const char kLocalizedSource[] = "resource \"STR#\" 20013 strings { \"localized\" }\n";

class Discovery : public lqm::testing::PluginTest {
 protected:
  void Configure(Platform platform, bool platformProperties, int32_t applicationType, bool compiled,
                 const fs::path& appFolder) {
    Settings s = host().GetSettings();
    s.platform = platform;
    s.platformProperties = platformProperties;
    s.applicationType = applicationType;
    s.compiled = compiled;
    s.appFolder = appFolder;
    host().SetSettings(s);
  }
  template <typename Edit>
  void Change(Edit change) {
    Settings s = host().GetSettings();
    change(s);
    host().SetSettings(s);
  }
  int64_t Runs(const std::string& command) {
    const auto stats = host().GetStats();
    const auto found = stats.commandsRun.find(command);
    return found == stats.commandsRun.end() ? 0 : found->second;
  }
  uint64_t Callbacks() { return host().GetStats().callbacks; }
  // Writes every file a bundle can hold below `pluginsParent`.
  static void WriteBundle(const fs::path& pluginsParent, bool withLocalized) {
    TempAppFolder::WriteBytes(TempAppFolder::WindowsMainFile(pluginsParent),
                              TempAppFolder::Compile(kWindowsMainSource));
    TempAppFolder::WriteBytes(TempAppFolder::MacMainFile(pluginsParent),
                              TempAppFolder::Compile(kMacMainSource));
    if (withLocalized)
      TempAppFolder::WriteBytes(TempAppFolder::LocalizedFile(pluginsParent),
                                TempAppFolder::Compile(kLocalizedSource));
  }
  Value Version() { return Call(kGetVersion).result.value_or(Value::Undefined()); }

  TempAppFolder folder_;
};

// ---------------------------------------------------------------------------
// Platforms and application types
// ---------------------------------------------------------------------------

struct LayoutCase {
  const char* label;
  Platform platform;
  bool platformProperties;
  int32_t applicationType;
  bool compiled;
  const char* reported;       // folder kind 4, relative to the temp root
  const char* pluginsParent;  // where the bundle really lies
  bool localized;
  // Expected: version text ("" = discovery failed), item 1 of 20013, counts.
  const char* version;
  const char* string1;
  int64_t pathTests;
  int64_t filesOpened;
};

const LayoutCase kLayouts[] = {
    {"windows, single user", Platform::kWindows, true, 0, false, "app", "app", true,
     "1.0.0-windows", "main", 1, 1},
    {"macos by Is macOS, with localized", Platform::kMacOS, false, 0, false, "app", "app", true,
     "1.0.0-macos", "localized", 3, 2},
    {"macos by Is macOS, localized missing", Platform::kMacOS, false, 0, false, "app", "app", false,
     "1.0.0-macos", "main", 3, 1},
    {"macos by PLATFORM PROPERTIES", Platform::kMacOS, true, 0, false, "app", "app", true,
     "1.0.0-macos", "localized", 3, 2},
    {"windows, merged: one folder up", Platform::kWindows, true, 1, false, "app/inner", "app", true,
     "1.0.0-windows", "main", 1, 1},
    {"macos, merged: one folder up", Platform::kMacOS, false, 1, true, "app/inner", "app", true,
     "1.0.0-macos", "localized", 3, 2},
    {"merged, bundle beside the reported folder is not it", Platform::kWindows, true, 1, false,
     "app/inner", "app/inner", true, "", nullptr, 1, 0},
    {"remote, compiled: in 4D", Platform::kWindows, true, 4, true, "app", "app/4D", true,
     "1.0.0-windows", "main", 1, 1},
    {"remote, compiled, macos: in 4D", Platform::kMacOS, false, 4, true, "app", "app/4D", true,
     "1.0.0-macos", "localized", 3, 2},
    {"remote, interpreted: unchanged", Platform::kWindows, true, 4, false, "app", "app", true,
     "1.0.0-windows", "main", 1, 1},
    {"server, compiled: one folder up", Platform::kWindows, true, 5, true, "app/inner", "app", true,
     "1.0.0-windows", "main", 1, 1},
    {"server, interpreted: unchanged", Platform::kWindows, true, 5, false, "app/inner", "app/inner",
     true, "1.0.0-windows", "main", 1, 1},
    {"application type 3 is refused", Platform::kWindows, true, 3, false, "app", "app", true, "",
     nullptr, 0, 0},
    {"application type -1 is refused", Platform::kMacOS, false, -1, false, "app", "app", true, "",
     nullptr, 0, 0},
    {"no platform answer at all", Platform::kUnknown, false, 0, false, "app", "app", true, "",
     nullptr, 0, 0},
};

TEST_F(Discovery, FindsTheBundleForEachPlatformAndApplicationType) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.label);
    // A fresh host state per case: new settings, files closed by a re-init
    // would not undo what the host keeps open, so each case gets its own root.
    TempAppFolder folder;
    WriteBundle(folder.root() / c.pluginsParent, c.localized);
    host().Select(-2);
    host().Select(-1);
    Configure(c.platform, c.platformProperties, c.applicationType, c.compiled, folder.root() / c.reported);
    const int64_t testsBefore = Runs("Test path name");
    const int64_t opensBefore = Runs("Open resource file");

    host().Select(kUnlistedRoutine);  // one discovery and nothing else
    EXPECT_EQ(Runs("Test path name") - testsBefore, c.pathTests);
    EXPECT_EQ(Runs("Open resource file") - opensBefore, c.filesOpened);
    EXPECT_EQ(Version(), Text(c.version));
    const auto string1 = Call(kGetString1).result;
    if (c.string1) {
      EXPECT_EQ(string1, Text(c.string1));
    } else {
      EXPECT_FALSE(string1.has_value()) << "a resource command ran without discovery";
    }
    // A failed discovery is repeated on the next command, a successful one is not.
    const int64_t testsAfter = Runs("Test path name");
    host().Select(kUnlistedRoutine);
    EXPECT_EQ(Runs("Test path name") - testsAfter, c.string1 ? 0 : c.pathTests);
  }
}

// ---------------------------------------------------------------------------
// Paths that do not fit
// ---------------------------------------------------------------------------

// The base fits its buffer, the bundle path below it does not. A bundle in
// the working folder: a base dropped to "" would find it through the
// relative path that remains.
TEST_F(Discovery, BaseFoldersTooLongForThePathBuffersFailWithoutTestingAPath) {
  WriteBundle(folder_.root() / "cwd", false);
  const fs::path workingFolder = fs::current_path();
  fs::current_path(folder_.root() / "cwd");
  fs::path base = folder_.root();
  while (base.u8string().size() < 512 - 60) base /= std::string(40, 'f');
  host().Select(-2);
  host().Select(-1);
  Configure(Platform::kWindows, true, 0, false, base);
  const int64_t testsBefore = Runs("Test path name");
  EXPECT_EQ(Version(), Text(""));
  EXPECT_FALSE(Call(kGetInfoString).result.has_value());
  EXPECT_EQ(Runs("Test path name"), testsBefore) << "a cut or empty base was looked up";
  fs::current_path(workingFolder);
}

// The main file's path exactly fills the path buffers (511 bytes and the
// terminator) and is found; one byte longer, discovery fails.
TEST_F(Discovery, ABundlePathThatExactlyFillsThePathBuffersIsFound) {
  const size_t belowBase =
      std::strlen("Plugins\\VarnelFolioforge.bundle\\Contents\\Windows64\\VarnelFolioforge.rsr");
  for (const size_t length : {size_t{511}, size_t{512}}) {
    SCOPED_TRACE(length);
    TempAppFolder folder;
    fs::path base = folder.root();
    host().Select(-2);
    host().Select(-1);
    Configure(Platform::kWindows, true, 0, false, base);
    // Each folder added to the base adds its name and a separator.
    size_t missing = length - belowBase - host().EmulatedPath(base).size();
    ASSERT_GE(missing, 160u);
    for (; missing > 150; missing -= 101) base /= std::string(100, 'p');
    base /= std::string(missing - 1, 'q');
    WriteBundle(base, false);
    Configure(Platform::kWindows, true, 0, false, base);
    ASSERT_EQ(host().EmulatedPath(base).size() + belowBase, length);
    EXPECT_EQ(Version(), Text(length == 511 ? "1.0.0-windows" : ""));
  }
}

// ---------------------------------------------------------------------------
// After success
// ---------------------------------------------------------------------------

TEST_F(Discovery, OnceReadyLaterCommandsMakeNoHostCallForIt) {
  WriteBundle(folder_.root(), true);
  Configure(Platform::kMacOS, false, 0, false, folder_.root());
  uint64_t before = Callbacks();
  host().Select(kUnlistedRoutine);
  EXPECT_GT(Callbacks(), before) << "the first command did not discover";
  before = Callbacks();
  host().Select(kUnlistedRoutine);
  EXPECT_EQ(Callbacks(), before) << "a ready plugin discovered again";
  // The caches were filled during discovery: routine 1 makes only the calls
  // that return its text, no resource read.
  const int64_t runsBefore = Runs("GET RESOURCE");
  EXPECT_EQ(Version(), Text("1.0.0-macos"));
  EXPECT_EQ(Call(kGetInfoString).result, Text("info from the macos file"));
  EXPECT_EQ(Runs("GET RESOURCE"), runsBefore);
}

// ---------------------------------------------------------------------------
// Host errors and unknown commands
// ---------------------------------------------------------------------------

TEST_F(Discovery, AHostErrorWhileOpeningFailsDiscoveryButNotTheCodecs) {
  WriteBundle(folder_.root(), true);
  Configure(Platform::kMacOS, false, 0, false, folder_.root());
  Change([](Settings& s) { s.failingCommands = {"open resource file"}; });

  EXPECT_EQ(Version(), Text(""));
  for (int32_t routine : {kGetInfoString, kGetString1, kGetDataBlob1, 24}) {
    EXPECT_FALSE(Call(routine).result.has_value()) << "routine " << routine;
  }
  EXPECT_EQ(Call("LQM_ComputeCRC", {Blob("123456789"), Integer(2), Integer(1)}).result,
            Longint(int32_t(0xCBF43926)));
  EXPECT_GT(Runs("Open resource file"), 0);

  // The failure is not remembered: once the host opens the files, it works.
  Change([](Settings& s) { s.failingCommands.clear(); });
  EXPECT_EQ(Version(), Text("1.0.0-macos"));
  EXPECT_EQ(Call(kGetString1).result, Text("localized"));
}

TEST_F(Discovery, UnknownCommandNumbersAreCachedOnlyWhenNegative) {
  struct Case {
    const char* label;
    const char* command;  // lower-cased, as the host's settings key it
    int32_t forcedId;
    bool readyOnceKnownAgain;  // without a new initialisation
  };
  const Case cases[] = {
      {"Test path name answers 0", "test path name", 0, true},
      {"Test path name answers negative", "test path name", -3, false},
      {"Open resource file answers 0", "open resource file", 0, true},
      {"Open resource file answers negative", "open resource file", -1, false},
      {"PLATFORM PROPERTIES unknown, Is macOS answers", "platform properties", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempAppFolder folder;
    WriteBundle(folder.root(), false);
    host().Select(-2);
    host().Select(-1);
    Configure(Platform::kWindows, true, 0, false, folder.root());
    Change([&](Settings& s) { s.commandIds = {{c.command, c.forcedId}}; });
    const int64_t opensBefore = Runs("Open resource file");
    const bool platformOnly = std::string(c.command) == "platform properties";

    // A number of 0 is not refused: 4D is asked to run it (and here fails).
    host().InjectFault({lqm::host::FaultKind::kExecution, 1 << 30, false});
    EXPECT_EQ(Version(), Text(platformOnly ? "1.0.0-windows" : ""));
    const int64_t executions = host().GetFaultStatus().counted;
    host().InjectFault({});
    if (!platformOnly) EXPECT_EQ(Runs("Open resource file"), opensBefore) << "opened without a usable number";
    // Discovery runs PLATFORM PROPERTIES, "Is compiled mode" and "Application
    // type", then the path test and, for the open case, the test that passes
    // and the open: with a 0 each still runs.
    if (c.forcedId == 0 && !platformOnly)
      EXPECT_EQ(executions, std::string(c.command) == "test path name" ? 4 : 5) << "a cached 0 was not run";

    Change([](Settings& s) { s.commandIds.clear(); });
    EXPECT_EQ(Version(), Text(c.readyOnceKnownAgain ? "1.0.0-windows" : ""));
    host().Select(-2);
    host().Select(-1);
    EXPECT_EQ(Version(), Text("1.0.0-windows")) << "a new initialisation forgets the number";
  }
}

// "Is macOS" answers only when 4D has no "PLATFORM PROPERTIES". When that
// command exists but fails, the platform stays unknown for the call, and
// the next call asks again.
TEST_F(Discovery, AFailedPlatformPropertiesRunIsNotReplacedByIsMacOS) {
  WriteBundle(folder_.root(), true);
  Configure(Platform::kMacOS, true, 0, false, folder_.root());
  Change([](Settings& s) { s.failingCommands = {"platform properties"}; });
  EXPECT_EQ(Version(), Text(""));
  EXPECT_EQ(Runs("Is macOS"), 0);
  EXPECT_EQ(Runs("Test path name"), 0) << "a path was built without a platform";
  Change([](Settings& s) { s.failingCommands.clear(); });
  EXPECT_EQ(Version(), Text("1.0.0-macos"));
}

// Routine 1 runs discovery once per call, like every other command.
TEST_F(Discovery, EachCallRunsAFailingDiscoveryOnce) {
  Configure(Platform::kWindows, true, 0, false, folder_.root());  // no bundle there
  for (int32_t routine : {kGetVersion, kGetInfoString}) {
    const int64_t before = Runs("Application type");
    Call(routine);
    EXPECT_EQ(Runs("Application type") - before, 1) << "routine " << routine;
  }
}

// When 4D gives no database folder, discovery goes on with a relative bundle
// path, which 4D's document commands resolve against the database folder.
TEST_F(Discovery, AFailedFolderLookUpLeavesARelativePathThatStillFindsTheBundle) {
  WriteBundle(folder_.root(), false);
  Configure(Platform::kWindows, true, 0, false, folder_.root());
  host().InjectFault({lqm::host::FaultKind::kFolder, 1, false});
  EXPECT_EQ(Version(), Text("1.0.0-windows"));
  EXPECT_EQ(host().GetFaultStatus().fired, 1);
  host().InjectFault({});
}

}  // namespace
