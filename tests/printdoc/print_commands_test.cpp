// The print session and slot routines (3 to 9, 27, 28, 32 to 44) through the
// entry point, with the plugin in the development host: the access code and
// key rules, the folder variables read once per initialisation, slots and
// their names, the fixed answers, and lifecycle sequences mixing -1 and -2
// with these routines. The fixture checks after every call that no host
// object is left behind.
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
const int32_t kSlotStub6 = lqm::testing::RoutineOf("LQM_SlotStub6");
const int32_t kGetPrinterList = lqm::testing::RoutineOf("LQM_GetPrinterList");
const int32_t kKeepText = lqm::testing::RoutineOf("LQM_KeepText");
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

  // A new initialisation forgets both.
  ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);
  UnsetFolders();
  EXPECT_EQ(Open(kAccessCode), Longint(0));
}

TEST_F(PrintCommands, OpeningAgainClosesOnAFailedRead) {
  host().SetVariable(kRootVariable, Text("R"));
  ASSERT_EQ(Open(kAccessCode), Longint(0));  // spool missing: closed, root kept
  host().SetVariable(kSpoolVariable, Text("S"));
  ASSERT_EQ(Open(kAccessCode), Longint(1));
  ASSERT_EQ(SetSlot(1, "one"), Longint(1));
  EXPECT_EQ(SlotText(1), Text("one"));
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
      {"slot 10 is out of range", 10, "ten", 0, 10, ""},
      {"slot -1 is 65535", -1, "minus", 0, -1, ""},
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

TEST_F(PrintCommands, ClosedSessionHidesSlots) {
  EXPECT_EQ(SlotText(0), Text(""));
  EXPECT_EQ(SetSlot(0, "early"), Longint(0));
  SetFolders();
  ASSERT_EQ(Open(kAccessCode), Longint(1));
  ASSERT_EQ(SetSlot(4, "kept"), Longint(1));
  ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);
  EXPECT_EQ(SlotText(4), Text("")) << "initialisation empties the slots";
  host().SetVariable(kSpoolVariable, Longint(0));  // not a text: the opening fails
  EXPECT_EQ(Open(kAccessCode), Longint(0));
  EXPECT_EQ(SetSlot(4, "closed"), Longint(0));
  EXPECT_EQ(SlotText(4), Text(""));
  EXPECT_EQ(SlotName(4), Text(""));
}

TEST_F(PrintCommands, SlotNamesUseDigitAndWholeKey) {
  SetFolders();
  const std::string longKey = Repeat("K", 300);  // far past an 80-byte name
  ASSERT_EQ(Open(kAccessCode, "Key"), Longint(1));
  struct {
    int32_t slot;
    const char* name;
  } const cases[] = {{0, "0_Key_LQM"},  {7, "7_Key_LQM"},         {9, "9_Key_LQM"},
                     {10, "0_Key_LQM"}, {12, "0_Key_LQM"},        {65536 + 7, "7_Key_LQM"},
                     {-1, "0_Key_LQM"}, {-65536 + 2, "2_Key_LQM"}};
  for (const auto& c : cases) EXPECT_EQ(SlotName(c.slot), Text(c.name)) << c.slot;

  ASSERT_EQ(Open(kAccessCode, longKey), Longint(1));
  EXPECT_EQ(SlotName(5), Text("5_" + longKey + "_LQM"));
}

// ---------------------------------------------------------------------------
// Fixed answers
// ---------------------------------------------------------------------------

TEST_F(PrintCommands, FixedAnswersWithAndWithoutSession) {
  const std::string printers =
      "Zelk Local Printer;Zelk Export Printer;Plugin Local Printer;Plugin Export Printer;";
  struct {
    int32_t routine;
    std::vector<Value> args;
    Value result;
  } const cases[] = {
      {7, {Longint(1), Text("a"), Text("b"), Text("c"), Text("d")}, Longint(0)},
      {8, {Longint(1), Text("a"), Text(""), Text(""), Text(""), Text(""), Text("g"), Text("h")}, Longint(0)},
      {9, {Longint(1)}, Longint(0)},
      {32, {Longint(2)}, Longint(0)},
      {33, {Longint(-1)}, Longint(0)},
      {35, {Longint(99)}, Longint(0)},
      {36, {Longint(0)}, Longint(0)},
      {38, {Longint(3)}, Longint(0)},
      {39, {Longint(4)}, Longint(0)},
      {41, {Longint(5)}, Longint(0)},
      {42, {Longint(6)}, Longint(0)},
      {43, {Longint(7)}, Longint(-1)},
      {44, {Longint(70000)}, Longint(-1)},
      {kGetPrinterList, {}, Text(printers)},
      {kGetFolderName, {Longint(1)}, Text("PrintDoc")},
      {kGetFolderName, {Longint(2)}, Text("BIN")},
      {kGetFolderName, {Longint(3)}, Text("Spool")},
      {kGetFolderName, {Longint(0)}, Text("")},
      {kGetFolderName, {Longint(4)}, Text("")},
      {kGetFolderName, {Longint(65537)}, Text("")},
  };
  ASSERT_EQ(printers.size(), 82u);
  for (bool open : {false, true}) {
    if (open) {
      SetFolders();
      ASSERT_EQ(Open(kAccessCode), Longint(1));
    }
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << "routine " << c.routine << (open ? ", open" : ", closed"));
      const CallOutcome outcome = Call(c.routine, c.args);
      EXPECT_EQ(outcome.result, c.result);
      for (size_t i = 0; i < c.args.size(); ++i) EXPECT_EQ(outcome.args[i], c.args[i]);
    }
  }
}

TEST_F(PrintCommands, Routine6LeavesItsVariablesAlone) {
  const std::vector<std::vector<Value>> argumentSets = {
      {Longint(1), Variable(Longint(5)), Variable(Text("t"))},
      {Longint(2), Variable(TextArray({"", "a", "b"})), Undefined()},
      {Longint(3), Variable(Value::RealArray({0, 1.5})), Variable(Value::LongintArray({1, 2}))},
  };
  for (bool open : {false, true}) {
    if (open) {
      SetFolders();
      ASSERT_EQ(Open(kAccessCode), Longint(1));
    }
    for (const auto& args : argumentSets) {
      SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(args) << (open ? ", open" : ", closed"));
      const CallOutcome outcome = Call(kSlotStub6, args);
      EXPECT_EQ(outcome.result, Text(""));
      ASSERT_EQ(outcome.args.size(), 3u);
      for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(outcome.args[i], args[i]);
    }
  }
}

TEST_F(PrintCommands, KeptTextSetsNoResult) {
  for (const std::string& text : {std::string(""), std::string("keep me"), Repeat("z", 32767),
                                  Repeat("z", 32768), std::string("again")}) {
    SCOPED_TRACE(text.size());
    EXPECT_EQ(Call(kKeepText, {Text(text)}).result, std::nullopt);
  }
}

// ---------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------

TEST_F(PrintCommands, ShutdownLeavesOnlyEmptyAnswers) {
  SetFolders();
  ASSERT_EQ(Open(kAccessCode, "Live"), Longint(1));
  ASSERT_EQ(SetSlot(1, "before"), Longint(1));
  ASSERT_EQ(Call(kKeepText, {Text("kept")}).result, std::nullopt);

  host().Select(-2);
  EXPECT_EQ(Open(kAccessCode, "After"), Longint(0));
  EXPECT_EQ(SlotText(1), Text(""));
  EXPECT_EQ(SetSlot(1, "after"), Longint(0));
  EXPECT_EQ(SlotName(1), Text(""));
  EXPECT_EQ(Call(kSlotStub6, {Longint(1), Variable(Longint(3)), Undefined()}).result, Text(""));
  EXPECT_EQ(Call(kKeepText, {Text("after shutdown")}).result, std::nullopt);
  EXPECT_EQ(Call(kGetPrinterList).result.has_value(), true);
  host().Select(-2);  // a second shutdown frees nothing twice

  ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);
  EXPECT_EQ(SlotName(1), Text("")) << "a new initialisation starts closed";
  ASSERT_EQ(Open(kAccessCode), Longint(1));
  EXPECT_EQ(SlotText(1), Text("")) << "slots start empty again";
  EXPECT_EQ(SlotName(1), Text("1_VarnelLQM_LQM"));
}

TEST_F(PrintCommands, RepeatedInitialisationStartsOver) {
  SetFolders();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(SlotText(0), Text(""));
    EXPECT_EQ(SlotName(0), Text(""));
    ASSERT_EQ(Open(kAccessCode, "Round"), Longint(1));
    ASSERT_EQ(SetSlot(0, "round text"), Longint(1));
    ASSERT_EQ(Call(kKeepText, {Text("kept")}).result, std::nullopt);
    EXPECT_EQ(SlotName(0), Text("0_Round_LQM"));
    ASSERT_EQ(host().Select(-1), abi::kInterfaceVersion);  // no -2 in between
  }
}

}  // namespace
}  // namespace lqm::testing
