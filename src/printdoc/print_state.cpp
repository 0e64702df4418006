// The print session's state (see print_state.h).
//
// `gInitialised` is printdoc's own record of -1 and -2, so that every
// routine here can refuse to store a text that nobody would free.
#include "printdoc/print_state.h"

#include <cstring>

#include "base/heap_text.h"
#include "base/plugin_heap.h"
#include "host/texts.h"
#include "printdoc/print_session.h"

namespace {

bool gInitialised = false;
bool gSessionOpen = false;
char* gSessionKey = nullptr;
char* gPrintRootDirectory = nullptr;
char* gPrintSpoolDirectory = nullptr;
char* gSlotTexts[kSlotCount] = {};
char* gKeptText = nullptr;

void ReleaseAll() {
  PluginRelease(gPrintRootDirectory);
  PluginRelease(gPrintSpoolDirectory);
  PluginRelease(gSessionKey);
  PluginRelease(gKeptText);
  for (char*& slot : gSlotTexts) PluginRelease(slot);
  gSessionOpen = false;
  gInitialised = false;
}

// Reads a text variable into `target` unless it already holds a text.
bool ReadTextVariableOnce(char*& target, const char* name) {
  if (target != nullptr) return true;
  const HostVariable variable = GetVariableByUtf8Name(name);
  if (HostGetLastError() != 0) return false;
  if (HostGetVariableKind(variable) != lqm::abi::kKindText || HostGetLastError() != 0) return false;
  char* copy = nullptr;
  if (TextVariableToUtf8(variable, &copy) < 1 || copy == nullptr) {
    PluginFree(copy);
    return false;
  }
  target = copy;
  return true;
}

}  // namespace

bool PrintDocInit() {
  // A second -1 without -2 would otherwise forget, and so leak, what the
  // first one allocated.
  ReleaseAll();
  gSessionKey = HeapText::Copy(kDefaultSessionKey).release();
  bool allocated = gSessionKey != nullptr;
  for (char*& slot : gSlotTexts) {
    slot = HeapText::Copy("").release();
    allocated = allocated && slot != nullptr;
  }
  if (!allocated) {
    ReleaseAll();
    return false;
  }
  gInitialised = true;
  return true;
}

void PrintDocShutdown() { ReleaseAll(); }

bool PrintSessionUsable() { return gInitialised && gSessionOpen; }

void SetPrintSessionOpen(bool open) { gSessionOpen = gInitialised && open; }

const char* SessionKey() { return gSessionKey; }

void ReplaceSessionKey(char* key) {
  if (!gInitialised || key == nullptr) {
    PluginFree(key);
    return;
  }
  PluginFree(gSessionKey);
  gSessionKey = key;
}

bool ReadPrintFolders() {
  // The spool folder is read only once the root folder has been.
  return gInitialised && ReadTextVariableOnce(gPrintRootDirectory, kPrintRootVariable) &&
         ReadTextVariableOnce(gPrintSpoolDirectory, kPrintSpoolVariable);
}

const char* GetSlotText(uint16_t slot) {
  if (slot >= kSlotCount || gSlotTexts[slot] == nullptr) return "";
  return gSlotTexts[slot];
}

int32_t SetSlotText(uint16_t slot, const char* text) {
  if (!gInitialised || slot >= kSlotCount || text == nullptr) return 0;
  const size_t length = std::strlen(text);
  if (length == 0 || length > static_cast<size_t>(kMaxSlotTextBytes)) return 0;
  char* copy = HeapText::Copy({text, length}).release();
  if (copy == nullptr) return 0;
  PluginFree(gSlotTexts[slot]);
  gSlotTexts[slot] = copy;
  return 1;
}

void KeepText(char* text) {
  if (!gInitialised) {
    PluginFree(text);
    return;
  }
  PluginFree(gKeptText);
  gKeptText = text;
}

const char* KeptText() { return gKeptText; }
