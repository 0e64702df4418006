// The entry point and the plugin's lifecycle, driven directly through
// FourDPackex with a recording callback instead of a full host: what -1,
// -200 and -2 do to the init block and the process-wide state, and that
// routines without a row run nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "base/heap_text.h"
#include <string>
#include <vector>

#include "frame/lifecycle.h"
#include "host/host_abi.h"
#include "printdoc/print_state.h"
#include "resources/discovery.h"
#include "resources/resource_readers.h"

extern "C" void LQM_CALLCONV FourDPackex(int32_t selector, void* parameters, void* data, void* result);

namespace {

namespace abi = lqm::abi;

std::vector<int16_t> gCalls;

// Answers every callback with an error, so discovery always fails.
void LQM_CALLCONV RecordingCallback(int16_t selector, abi::EngineBlock* block) {
  gCalls.push_back(selector);
  block->error = -1;
}

abi::InitBlock MakeInitBlock() {
  abi::InitBlock block;
  std::memset(&block, 0, sizeof block);
  block.supportedVersion = 0x7777;
  block.callback = reinterpret_cast<void*>(&RecordingCallback);
  return block;
}

void Select(int32_t selector, void* parameters = nullptr) {
  int64_t result = 0;
  void* data = nullptr;
  FourDPackex(selector, parameters, &data, &result);
}

class Lifecycle : public testing::Test {
 protected:
  void SetUp() override {
    abi::InitBlock block = MakeInitBlock();
    Select(-1, &block);
    gCalls.clear();
  }
  void TearDown() override { Select(-2); }
};

// -1 writes the version and makes no host call (discovery waits for the
// first command that needs it); -200 only keeps the callback and writes it.
TEST_F(Lifecycle, InitialisationWritesTheVersionWithoutCallingTheHost) {
  abi::InitBlock block = MakeInitBlock();
  Select(-1, &block);
  EXPECT_EQ(block.supportedVersion, 0x1400);
  EXPECT_TRUE(gCalls.empty());
  EXPECT_TRUE(PluginReady());
  EXPECT_FALSE(ResourceFilesOpen());
  Select(-2);
  block = MakeInitBlock();
  Select(-200, &block);
  EXPECT_EQ(block.supportedVersion, 0x1400);
  EXPECT_FALSE(PluginReady());
  EXPECT_EQ(SessionKey(), nullptr);
}

TEST_F(Lifecycle, ShutdownReleasesEveryTextAndASecondOneFreesNothing) {
  ASSERT_EQ(SetSlotText(2, "stored"), 1);
  Select(-2);
  EXPECT_FALSE(PluginReady());
  EXPECT_EQ(SessionKey(), nullptr);
  EXPECT_STREQ(GetSlotText(2), "");
  Select(-2);  // ASan reports a double free, LeakSanitizer a text left behind
  EXPECT_FALSE(PluginReady());
}

TEST_F(Lifecycle, ShutdownNeverTouchesTheBlock) {
  abi::InitBlock block = MakeInitBlock();
  Select(-2, &block);
  EXPECT_EQ(block.supportedVersion, 0x7777);
}

// Under LeakSanitizer (make test-asan) a text the first init made and the
// second forgot fails this test at exit.
TEST_F(Lifecycle, SecondInitialisationStartsFresh) {
  ASSERT_EQ(SetSlotText(0, "first"), 1);
  KeepText(HeapText::Copy("kept").release());
  abi::InitBlock block = MakeInitBlock();
  Select(-1, &block);
  EXPECT_STREQ(SessionKey(), "VarnelLQM");
  EXPECT_STREQ(GetSlotText(0), "");
  EXPECT_EQ(KeptText(), nullptr);
  EXPECT_TRUE(PluginReady());
}

TEST_F(Lifecycle, RoutinesWithoutARowRunNothing) {
  for (int32_t routine : {0, -3, -4, -10, -220, 20, 21, 22, 23, 47, 1000}) {
    int64_t result = 0x5A5A5A5A5A5A5A5A;
    void* data = nullptr;
    void* parameters[1] = {nullptr};
    FourDPackex(routine, parameters, &data, &result);
    EXPECT_EQ(result, 0x5A5A5A5A5A5A5A5A) << routine;
    if (routine <= 0) EXPECT_TRUE(gCalls.empty()) << "selector " << routine << " called the host";
  }
}

}  // namespace

namespace {

// The codec commands may run on several threads at once, so they must leave
// the process-wide state (and discovery, which writes it) alone.
TEST_F(Lifecycle, CodecCommandsRunWithoutAttemptingDiscovery) {
  int64_t result = 0x5A5A5A5A5A5A5A5A;
  void* data = nullptr;
  char** noBlob = nullptr;  // a null handle reads as an empty BLOB without a callback
  int16_t model = 2, engine = 1;
  void* parameters[3] = {&noBlob, &model, &engine};
  FourDPackex(46, parameters, &data, &result);
  EXPECT_EQ(result, 0);  // the CRC of an empty BLOB
  EXPECT_TRUE(gCalls.empty());
  EXPECT_EQ(CurrentEnvironment().platform, -1);
}

}  // namespace
