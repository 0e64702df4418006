// The process-wide state and the lifecycle routines -1 and -2 (see state.h
// for the states and transitions).
#include "frame/state.h"

#include <cstring>

#include "base/plugin_heap.h"

bool gPluginReady = false;
bool gEnvironmentReady = false;
bool gPrintSessionOpen = false;
int32_t gPlatform = 0;
int32_t gApplicationType = 0;
int32_t gSystemKind = 0;
int32_t gMachineKind = 0;
char gPathSeparator[2] = {0, 0};
int32_t gResourceFileRefs[kMaxResourceFiles] = {};
int32_t gResourceFileCount = 0;
char* gBundleResourcesFolder = nullptr;
char* gBundlePlatformFolder = nullptr;
int32_t gCommandIdCache[kCachedCommandCount] = {};
char* gVersionText = nullptr;
char* gStringListText = nullptr;
char* gSessionKey = nullptr;
char* gPrintRootDirectory = nullptr;
char* gPrintSpoolDirectory = nullptr;
char* gSlotTexts[kSlotCount] = {};
char* gSavedText = nullptr;

namespace {

constexpr char kDefaultSessionKey[] = "VarnelLQM";

// Frees a heap text and clears its pointer, so nothing can reach the freed
// buffer between a shutdown and the next initialisation.
void ReleaseText(char*& text) {
  PluginFree(text);
  text = nullptr;
}

void ReleaseHeapTexts() {
  ReleaseText(gPrintRootDirectory);
  ReleaseText(gPrintSpoolDirectory);
  ReleaseText(gSessionKey);
  ReleaseText(gSavedText);
  ReleaseText(gStringListText);
  ReleaseText(gVersionText);
  for (char*& slot : gSlotTexts) ReleaseText(slot);
}

char* NewHeapText(const char* text) {
  const size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(PluginMalloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

}  // namespace

void ResetPluginState() {
  gEnvironmentReady = false;
  gPrintSessionOpen = false;
  gPluginReady = false;
  gSavedText = nullptr;
  gStringListText = nullptr;
  gVersionText = nullptr;
  gBundleResourcesFolder = nullptr;
  gBundlePlatformFolder = nullptr;
  gPrintRootDirectory = nullptr;
  gPrintSpoolDirectory = nullptr;
  gSessionKey = nullptr;
  for (char*& slot : gSlotTexts) slot = nullptr;
  for (int32_t& id : gCommandIdCache) id = 0;
  gPlatform = -1;
  gApplicationType = -1;
  gSystemKind = -1;
  gMachineKind = -1;
  for (int32_t& ref : gResourceFileRefs) ref = 0;
  gResourceFileCount = 0;
}

void PluginInit() {
  // A second initialisation without a shutdown would otherwise forget, and so
  // leak, everything the first one allocated.
  ReleaseHeapTexts();
  ReleaseText(gBundleResourcesFolder);
  ReleaseText(gBundlePlatformFolder);
  ResetPluginState();
  gSessionKey = NewHeapText(kDefaultSessionKey);
  bool allocated = gSessionKey != nullptr;
  for (char*& slot : gSlotTexts) {
    slot = NewHeapText("");
    allocated = allocated && slot != nullptr;
  }
  for (int32_t& ref : gResourceFileRefs) ref = 0;
  gResourceFileCount = 0;
  gPathSeparator[0] = '\\';
  gPathSeparator[1] = 0;
  // Commands rely on every slot and the session key being valid buffers;
  // without them the plugin stays not ready rather than half ready.
  if (!allocated) {
    ReleaseHeapTexts();
    return;
  }
  gPluginReady = true;
}

void PluginShutdown() {
  if (!gPluginReady) return;
  ReleaseHeapTexts();
  // Discovery never builds the folders again once it has succeeded, and a
  // later -1 starts from fresh buffers: nothing needs them after shutdown.
  ReleaseText(gBundleResourcesFolder);
  ReleaseText(gBundlePlatformFolder);
  gPluginReady = false;
}
