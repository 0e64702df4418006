// The ten text slots of the print session, their names, the printer list and
// the print folder names.
//
// Slots are numbered 0 to 9 by the low 16 bits of a longint, read unsigned,
// so -1 is slot 65535 and out of range. Each slot (gSlotTexts) holds a UTF-8
// text of 0 to kMaxSlotTextBytes bytes; a command can replace a slot's text
// but never empty it. Slots outlive sessions: a closed session only hides
// them. Texts and names are returned whole, however long: they are built in
// heap buffers sized to fit, never in fixed ones.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kMaxSlotTextBytes = 32766;
inline constexpr int kPrinterCount = 4;
inline constexpr int kPrinterEntryBytes = 40;

// Printer entries as 4D code has always received them: 40-byte, NUL-padded.
inline constexpr char kPrinterNames[kPrinterCount][kPrinterEntryBytes] = {
    "Zelk Local Printer", "Zelk Export Printer", "Plugin Local Printer", "Plugin Export Printer"};

// A longint parameter as a slot number: its low 16 bits, unsigned.
constexpr uint16_t SlotNumberFromLong(int32_t value) {
  return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu);
}

// The slot's name, "<digit>_<session key>_LQM", as a new heap text the
// caller frees (the digit is "0" for a slot above 9); null when the key is
// missing or memory is short. *length receives its byte count.
char* BuildSlotName(uint16_t slot, size_t* length);
// The slot's text, borrowed from gSlotTexts: "" for a slot above 9 or a
// slot without a text.
const char* GetSlotText(uint16_t slot);
// Stores a copy of `text` in the slot: 1 on success; 0, leaving the slot as
// it was, for an empty or over-long text, a slot above 9, short memory, or a
// plugin that is not initialised.
int32_t SetSlotText(uint16_t slot, const char* text);
// "PrintDoc", "BIN" and "Spool" for codes 1 to 3, "" otherwise.
const char* FolderName(int32_t code);
// The printer names, each followed by ";", into `out` (capacity bytes);
// returns the length, or 0 with out empty when it does not fit.
size_t BuildPrinterList(char* out, size_t capacity);
