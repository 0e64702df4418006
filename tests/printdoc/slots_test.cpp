// What the routines cannot show through the host: the slot store under a
// failed allocation, no slot name without memory or after shutdown, the
// printer list's buffer boundary and the access-code comparison.
// Run directly against printdoc's own state (PrintDocInit and
// PrintDocShutdown make no host call); the routines themselves are tested
// through the host in print_commands_test.cpp.
#include "printdoc/slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/plugin_heap.h"
#include "base/heap_text.h"
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

TEST_F(SlotStore, FailedAllocationKeepsTheOldText) {
  ASSERT_EQ(SetSlotText(4, "kept"), 1);
  PluginHeapFailAfter(1);
  EXPECT_EQ(SetSlotText(4, "lost"), 0);
  EXPECT_STREQ(GetSlotText(4), "kept");
}

TEST_F(SlotStore, NoNameWithoutMemoryOrKey) {
  PluginHeapFailAfter(1);
  EXPECT_EQ(NameOf(1), "<null>");
  PrintDocShutdown();
  EXPECT_EQ(NameOf(1), "<null>");
}

// The list's text is checked through routine 27; here its buffer boundary:
// exactly room for the text and its terminator, then one byte less.
TEST(PrintVocabulary, PrinterListNeedsRoomForItsTerminator) {
  char list[256];
  const size_t length = BuildPrinterList(list, sizeof list);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(BuildPrinterList(list, length + 1), length);
  EXPECT_EQ(BuildPrinterList(list, length), 0u);
  EXPECT_STREQ(list, "");
}

// Case and a trailing space are checked through routine 3; here what 4D
// code cannot pass: an embedded NUL, a null pointer.
TEST(PrintVocabulary, AccessCodeComparesItsWholeLength) {
  struct {
    std::string text;
    bool matches;
  } const cases[] = {
      {"VarnelLQM 61QTR04", true},
      {"VarnelLQM 61QTR0", false},
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
