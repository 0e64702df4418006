// The print session and slot routines through the entry point, with the
// plugin in the development host: the access code and key rules, the folder
// variables read once per initialisation, slots and their names, folder
// names and the printer list. Their answers to bad input, before -1 and
// after -2 are pinned in docs/robustness.md, and sequences of -1, -2 and
// these routines are walked by tests/frame/lifecycle_abuse_test.cpp. The
// fixture checks after every call that no host object is left behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace lqm::testing {
namespace {

const int32_t kOpenPrintSession = lqm::testing::RoutineOf("LQM_OpenPrintSession");
const int32_t kGetSlotText = lqm::testing::RoutineOf("LQM_GetSlotText");
const int32_t kSetSlotText = lqm::testing::RoutineOf("LQM_SetSlotText");
const int32_t kGetPrinterList = lqm::testing::RoutineOf("LQM_GetPrinterList");
const int32_t kGetFolderName = lqm::testing::RoutineOf("LQM_GetFolderName");
const int32_t kGetSlotName = lqm::testing::RoutineOf("LQM_GetSlotName");

const char kAccessCode[] = "VarnelLQM 61QTR04";
const char kRootVariable[] = "<>vxPrintRootDirectoryPath";
const char kSpoolVariable[] = "<>vxPrintSpoolDirectoryPath";

std::string Repeat(const std::string& unit, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += unit;
  return text;
}

class PrintCommands : public PluginTest {
 protected:
  void SetFolders() {
    host().SetVariable(kRootVariable, Text("C:\\Print\\"));
    host().SetVariable(kSpoolVariable, Text("C:\\Print\\Spool\\"));
  }
  void UnsetFolders() {
    host().UnsetVariable(kRootVariable);
    host().UnsetVariable(kSpoolVariable);
  }
  std::optional<Value> Open(const std::string& code, const std::string& key = "") {
    return Call(kOpenPrintSession, {Text(code), Text(key), Text("note")}).result;
  }
  std::optional<Value> SlotText(int32_t slot) { return Call(kGetSlotText, {Longint(slot)}).result; }
  std::optional<Value> SetSlot(int32_t slot, const std::string& text) {
    return Call(kSetSlotText, {Longint(slot), Text(text)}).result;
  }
  std::optional<Value> SlotName(int32_t slot) { return Call(kGetSlotName, {Longint(slot)}).result; }
};

// ---------------------------------------------------------------------------
// Routine 3
// ---------------------------------------------------------------------------

TEST_F(PrintCommands, AccessCodeAndKeyRules) {
  SetFolders();
  struct {
    const char* label;
    std::string code;
    std::string key;
    int32_t result;
    const char* slotThreeName;  // routine 37 afterwards; "" while closed
  } const steps[] = {
      {"closed at first", "", "", 0, ""},
      {"wrong case stays closed", "varnellqm 61qtr04", "Lower", 0, ""},
      {"right code, empty key", kAccessCode, "", 1, "3_VarnelLQM_LQM"},
      {"wrong code keeps the session, takes the key", "wrong", "Other", 0, "3_Other_LQM"},
      {"empty code changes nothing", "", "Ignored", 0, "3_Other_LQM"},
      {"code with a tail is wrong", std::string(kAccessCode) + " ", "", 0, "3_VarnelLQM_LQM"},
      {"right code, new key", kAccessCode, "Job-42", 1, "3_Job-42_LQM"},
      {"non-ASCII key kept as UTF-8", kAccessCode, "Ünïcødé", 1, "3_Ünïcødé_LQM"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.label);
    EXPECT_EQ(Open(step.code, step.key), Longint(step.result));
    EXPECT_EQ(SlotName(3), Text(step.slotThreeName));
  }
}

TEST_F(PrintCommands, FolderVariablesDecideTheOpening) {
  struct {
    const char* label;
    std::optional<Value> root;  // nullopt: the variable does not exist
    std::optional<Value> spool;
    int32_t result;
  } const cases[] = {
      {"both texts", Text("R"), Text("S"), 1},
      {"empty texts are values", Text(""), Text(""), 1},
      {"spool missing", Text("R"), std::nullopt, 0},
      {"root missing", std::nullopt, Text("S"), 0},
      {"spool a longint", Text("R"), Longint(5), 0},
      {"root a longint", Longint(5), Text("S"), 0},
      {"root a text array", TextArray({"", "R"}), Text("S"), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);  // forget what an earlier case read
    UnsetFolders();
    if (c.root) host().SetVariable(kRootVariable, *c.root);
    if (c.spool) host().SetVariable(kSpoolVariable, *c.spool);
    EXPECT_EQ(Open(kAccessCode), Longint(c.result));
    EXPECT_EQ(SlotName(0), Text(c.result ? "0_VarnelLQM_LQM" : ""));
  }
}

TEST_F(PrintCommands, FolderVariablesAreReadOncePerInitialisation) {
  SetFolders();
  ASSERT_EQ(Open(kAccessCode), Longint(1));
  UnsetFolders();
  EXPECT_EQ(Open(kAccessCode), Longint(1)) << "kept texts are not read again";

  // A failed opening closes the session but keeps the root text it read.
  ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);
  host().SetVariable(kRootVariable, Text("R"));
  host().SetVariable(kSpoolVariable, Longint(1));
  EXPECT_EQ(Open(kAccessCode), Longint(0));
  host().UnsetVariable(kRootVariable);
  host().SetVariable(kSpoolVariable, Text("S"));
  EXPECT_EQ(Open(kAccessCode), Longint(1)) << "the root text read before was kept";
  // That -1 forgets them shows in FolderVariablesDecideTheOpening.
}

// ---------------------------------------------------------------------------
// Slots
// ---------------------------------------------------------------------------

TEST_F(PrintCommands, SlotsStoreAndReturnWholeTexts) {
  SetFolders();
  ASSERT_EQ(Open(kAccessCode), Longint(1));
  const std::string longest = Repeat("x", 32766);
  const std::string longestTwoByte = Repeat("é", 16383);  // 32766 bytes of UTF-8
  struct {
    const char* label;
    int32_t slot;
    std::string text;
    int32_t stored;
    int32_t readSlot;
    std::string readBack;
  } const steps[] = {
      {"store", 2, "abc", 1, 2, "abc"},
      {"an empty text is refused", 2, "", 0, 2, "abc"},
      {"low 16 bits name the slot", 65536 + 3, "three", 1, 3, "three"},
      {"longest text comes back whole", 9, longest, 1, 9, longest},
      {"one byte more is refused", 9, longest + "y", 0, 9, longest},
      {"UTF-8 bytes count, not units", 8, longestTwoByte, 1, 8, longestTwoByte},
      {"a two-byte unit past the limit", 8, longestTwoByte + "é", 0, 8, longestTwoByte},
      {"slot 0", 0, "zero", 1, 0, "zero"},
      {"untouched slot is empty", 5, "", 0, 5, ""},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.label);
    EXPECT_EQ(SetSlot(step.slot, step.text), Longint(step.stored));
    EXPECT_EQ(SlotText(step.readSlot), Text(step.readBack));
  }
}

TEST_F(PrintCommands, SlotNamesUseDigitAndWholeKey) {
  SetFolders();
  ASSERT_EQ(Open(kAccessCode, "Key"), Longint(1));
  struct {
    int32_t slot;
    const char* name;
  } const cases[] = {{0, "0_Key_LQM"},  {7, "7_Key_LQM"},         {9, "9_Key_LQM"},
                     {10, "0_Key_LQM"}, {12, "0_Key_LQM"},        {65536 + 7, "7_Key_LQM"},
                     {-1, "0_Key_LQM"}, {-65536 + 2, "2_Key_LQM"}};
  for (const auto& c : cases) EXPECT_EQ(SlotName(c.slot), Text(c.name)) << c.slot;

  // Keys around and far past what an 80-byte name would hold come back whole.
  for (size_t keyLength : {73u, 74u, 300u}) {
    const std::string key = Repeat("K", keyLength);
    ASSERT_EQ(Open(kAccessCode, key), Longint(1));
    EXPECT_EQ(SlotName(5), Text("5_" + key + "_LQM")) << keyLength;
  }
}

// ---------------------------------------------------------------------------
// Fixed answers
// ---------------------------------------------------------------------------

// The reserved slot routines' fixed answers are pinned in docs/robustness.md;
// the folder names and the printer list must not depend on the session.
TEST_F(PrintCommands, FolderNamesAndPrinterListWithAndWithoutSession) {
  struct {
    int32_t routine;
    std::vector<Value> args;
    Value result;
  } const cases[] = {
      {kGetPrinterList, {}, Text("Zelk Local Printer;Zelk Export Printer;Plugin Local Printer;Plugin Export Printer;")},
      {kGetFolderName, {Longint(1)}, Text("PrintDoc")},
      {kGetFolderName, {Longint(2)}, Text("BIN")},
      {kGetFolderName, {Longint(3)}, Text("Spool")},
      {kGetFolderName, {Longint(0)}, Text("")},
      {kGetFolderName, {Longint(4)}, Text("")},
      {kGetFolderName, {Longint(65537)}, Text("")},
  };
  for (bool open : {false, true}) {
    if (open) {
      SetFolders();
      ASSERT_EQ(Open(kAccessCode), Longint(1));
    }
    for (const auto& c : cases)
      EXPECT_EQ(Call(c.routine, c.args).result, c.result) << "routine " << c.routine << (open ? ", open" : ", closed");
  }
}

}  // namespace
}  // namespace lqm::testing
