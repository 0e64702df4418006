// The slot commands of the print session (4 to 9, 32 to 39 and 41 to 44),
// the printer list (27), the kept text (28) and the folder names (34); see
// slots.h for the slot model.
//
// Routines 4, 5, 6 and 37 need an open session and 28 an initialised
// plugin (the command table); the dispatcher runs them only then, and the
// state they reach (print_state.h) refuses to hold a text outside init
// whatever calls it. The reserved slot routines keep their rows in the
// command table and answer a fixed value whatever their parameters and the
// session state.
#include "printdoc/slots.h"

#include <cstring>

#include "host/command_handlers.h"
#include "host/constants.h"
#include "host/parameters.h"
#include "printdoc/print_state.h"

namespace {

constexpr char kSlotNameSuffix[] = "_LQM";
// Room for the four names and their separators, with the terminator.
constexpr size_t kPrinterListCapacity = kPrinterCount * (kPrinterEntryBytes + 1) + 1;

// The reserved routines: their slot parameter changes nothing.
void ReturnFixedForSlot(const PluginParameters& params, int32_t value) { HostReturnLong(params, value); }

}  // namespace

// ---------------------------------------------------------------------------
// Slots, names, printers, folders
// ---------------------------------------------------------------------------

HeapText BuildSlotName(uint16_t slot) {
  const char* key = SessionKey();
  if (key == nullptr) return {};
  const size_t keyLength = std::strlen(key);
  const size_t suffixLength = sizeof kSlotNameSuffix - 1;
  const size_t total = 2 + keyLength + suffixLength;
  auto* name = static_cast<char*>(PluginMalloc(total + 1));
  if (name == nullptr) return {};
  name[0] = static_cast<char>('0' + (slot < kSlotCount ? slot : 0));
  name[1] = '_';
  std::memcpy(name + 2, key, keyLength);
  std::memcpy(name + 2 + keyLength, kSlotNameSuffix, suffixLength + 1);
  return HeapText(name, total);
}

// Numbered by the folder constants 4D code passes (host/constants.def).
const char* FolderName(int32_t code) {
  switch (code) {
    case lqm::kPrintDocFolder: return "PrintDoc";
    case lqm::kBinFolder: return "BIN";
    case lqm::kSpoolFolder: return "Spool";
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
  ReturnText(params, GetSlotText(SlotParameter(params, 1)));
}

void LQM_SetSlotText(const PluginParameters& params) {
  const uint16_t slot = SlotParameter(params, 1);
  int32_t result = 0;
  if (slot < kSlotCount) {
    const HeapText text = TextParameter(params, 2);
    if (!text.empty() && text.size() <= static_cast<size_t>(kMaxSlotTextBytes))
      result = SetSlotText(slot, text.data());
  }
  HostReturnLong(params, result);
}

// Hands its two variables back as it received them (no clearing: the copies
// share the variables' contents), so they keep their values.
void LQM_SlotStub6(const PluginParameters& params) {
  const HostVariable first = HostGetVariableParameter(params, 2);
  const HostVariable second = HostGetVariableParameter(params, 3);
  HostSetVariableParameter(params, 2, first);
  if (HostGetVariableKind(second) != lqm::abi::kKindUndefined) HostSetVariableParameter(params, 3, second);
  ReturnText(params, "");
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
  ReturnText(params, {list, length});
}

void LQM_KeepText(const PluginParameters& params) {
  HeapText text = TextParameter(params, 1);
  if (text.size() > static_cast<size_t>(kMaxKeptTextBytes)) text = HeapText();
  if (text.empty()) text = HeapText::Copy("");
  if (text.held()) KeepText(text.release());
}

void LQM_GetFolderName(const PluginParameters& params) {
  ReturnText(params, FolderName(HostGetLongParameter(params, 1)));
}

void LQM_GetSlotName(const PluginParameters& params) {
  ReturnText(params, BuildSlotName(SlotParameter(params, 1)).view());
}
