// The plugin's process-wide state and its lifecycle.
//
// One copy for the whole 4D application, shared by every 4D process that
// calls the plugin and read and written without locks: only the commands that
// 4D runs on its main process touch it (the codec commands, which may run on
// several threads, read nothing here).
//
// States and transitions:
//
//   Unloaded   all zero, gPluginReady false
//      | -1 (PluginInit: ResetPluginState, then defaults; no host call)
//      v
//   Ready      gPluginReady; gEnvironmentReady false until discovery succeeds
//      | first positive routine: DiscoverEnvironment, repeated until it succeeds
//      v
//   Discovered gEnvironmentReady; resource files open for the life of the process
//      | -2 (PluginShutdown: heap texts freed, pointers cleared)
//      v
//   Shut down  gPluginReady false; the slot and session commands answer empty
//      | -1 starts over from ResetPluginState (discovery runs again)
//
// -200 only keeps the host's callback; it changes none of this state. A -1
// while Ready releases the heap texts of the previous initialisation instead
// of forgetting them, so repeated initialisation does not leak.
#pragma once

#include <cstdint>

inline constexpr int kSlotCount = 10;
inline constexpr int kMaxResourceFiles = 10;
inline constexpr int kFolderBufferSize = 512;

// The 4D commands run often enough to keep their numbers.
enum CachedCommand { kCommandGetResource = 0, kCommandTestPathName = 1, kCommandOpenResourceFile = 2 };
inline constexpr int kCachedCommandCount = 3;

extern bool gPluginReady;
extern bool gEnvironmentReady;
extern bool gPrintSessionOpen;
extern int32_t gPlatform;         // 2 macOS, 3 Windows, -1 unknown
extern int32_t gApplicationType;  // "Application type", -1 unknown
extern int32_t gSystemKind;
extern int32_t gMachineKind;
extern char gPathSeparator[2];
extern int32_t gResourceFileRefs[kMaxResourceFiles];
extern int32_t gResourceFileCount;
extern char* gBundleResourcesFolder;  // kFolderBufferSize bytes once allocated
extern char* gBundlePlatformFolder;
extern int32_t gCommandIdCache[kCachedCommandCount];
extern char* gVersionText;
extern char* gStringListText;
extern char* gSessionKey;
extern char* gPrintRootDirectory;
extern char* gPrintSpoolDirectory;
extern char* gSlotTexts[kSlotCount];
extern char* gSavedText;

// Sets every variable but the callback and the separator to its empty value.
void ResetPluginState();
void PluginInit();
void PluginShutdown();
