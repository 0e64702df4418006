// The entry point and the plugin's lifecycle, driven directly through
// FourDPackex with a recording callback instead of a full host: what -1,
// -200 and -2 do to the init block and the process-wide state, and that
// routines without a row run nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/state.h"
#include "host/host_abi.h"

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

TEST_F(Lifecycle, InitialisationSetsDefaultsWithoutCallingTheHost) {
  abi::InitBlock block = MakeInitBlock();
  Select(-1, &block);
  EXPECT_EQ(block.supportedVersion, 0x1400);
  EXPECT_TRUE(gCalls.empty());
  EXPECT_TRUE(gPluginReady);
  EXPECT_FALSE(gEnvironmentReady);
  EXPECT_STREQ(gSessionKey, "VarnelLQM");
  EXPECT_STREQ(gPathSeparator, "\\");
  for (char* slot : gSlotTexts) EXPECT_STREQ(slot, "");
  EXPECT_EQ(gPlatform, -1);
  EXPECT_EQ(gApplicationType, -1);
  EXPECT_EQ(gResourceFileCount, 0);
  for (int32_t id : gCommandIdCache) EXPECT_EQ(id, 0);
}

TEST_F(Lifecycle, ServerInitialisationOnlyKeepsTheCallbackAndWritesTheVersion) {
  Select(-2);
  ASSERT_FALSE(gPluginReady);
  abi::InitBlock block = MakeInitBlock();
  Select(-200, &block);
  EXPECT_EQ(block.supportedVersion, 0x1400);
  EXPECT_FALSE(gPluginReady);  // no initialisation ran
  EXPECT_EQ(gSessionKey, nullptr);
}

TEST_F(Lifecycle, ShutdownReleasesAndClearsEveryHeapText) {
  Select(-2);
  EXPECT_FALSE(gPluginReady);
  EXPECT_EQ(gSessionKey, nullptr);
  for (char* slot : gSlotTexts) EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(gVersionText, nullptr);
  Select(-2);  // a second shutdown frees nothing (ASan would report a double free)
  EXPECT_FALSE(gPluginReady);
}

TEST_F(Lifecycle, ShutdownNeverTouchesTheBlock) {
  abi::InitBlock block = MakeInitBlock();
  Select(-2, &block);
  EXPECT_EQ(block.supportedVersion, 0x7777);
}

TEST_F(Lifecycle, SecondInitialisationStartsFreshWithoutLeaking) {
  std::strcpy(gSlotTexts[0], "");  // valid buffer from the first init
  char* firstKey = gSessionKey;
  abi::InitBlock block = MakeInitBlock();
  Select(-1, &block);
  EXPECT_STREQ(gSessionKey, "VarnelLQM");
  EXPECT_TRUE(gPluginReady);
  (void)firstKey;  // freed by the second init: LeakSanitizer proves nothing leaked
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

TEST_F(Lifecycle, RoutinesNeedingResourcesSetNoResultWhenDiscoveryFails) {
  int64_t result = 0x5A5A5A5A5A5A5A5A;
  void* data = nullptr;
  int32_t slot = 0;
  void* parameters[1] = {&slot};
  FourDPackex(9, parameters, &data, &result);  // a stub that would answer 0
  EXPECT_EQ(result, 0x5A5A5A5A5A5A5A5A);
  EXPECT_FALSE(gEnvironmentReady);
  EXPECT_FALSE(gCalls.empty());  // discovery asked the host
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
  EXPECT_EQ(gPlatform, -1);
  EXPECT_EQ(gVersionText, nullptr);
}

}  // namespace
