// Environment discovery (see discovery.h).
//
// The bundle paths are built in two kFolderBufferSize buffers, allocated on
// first use and kept until shutdown; a base folder too long for them fails
// discovery rather than produce a cut path that could name another file.
// When 4D gives no database folder the base is empty and the bundle path
// stays relative: 4D's document commands resolve it against the database
// folder themselves.
#include <cstring>
#include <initializer_list>

#include "resources/discovery.h"

#include "base/plugin_heap.h"
#include "host/named_commands.h"
#include "host/texts.h"
#include "resources/resource_readers.h"

namespace {

constexpr int32_t kPlatformMacOS = 2;
constexpr int32_t kPlatformWindows = 3;
constexpr int32_t kDatabaseFolder = 4;
constexpr int kScratchSize = 256;
constexpr int kFolderBufferSize = 512;
constexpr int32_t kUnknown = -1;

// Before the first -1 everything is zero, as 4D loads the library; -1 makes
// the facts unknown so that the next command asks for them.
int32_t gPlatform = 0;
int32_t gApplicationType = 0;
int32_t gSystemKind = 0;
int32_t gMachineKind = 0;
char gPathSeparator[2] = {0, 0};
char* gBundleResourcesFolder = nullptr;  // kFolderBufferSize bytes once allocated
char* gBundlePlatformFolder = nullptr;

// Appends `text` to the NUL-terminated path in a kFolderBufferSize buffer;
// false (path unchanged) when it would not fit.
bool AppendToPath(char* path, const char* text) {
  const size_t used = std::strlen(path);
  const size_t added = std::strlen(text);
  if (used + added + 1 > static_cast<size_t>(kFolderBufferSize)) return false;
  std::memcpy(path + used, text, added + 1);
  return true;
}

bool AppendFolder(char* path, const char* folder) {
  return AppendToPath(path, folder) && AppendToPath(path, gPathSeparator);
}

// Ends the path right after the separator before its last folder; a path
// without such a separator, or shorter than 2 bytes, stays as it is.
void CutLastFolder(char* path) {
  const size_t n = std::strlen(path);
  if (n < 2) return;
  for (size_t i = n - 1; i-- > 0;) {
    if (path[i] == gPathSeparator[0]) {
      path[i + 1] = 0;
      return;
    }
  }
}

void DetectPlatform() {
  int32_t values[3] = {gPlatform, gSystemKind, gMachineKind};
  // "Is macOS" stands in only when 4D has no "PLATFORM PROPERTIES"; when
  // that command ran and failed, the values stay unknown for this call.
  const int read = RunPlatformProperties(values);
  if (read >= 0) {
    if (read > 0) gPlatform = values[0];
    if (read > 1) gSystemKind = values[1];
    if (read > 2) gMachineKind = values[2];
    return;
  }
  bool isMacOS = false;
  if (RunBooleanCommand("Is macOS", &isMacOS)) {
    gSystemKind = 0;
    gMachineKind = 0;
    gPlatform = isMacOS ? kPlatformMacOS : kPlatformWindows;
  }
}

bool EnsureFolderBuffer(char*& folder) {
  if (folder == nullptr) folder = static_cast<char*>(PluginMalloc(kFolderBufferSize));
  if (folder != nullptr) folder[0] = 0;
  return folder != nullptr;
}

// Builds both bundle folders from the database folder; false when the
// application type is not one the plugin knows or a path does not fit.
bool BuildBundleFolders(bool compiled) {
  if (!EnsureFolderBuffer(gBundleResourcesFolder) || !EnsureFolderBuffer(gBundlePlatformFolder))
    return false;
  char* base = gBundlePlatformFolder;
  // No folder (or one too long for the buffer) leaves the base empty and the
  // bundle path relative; a failed look-up does not end discovery.
  GetFolderPathUtf8(base, kFolderBufferSize, kDatabaseFolder, false);
  switch (gApplicationType) {
    case 0: break;
    case 1: CutLastFolder(base); break;
    case 4:
      if (compiled && !AppendFolder(base, "4D")) return false;
      break;
    case 5:
      if (compiled) CutLastFolder(base);
      break;
    default: return false;
  }
  if (!AppendFolder(base, "Plugins") || !AppendFolder(base, "VarnelFolioforge.bundle") ||
      !AppendFolder(base, "Contents"))
    return false;
  std::memcpy(gBundleResourcesFolder, base, std::strlen(base) + 1);
  return AppendFolder(gBundleResourcesFolder, "Resources") && AppendFolder(base, "Windows64");
}

// Opens the resource files found in the bundle; true when at least one is open.
bool OpenBundleResourceFiles() {
  char main[kFolderBufferSize];
  char localized[kFolderBufferSize];
  bool found = false;
  localized[0] = 0;
  if (gPlatform != kPlatformMacOS) {
    std::strcpy(main, gBundlePlatformFolder);
    if (!AppendToPath(main, "VarnelFolioforge.rsr")) return false;
    found = TestPathName(main) == 1;
  } else {
    std::strcpy(main, gBundleResourcesFolder);
    std::strcpy(localized, gBundleResourcesFolder);
    if (!AppendToPath(main, "VarnelFolioforge.rsrc") || !AppendFolder(localized, "English.lproj") ||
        !AppendToPath(localized, "Localized.rsrc"))
      return false;
    found = TestPathName(gBundleResourcesFolder) == 0 && TestPathName(main) == 1;
    if (TestPathName(localized) != 1) localized[0] = 0;
  }
  if (!found) return false;
  for (const char* path : {static_cast<const char*>(main), static_cast<const char*>(localized)})
    if (path[0] != 0) OpenPluginResourceFile(path);
  return ResourceFilesOpen();
}

}  // namespace

// The folder buffers are not needed after shutdown: discovery never builds
// them again once it has succeeded, and -1 starts from fresh ones.
void DiscoveryShutdown() {
  PluginRelease(gBundleResourcesFolder);
  PluginRelease(gBundlePlatformFolder);
}

void DiscoveryInit() {
  DiscoveryShutdown();  // whatever an earlier -1 without -2 left
  gPlatform = kUnknown;
  gApplicationType = kUnknown;
  gSystemKind = kUnknown;
  gMachineKind = kUnknown;
  gPathSeparator[0] = '\\';
}

EnvironmentFacts CurrentEnvironment() {
  return {gPlatform, gSystemKind, gMachineKind, gApplicationType};
}

bool DiscoverEnvironment() {
  if (ResourceFilesOpen()) return true;
  bool result = false;
  if (gPlatform == kUnknown || gSystemKind == kUnknown || gMachineKind == kUnknown) DetectPlatform();
  if (gPlatform != kUnknown && gSystemKind != kUnknown && gMachineKind != kUnknown) {
    gPathSeparator[0] = gPlatform == kPlatformMacOS ? ':' : '\\';
    gPathSeparator[1] = 0;
    bool compiled = false;
    RunBooleanCommand("Is compiled mode", &compiled);
    int32_t applicationType = gApplicationType;
    if (RunLongintCommand("Application type", &applicationType)) gApplicationType = applicationType;
    result = BuildBundleFolders(compiled) && OpenBundleResourceFiles();
  }
  // Fill both caches now; after a failure these find nothing, so they are
  // read again on a later call.
  char scratch[kScratchSize];
  LoadVersionText(scratch, kScratchSize);
  LoadInfoString(scratch, kScratchSize);
  return result;
}
