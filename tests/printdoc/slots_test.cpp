// What the routines cannot show through the host: the slot store under a
// failed allocation and after shutdown, slot names for keys past any fixed
// buffer, the printer list's buffer boundary and the access-code comparison.
// Run directly against printdoc's own state (PrintDocInit and
// PrintDocShutdown make no host call); the routines themselves are tested
// through the host in print_commands_test.cpp.
#include "printdoc/slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/plugin_heap.h"
#include "base/heap_text.h"
#include "host/parameters.h"
#include "printdoc/print_session.h"
#include "printdoc/print_state.h"

namespace {

class SlotStore : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PrintDocInit()); }
  void TearDown() override {
    PluginHeapFailAfter(0);
    PrintDocShutdown();
  }
};

std::string NameOf(uint16_t slot) {
  const HeapText name = BuildSlotName(slot);
  return name.held() ? std::string(name.view()) : std::string("<null>");
}

// A slot number as 4D code passes it: a longint parameter.
uint16_t SlotOf(int32_t value) {
  void* parameters[1] = {&value};
  return SlotParameter(PluginParameters{parameters, nullptr, nullptr}, 1);
}

TEST_F(SlotStore, FailedAllocationKeepsTheOldText) {
  ASSERT_EQ(SetSlotText(4, "kept"), 1);
  PluginHeapFailAfter(1);
  EXPECT_EQ(SetSlotText(4, "lost"), 0);
  EXPECT_STREQ(GetSlotText(4), "kept");
}

TEST_F(SlotStore, NamesUseTheDigitAndTheWholeKey) {
  EXPECT_EQ(NameOf(0), "0_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(7), "7_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(9), "9_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(10), "0_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(12), "0_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(SlotOf(65543)), "7_VarnelLQM_LQM");
  EXPECT_EQ(NameOf(SlotOf(-1)), "0_VarnelLQM_LQM");

  // Keys that would not fit an 80-byte name buffer come back whole.
  for (size_t keyLength : {72u, 73u, 74u, 300u, 5000u}) {
    SCOPED_TRACE(keyLength);
    const std::string key(keyLength, 'k');
    ReplaceSessionKey(HeapText::Copy(key).release());
    EXPECT_EQ(NameOf(3), "3_" + key + "_LQM");
  }
}

TEST_F(SlotStore, NoNameWithoutMemoryOrKey) {
  PluginHeapFailAfter(1);
  EXPECT_EQ(NameOf(1), "<null>");
  PrintDocShutdown();
  EXPECT_EQ(NameOf(1), "<null>");
}

TEST_F(SlotStore, ShutdownHidesEverySlot) {
  ASSERT_EQ(SetSlotText(5, "before"), 1);
  SetPrintSessionOpen(true);
  EXPECT_TRUE(PrintSessionUsable());
  PrintDocShutdown();
  EXPECT_FALSE(PrintSessionUsable());
  EXPECT_STREQ(GetSlotText(5), "");
  EXPECT_EQ(SetSlotText(5, "after"), 0);
  SetPrintSessionOpen(true);  // no session opens outside init
  EXPECT_FALSE(PrintSessionUsable());
  ASSERT_TRUE(PrintDocInit());
  EXPECT_FALSE(PrintSessionUsable());
  EXPECT_STREQ(GetSlotText(5), "");
  EXPECT_STREQ(SessionKey(), "VarnelLQM");
}

TEST(PrintVocabulary, PrinterListIsTheFourEntries) {
  const std::string expected =
      "Zelk Local Printer;Zelk Export Printer;Plugin Local Printer;Plugin Export Printer;";
  char list[256];
  EXPECT_EQ(BuildPrinterList(list, sizeof list), expected.size());
  EXPECT_EQ(std::string(list), expected);
  // Boundary: exactly room for the text and its terminator, then one byte less.
  EXPECT_EQ(BuildPrinterList(list, expected.size() + 1), expected.size());
  EXPECT_EQ(BuildPrinterList(list, expected.size()), 0u);
  EXPECT_STREQ(list, "");
}

TEST(PrintVocabulary, AccessCodeIsWholeAndCaseSensitive) {
  struct {
    std::string text;
    bool matches;
  } const cases[] = {
      {"VarnelLQM 61QTR04", true},
      {"varnellqm 61qtr04", false},
      {"VarnelLQM 61QTR0", false},
      {"VarnelLQM 61QTR04 ", false},
      {std::string("VarnelLQM 61QTR04\0x", 19), false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AccessCodeMatches(c.text.data(), c.text.size()), c.matches);
  }
  EXPECT_FALSE(AccessCodeMatches(nullptr, 17));
}

}  // namespace
