// The ten text slots of the print session, their names, the printer list and
// the print folder names.
//
// Slots are numbered 0 to 9 by the low 16 bits of a longint, read unsigned
// (SlotParameter), so -1 is slot 65535 and out of range. Each slot holds a
// UTF-8 text of 0 to kMaxSlotTextBytes bytes (print_state.h); a command can
// replace a slot's text but never empty it. Slots outlive sessions: a closed
// session only hides them. Texts and names are returned whole, however long:
// they are built in heap buffers sized to fit, never in fixed ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/heap_text.h"

inline constexpr int kPrinterCount = 4;
inline constexpr int kPrinterEntryBytes = 40;

// Printer entries as 4D code has always received them: 40-byte, NUL-padded.
inline constexpr char kPrinterNames[kPrinterCount][kPrinterEntryBytes] = {
    "Zelk Local Printer", "Zelk Export Printer", "Plugin Local Printer", "Plugin Export Printer"};

// The slot's name, "<digit>_<session key>_LQM" (the digit is "0" for a
// slot above 9); empty when the key is missing or memory is short.
HeapText BuildSlotName(uint16_t slot);
// "PrintDoc", "BIN" and "Spool" for codes 1 to 3, "" otherwise.
const char* FolderName(int32_t code);
// The printer names, each followed by ";", into `out` (capacity bytes);
// returns the length, or 0 with out empty when it does not fit.
size_t BuildPrinterList(char* out, size_t capacity);
