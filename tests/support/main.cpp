// The test program's entry: GoogleTest's runner, with one listener that fails
// any test after which the test thread holds more or fewer of the plugin's
// heap blocks than before it. It sees the plugin copy linked into this
// program (direct routine calls and the static plugin of the hardening
// tests), whose kept blocks are freed by the -2 each such test ends with; the
// loaded library's blocks are its own and only LeakSanitizer sees them.
#include <gtest/gtest.h>

#include "base/plugin_heap.h"

namespace {
class HeapBalance : public testing::EmptyTestEventListener {
  long before_ = 0;
  void OnTestStart(const testing::TestInfo&) override { before_ = PluginLiveBlocksOnThisThread(); }
  void OnTestEnd(const testing::TestInfo&) override {
    EXPECT_EQ(PluginLiveBlocksOnThisThread() - before_, 0) << "plugin heap blocks left live by this test";
  }
};
}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new HeapBalance);
  return RUN_ALL_TESTS();
}
