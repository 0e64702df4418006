// The slot commands of the print session (4 to 9, 32 to 39 and 41 to 44),
// the printer list (27), the kept text (28) and the folder names (34); see
// slots.h for the slot model.
//
// Routines 4, 5, 6 and 37 act only while a session is usable (print_session.h);
// between a shutdown and the next initialisation that is never, so none of
// them can reach a released text. The reserved slot routines keep their rows
// in the command table and answer a fixed value whatever their parameters and
// the session state.
#include "printdoc/slots.h"

#include <cstring>

#include "frame/handlers.h"
#include "base/plugin_heap.h"
#include "frame/state.h"
#include "host/texts.h"
#include "printdoc/print_session.h"

namespace {

constexpr char kSlotNameSuffix[] = "_LQM";
// Room for the four names and their separators, with the terminator.
constexpr size_t kPrinterListCapacity = kPrinterCount * (kPrinterEntryBytes + 1) + 1;

char* NewHeapCopy(const char* bytes, size_t length) {
  auto* copy = static_cast<char*>(PluginMalloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, bytes, length);
  copy[length] = 0;
  return copy;
}

// The longest text routine 28 keeps; one byte more than a slot holds.
constexpr int64_t kMaxKeptTextBytes = 32767;

// Text parameter N as UTF-8 into a new NUL-terminated heap text; null when it
// is empty, longer than maxLength bytes or cannot be copied.
char* CopyTextParameter(const PluginParameters& params, int n, int64_t maxLength) {
  const int64_t length = TextParameterToUtf8(params, n, nullptr, 0);
  if (length < 1 || length > maxLength) return nullptr;
  auto* copy = static_cast<char*>(PluginMalloc(static_cast<size_t>(length) + 1));
  if (copy == nullptr) return nullptr;
  if (TextParameterToUtf8(params, n, copy, 0) != length) {
    PluginFree(copy);
    return nullptr;
  }
  copy[length] = 0;
  return copy;
}

// The reserved routines: their slot parameter changes nothing.
void ReturnFixedForSlot(const PluginParameters& params, int32_t value) { HostReturnLong(params, value); }

}  // namespace

// ---------------------------------------------------------------------------
// Slots, names, printers, folders
// ---------------------------------------------------------------------------

char* BuildSlotName(uint16_t slot, size_t* length) {
  *length = 0;
  if (gSessionKey == nullptr) return nullptr;
  const size_t keyLength = std::strlen(gSessionKey);
  const size_t suffixLength = sizeof kSlotNameSuffix - 1;
  const size_t total = 2 + keyLength + suffixLength;
  auto* name = static_cast<char*>(PluginMalloc(total + 1));
  if (name == nullptr) return nullptr;
  name[0] = static_cast<char>('0' + (slot < kSlotCount ? slot : 0));
  name[1] = '_';
  std::memcpy(name + 2, gSessionKey, keyLength);
  std::memcpy(name + 2 + keyLength, kSlotNameSuffix, suffixLength + 1);
  *length = total;
  return name;
}

const char* GetSlotText(uint16_t slot) {
  if (slot >= kSlotCount || gSlotTexts[slot] == nullptr) return "";
  return gSlotTexts[slot];
}

int32_t SetSlotText(uint16_t slot, const char* text) {
  // After shutdown a stored text would outlive the plugin's state.
  if (!gPluginReady || slot >= kSlotCount || text == nullptr) return 0;
  const size_t length = std::strlen(text);
  if (length == 0 || length > static_cast<size_t>(kMaxSlotTextBytes)) return 0;
  char* copy = NewHeapCopy(text, length);
  if (copy == nullptr) return 0;
  PluginFree(gSlotTexts[slot]);
  gSlotTexts[slot] = copy;
  return 1;
}

const char* FolderName(int32_t code) {
  switch (code) {
    case 1: return "PrintDoc";
    case 2: return "BIN";
    case 3: return "Spool";
    default: return "";
  }
}

size_t BuildPrinterList(char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  size_t length = 0;
  for (const char* entry : kPrinterNames) {
    const void* end = std::memchr(entry, 0, kPrinterEntryBytes);
    const size_t entryLength =
        end ? static_cast<size_t>(static_cast<const char*>(end) - entry) : kPrinterEntryBytes;
    if (length + entryLength + 2 > capacity) {
      out[0] = 0;
      return 0;
    }
    std::memcpy(out + length, entry, entryLength);
    length += entryLength;
    out[length++] = ';';
  }
  out[length] = 0;
  return length;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void LQM_GetSlotText(const PluginParameters& params) {
  const uint16_t slot = SlotNumberFromLong(HostGetLongParameter(params, 1));
  const char* text = PrintSessionUsable() ? GetSlotText(slot) : "";
  ReturnUtf8TextN(params, text, static_cast<int64_t>(std::strlen(text)));
}

void LQM_SetSlotText(const PluginParameters& params) {
  const uint16_t slot = SlotNumberFromLong(HostGetLongParameter(params, 1));
  int32_t result = 0;
  if (PrintSessionUsable() && slot < kSlotCount) {
    char* text = CopyTextParameter(params, 2, kMaxSlotTextBytes);
    if (text != nullptr) result = SetSlotText(slot, text);
    PluginFree(text);
  }
  HostReturnLong(params, result);
}

// Hands its two variables back as it received them (no clearing: the copies
// share the variables' contents), so they keep their values.
void LQM_SlotStub6(const PluginParameters& params) {
  if (PrintSessionUsable()) {
    const HostVariable first = HostGetVariableParameter(params, 2);
    const HostVariable second = HostGetVariableParameter(params, 3);
    HostSetVariableParameter(params, 2, first, false);
    if (HostGetVariableKind(second) != lqm::abi::kKindUndefined)
      HostSetVariableParameter(params, 3, second, false);
  }
  ReturnUtf8Text(params, "");
}

void LQM_SlotStub7(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub8(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }

void LQM_SlotStub9(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub32(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub33(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub35(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub36(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub38(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub39(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub41(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub42(const PluginParameters& params) { ReturnFixedForSlot(params, 0); }
void LQM_SlotStub43(const PluginParameters& params) { ReturnFixedForSlot(params, -1); }
void LQM_SlotStub44(const PluginParameters& params) { ReturnFixedForSlot(params, -1); }

void LQM_GetPrinterList(const PluginParameters& params) {
  char list[kPrinterListCapacity];
  const size_t length = BuildPrinterList(list, sizeof list);
  ReturnUtf8TextN(params, list, static_cast<int64_t>(length));
}

void LQM_KeepText(const PluginParameters& params) {
  // Only an initialised plugin keeps a text: one kept after shutdown would
  // have nobody left to free it.
  if (!gPluginReady) return;
  char* text = CopyTextParameter(params, 1, kMaxKeptTextBytes);
  if (text == nullptr) text = NewHeapCopy("", 0);
  if (text == nullptr) return;
  PluginFree(gSavedText);
  gSavedText = text;
}

void LQM_GetFolderName(const PluginParameters& params) {
  ReturnUtf8Text(params, FolderName(HostGetLongParameter(params, 1)));
}

void LQM_GetSlotName(const PluginParameters& params) {
  const uint16_t slot = SlotNumberFromLong(HostGetLongParameter(params, 1));
  size_t length = 0;
  char* name = PrintSessionUsable() ? BuildSlotName(slot, &length) : nullptr;
  ReturnUtf8TextN(params, name ? name : "", static_cast<int64_t>(length));
  PluginFree(name);
}
