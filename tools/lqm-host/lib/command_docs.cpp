// Builds the command reference from the command table and its prose rows.
//
// The Markdown is deterministic (no dates, no version, no paths), so that
// regenerating docs/commands.md from unchanged sources gives the same bytes
// and the staleness test can compare them.
#include "command_docs.h"

#include <sstream>

namespace lqm::docs {

namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

bool IsIdentifier(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return !(text[0] >= '0' && text[0] <= '9');
}

// A table cell must not end the row early: "|" is escaped, a line break
// becomes an HTML one.
std::string TableCell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '\n') {
      cell += "<br>";
      continue;
    }
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

const ParameterUseRow* FindUse(std::string_view command, size_t position) {
  for (const ParameterUseRow& use : kParameterUses)
    if (use.command == command && use.position == position) return &use;
  return nullptr;
}

// The array types a Y parameter's kind stands for, or "" for a kind the
// reference does not know. The format commands take any of 4D's three number
// array types (they convert codes in and out) and only text arrays for texts.
std::string_view AcceptedArrays(std::string_view kind) {
  if (kind == "Number array") return "Real, Integer or Longint array";
  if (kind == "Text array") return "Text array";
  if (kind == "Variable") return "any type";
  return "";
}

// Fills in type, type cell and direction from the letter, the bracketed kind
// of a Y parameter and its use row.
void TypeParameter(ParameterDoc& parameter, char letter, std::string_view kind, const ParameterUseRow* use) {
  parameter.type = TypeName(letter);
  parameter.typeCell = parameter.type;
  parameter.direction = "→";
  if (letter == 'I' && use != nullptr) {
    parameter.typeCell += use->use == ParameterUse::kLowByte
                              ? ", cut to 16 bits of which only the low 8 count: 0…255"
                              : ", cut to 16 bits and read as 0…65535 (-1 is 65535)";
  }
  if (letter != 'Y') return;
  const std::string_view accepted = AcceptedArrays(kind);
  if (accepted.empty() || use == nullptr) {
    parameter.type = parameter.typeCell = "?";
    return;
  }
  parameter.type = kind == "Variable" ? "Variable" : "Array";
  parameter.typeCell = kind == "Variable" ? "Variable of " + std::string(accepted) : std::string(accepted);
  if (use->use == ParameterUse::kFilledIfDefined) parameter.typeCell += ", or an undefined variable";
  if (use->use == ParameterUse::kFilled || use->use == ParameterUse::kFilledIfDefined) parameter.direction = "←";
  if (use->use == ParameterUse::kHandedBack) parameter.direction = "↔";
}

std::string Sentence(std::string_view text) {
  std::string sentence(text);
  if (!sentence.empty() && sentence.back() != '.' && sentence.back() != ')') sentence += '.';
  return sentence;
}

// What 4D sees when a command that needs the resource files cannot run: the
// dispatcher sets no result, so the declared result type's default stands.
std::string DefaultResultText(const CommandInfo& row) {
  if (row.result == "T") return "an empty text";
  if (row.result == "L" || row.result == "I") return "0";
  if (row.result == "O") return "an empty BLOB";
  return "nothing";
}

std::string ResourcesLine(const CommandInfo& row) {
  // The needs column of the command table decides, as it does for the
  // dispatcher (src/frame/dispatch.cpp).
  if (row.needs == CommandNeeds::kNothing)
    return "Works without the plugin's resource files and never looks for them, so it may run in "
           "preemptive 4D processes (where running 4D commands by name, as that search does, is not "
           "allowed).";
  std::string line = "Runs only once the plugin has found its resource files in its bundle";
  if (row.needs == CommandNeeds::kPlugin) line += ", between the plugin's initialisation and its shutdown";
  if (row.needs == CommandNeeds::kSession) line += ", while a print session is open";
  line += "; otherwise ";
  if (row.result.empty())
    line += "the call does nothing and leaves its arguments as they are.";
  else
    line += "the result is " + DefaultResultText(row) + ".";
  return line;
}

std::string Anchor(std::string_view name) {
  std::string anchor;
  for (char c : name) anchor += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return anchor;
}

std::string UnusedRoutines() {
  std::vector<int32_t> unused;
  for (int32_t number = 1; number <= kHighestRoutine; ++number)
    if (FindCommand(number) == nullptr) unused.push_back(number);
  std::string text;
  for (size_t i = 0; i < unused.size();) {
    size_t j = i;
    while (j + 1 < unused.size() && unused[j + 1] == unused[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += std::to_string(unused[i]);
    if (j > i) text += " to " + std::to_string(unused[j]);
    i = j + 1;
  }
  return text;
}

}  // namespace

const CommandDoc* FindCommandDoc(std::string_view name) {
  for (const CommandDoc& doc : kCommandDocs)
    if (doc.name == name) return &doc;
  return nullptr;
}

std::string TypeName(char letter) {
  switch (letter) {
    case 'L':
    case 'I': return "Integer";
    case 'T': return "Text";
    case 'O': return "Blob";
    case 'Y': return "Variable";
    default: return "?";
  }
}

std::vector<ParameterDoc> DescribeParameters(const CommandInfo& row) {
  std::vector<ParameterDoc> parameters;
  const CommandDoc* doc = FindCommandDoc(row.name);
  std::vector<std::string_view> lines = doc ? SplitLines(doc->parameters) : std::vector<std::string_view>{};
  for (size_t i = 0; i < row.parameters.size(); ++i) {
    const char letter = row.parameters[i];
    ParameterDoc parameter{"?", "", "", "", ""};
    std::string_view kind;
    std::string_view line = i < lines.size() ? lines[i] : std::string_view{};
    size_t colon = line.find(": ");
    if (colon != std::string_view::npos) {
      std::string_view head = line.substr(0, colon);
      parameter.meaning = std::string(line.substr(colon + 2));
      size_t bracket = head.find(" [");
      if (bracket != std::string_view::npos && head.back() == ']') {
        // Only a variable parameter may say which kind of variable it wants;
        // every other type is the table's.
        kind = letter == 'Y' ? head.substr(bracket + 2, head.size() - bracket - 3) : "?";
        head = head.substr(0, bracket);
      }
      if (IsIdentifier(head)) parameter.name = std::string(head);
    }
    TypeParameter(parameter, letter, kind, FindUse(row.name, i + 1));
    if (kind == "?") parameter.type = parameter.typeCell = "?";
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string SyntaxLine(const CommandInfo& row) {
  std::string syntax(row.name);
  std::vector<ParameterDoc> parameters = DescribeParameters(row);
  if (!parameters.empty()) {
    syntax += " (";
    for (size_t i = 0; i < parameters.size(); ++i)
      syntax += (i ? " ; " : " ") + parameters[i].name + " : " + parameters[i].type;
    syntax += " )";
  }
  if (!row.result.empty()) syntax += " : " + TypeName(row.result[0]);
  return syntax;
}

std::string CommandEntryMarkdown(const CommandInfo& row) {
  const CommandDoc* doc = FindCommandDoc(row.name);
  std::ostringstream out;
  out << "### " << row.name << "\n\n";
  out << "`" << SyntaxLine(row) << "`\n\n";
  out << Sentence(row.summary) << "\n\n";
  std::vector<ParameterDoc> parameters = DescribeParameters(row);
  // As in 4D's documentation, the function result is the table's last row;
  // a command without one describes its effect below the table instead.
  if (!parameters.empty() || !row.result.empty()) {
    out << "| Parameter | Type | | Description |\n|---|---|---|---|\n";
    for (const ParameterDoc& parameter : parameters)
      out << "| " << parameter.name << " | " << TableCell(parameter.typeCell) << " | " << parameter.direction
          << " | " << TableCell(parameter.meaning) << " |\n";
    if (!row.result.empty())
      out << "| Function result | " << TypeName(row.result[0]) << " | ← | " << TableCell(doc ? doc->result : "")
          << " |\n";
    out << "\n";
  } else {
    out << "No parameters.\n\n";
  }
  if (row.result.empty()) out << (doc ? doc->result : "") << "\n\n";
  out << "**Bad input:** " << (doc ? doc->failure : "") << "\n\n";
  out << "**Resource files:** " << ResourcesLine(row) << "\n\n";
  out << "**Thread-safe:** " << (row.threadSafe ? "yes" : "no") << ". **Routine number:** " << row.number
      << ".\n\n";
  out << "```4d\n" << (doc ? doc->example : "") << "\n```\n";
  return out.str();
}

std::string CommandsMarkdown() {
  std::ostringstream out;
  // Shipped in the distribution: it names nothing the zip does not hold (the
  // zip keeps it at docs/commands.md beside ../examples, as in the source).
  out << "# VarnelFolioforge command reference\n\n"
         "<!-- Generated from the plugin's command table; do not edit. -->\n\n"
         "The plugin's commands as 4D's explorer lists them, theme by theme. Each entry gives "
         "the syntax, the parameters and the function result with their 4D types, what comes "
         "back on bad input, whether the command needs the plugin's resource files, whether it "
         "may run in a preemptive process (thread-safe), and a short example to paste into a "
         "method. The numbers the commands take have names in 4D's Constants list, in the "
         "themes starting with \"LQM\" (for example `LQM CRC32 model`).\n\n"
         "None of the commands raises a 4D error: bad input gives the empty result named "
         "in the entry. The worked examples are the methods of the sample project "
         "[VarnelFolioforgeDemo](../examples/VarnelFolioforgeDemo/README.md).\n\n";
  out << "## Contents\n\n- [Reading an entry](#reading-an-entry)\n";
  for (std::string_view theme : kThemeOrder) {
    out << "- " << theme << ":";
    bool first = true;
    for (const CommandInfo& row : kCommandTable)
      if (row.theme == theme) {
        out << (first ? " " : ", ") << "[" << row.name << "](#" << Anchor(row.name) << ")";
        first = false;
      }
    out << "\n";
  }
  out << "- [Unused routine numbers](#unused-routine-numbers)\n\n";
  out << "## Reading an entry\n\n"
         "The syntax line is written as in 4D's own documentation, "
         "`Command ( name : Type ; name : Type ) : Type`. The table under it gives each "
         "parameter's type, its direction (→ the command reads it, ← the command writes it, "
         "↔ both) and its description; its last row is the function result. Types carry their "
         "current 4D names: Integer is the 32-bit integer (Longint in older documentation, "
         "C_LONGINT in older code). Array types keep the names of the commands that declare "
         "them: an Integer array (ARRAY INTEGER) holds 16-bit values, a Longint array (ARRAY "
         "LONGINT) 32-bit ones.\n\n"
         "A parameter typed \"Integer, cut to 16 bits\" is declared to 4D as a 16-bit integer "
         "(`&I` in manifest.json, the letter 4D reads), so the command receives only the low 16 "
         "bits of the value passed: 65536 arrives as 0. The type then says how the command reads "
         "those bits: as 0…65535, so that -1 arrives as 65535, or only their low 8 bits.\n\n"
         "An Array or Variable parameter (`&Y`) is the caller's variable itself, not a copy of "
         "its value. The type names the array types the command accepts; an array of another "
         "type leaves every array of the call unchanged. LQM_SlotStub6 takes two variables of "
         "any type. 4D hands the command each variable and, after the call, takes back what the command left "
         "in its place; the command leaves each as it received it (the second only when it is "
         "defined), without reading or clearing it, so both variables keep their type and "
         "value, and an undefined one stays undefined.\n\n";
  for (std::string_view theme : kThemeOrder) {
    out << "## " << theme << "\n\n";
    for (const CommandInfo& row : kCommandTable)
      if (row.theme == theme) out << CommandEntryMarkdown(row) << "\n";
  }
  out << "## Unused routine numbers\n\n"
      << "Routine numbers " << UnusedRoutines()
      << " have no command. 4D numbers a plugin's commands by their position in "
         "`manifest.json`, so the manifest keeps inert placeholders (theme \"LQM Reserved\", "
         "named `LQM_Reserved` and the number) at these positions; calling one does nothing "
         "and returns nothing.\n";
  return out.str();
}

}  // namespace lqm::docs
