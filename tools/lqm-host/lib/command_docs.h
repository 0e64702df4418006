// The command reference: the rows of src/host/commands.def joined with their
// prose from src/frame/command_docs.def, and the text made of them
// (docs/commands.md by `lqm-gen commands-md`, one entry by `lqm-host help`).
//
// Invariants, checked at compile time below: every command has exactly one
// prose row, every prose row names a command, and each row describes as many
// parameters as the command declares. Numbers, names, types, themes and
// thread safety come only from commands.def.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "frame/command_table.h"

namespace lqm::docs {

struct CommandDoc {
  std::string_view name;
  std::string_view parameters;  // one "name: meaning" line per parameter
  std::string_view result;
  std::string_view failure;
  std::string_view example;
};

inline constexpr CommandDoc kCommandDocs[] = {
#define LQM_DOC(name, parameters, result, failure, example) {#name, parameters, result, failure, example},
#include "frame/command_docs.def"
#undef LQM_DOC
};

// The themes in the order of the reference; every row's theme is one of them.
inline constexpr std::string_view kThemeOrder[] = {"LQM Codecs", "LQM Formats", "LQM Resources",
                                                   "LQM Print"};

// How a handler takes a 16-bit (I) or variable (Y) parameter: what the letter
// alone does not tell a reader. 4D cuts an I value to 16 bits before the call;
// the handlers then read those bits in one of two ways. A Y parameter is the
// caller's variable itself, which the handler reads, fills or both.
enum class ParameterUse {
  kUnsigned16,       // I read as 0..65535, so -1 is 65535
  kLowByte,          // I of which only the low 8 bits count
  kRead,             // Y read and left as it is
  kFilled,           // Y resized and written, never read
  kFilledIfDefined,  // Y filled when it is an array, skipped when undefined
  kHandedBack,       // Y taken and handed back unchanged
};

struct ParameterUseRow {
  std::string_view command;
  size_t position;  // 1-based, as 4D numbers parameters
  ParameterUse use;
};

// One row per I and Y parameter of commands.def, taken from the handlers:
// src/codecs/codec_commands.cpp (HostGetShortParameter is unsigned,
// LowByteParameter keeps 8 bits), src/formats/format_commands.cpp and
// src/printdoc/slots.cpp. Checked against the command table below.
inline constexpr ParameterUseRow kParameterUses[] = {
    {"LQM_CipherText", 3, ParameterUse::kLowByte},
    {"LQM_CipherText", 4, ParameterUse::kLowByte},
    {"LQM_LZWCodec", 1, ParameterUse::kLowByte},
    {"LQM_LZWCodec", 3, ParameterUse::kUnsigned16},
    {"LQM_LZWCodec", 4, ParameterUse::kUnsigned16},
    {"LQM_LZWCodec", 5, ParameterUse::kUnsigned16},
    {"LQM_LZWCodec", 6, ParameterUse::kUnsigned16},
    {"LQM_ComputeCRC", 2, ParameterUse::kUnsigned16},
    {"LQM_ComputeCRC", 3, ParameterUse::kUnsigned16},
    {"LQM_SlotStub6", 2, ParameterUse::kHandedBack},
    {"LQM_SlotStub6", 3, ParameterUse::kHandedBack},
    {"LQM_ListOutputFormats", 2, ParameterUse::kFilled},
    {"LQM_ListOutputFormats", 3, ParameterUse::kFilled},
    {"LQM_ListOutputFormats", 4, ParameterUse::kFilled},
    {"LQM_ListOutputFormats", 5, ParameterUse::kFilledIfDefined},
    {"LQM_ListOutputFormats", 6, ParameterUse::kFilledIfDefined},
    {"LQM_ListOutputFormats", 7, ParameterUse::kFilledIfDefined},
    {"LQM_GetFormatLabels", 1, ParameterUse::kFilled},
    {"LQM_GetFormatNames", 1, ParameterUse::kRead},
    {"LQM_GetFormatNames", 2, ParameterUse::kFilled},
};

namespace detail {
constexpr size_t CountLines(std::string_view text) {
  if (text.empty()) return 0;
  size_t lines = 1;
  for (char c : text)
    if (c == '\n') ++lines;
  return lines;
}

constexpr bool DocsMatchCommandTable() {
  for (const CommandInfo& row : kCommandTable) {
    int found = 0;
    for (const CommandDoc& doc : kCommandDocs)
      if (doc.name == row.name) {
        ++found;
        if (CountLines(doc.parameters) != row.parameters.size()) return false;
      }
    if (found != 1) return false;
    // Every I and Y parameter has one use row, of its letter's kind.
    for (size_t i = 0; i < row.parameters.size(); ++i) {
      const char letter = row.parameters[i];
      int uses = 0;
      for (const ParameterUseRow& use : kParameterUses)
        if (use.command == row.name && use.position == i + 1) {
          ++uses;
          const bool sixteenBit = use.use == ParameterUse::kUnsigned16 || use.use == ParameterUse::kLowByte;
          if (letter != (sixteenBit ? 'I' : 'Y')) return false;
        }
      if (uses != ((letter == 'I' || letter == 'Y') ? 1 : 0)) return false;
    }
    bool themeKnown = false;
    for (std::string_view theme : kThemeOrder) themeKnown = themeKnown || theme == row.theme;
    if (!themeKnown) return false;
  }
  // Compared by name, not by FindCommand's pointer: GCC does not fold
  // pointer comparisons into constants in sanitizer builds.
  for (const CommandDoc& doc : kCommandDocs) {
    bool known = false;
    for (const CommandInfo& row : kCommandTable) known = known || row.name == doc.name;
    if (!known) return false;
  }
  for (const ParameterUseRow& use : kParameterUses) {
    bool known = false;
    for (const CommandInfo& row : kCommandTable)
      known = known || (row.name == use.command && use.position >= 1 && use.position <= row.parameters.size());
    if (!known) return false;
  }
  return true;
}
}  // namespace detail

static_assert(detail::DocsMatchCommandTable(),
              "command_docs.def: one row per command of commands.def, each with one line per "
              "parameter; every theme listed in kThemeOrder; kParameterUses: one row for each I "
              "and Y parameter and for nothing else");

// The prose row of a command name, or null.
const CommandDoc* FindCommandDoc(std::string_view name);

struct ParameterDoc {
  std::string name;
  std::string type;       // 4D's type name, as the syntax line shows it: "Integer", "Array"
  std::string typeCell;   // what the command accepts: "Integer, cut to 16 bits ...", "Text array"
  std::string direction;  // "→" read by the command, "←" written by it, "↔" both
  std::string meaning;
};

// The parameters of a command with names, 4D types, directions and meanings.
// A line that does not read "name: meaning" (or "name [Kind]: meaning" for a
// parameter of letter Y, Kind being "Number array", "Text array" or
// "Variable") gives a parameter named "?", or typed "?", so that the tests
// catch it.
std::vector<ParameterDoc> DescribeParameters(const CommandInfo& row);

// The current 4D type name of a parameter or result letter ("Integer", "Blob" ...).
// 4D's Integer is 32 bits; a 16-bit parameter is an Integer cut to 16 bits.
std::string TypeName(char letter);

// The call as 4D's documentation writes it:
// "LQM_ComputeCRC ( data : Blob ; model : Integer ; engine : Integer ) : Integer".
std::string SyntaxLine(const CommandInfo& row);

// One command's entry in Markdown (heading, syntax, the table of parameters
// ending with the function result, bad input, resources, thread safety,
// example).
std::string CommandEntryMarkdown(const CommandInfo& row);

// The whole of docs/commands.md.
std::string CommandsMarkdown();


}  // namespace lqm::docs
