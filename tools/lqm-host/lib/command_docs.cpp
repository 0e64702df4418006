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

// A table cell must not end the row early.
std::string TableCell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
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
    case 'L': return "Longint";
    case 'I': return "Integer";
    case 'T': return "Text";
    case 'O': return "BLOB";
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
    ParameterDoc parameter{"?", TypeName(letter), ""};
    std::string_view line = i < lines.size() ? lines[i] : std::string_view{};
    size_t colon = line.find(": ");
    if (colon != std::string_view::npos) {
      std::string_view head = line.substr(0, colon);
      parameter.meaning = std::string(line.substr(colon + 2));
      size_t bracket = head.find(" [");
      if (bracket != std::string_view::npos && head.back() == ']') {
        // Only a variable parameter may say which kind of variable it wants;
        // every other type is the table's.
        if (letter == 'Y') parameter.type = std::string(head.substr(bracket + 2, head.size() - bracket - 3));
        else parameter.type = "?";
        head = head.substr(0, bracket);
      }
      if (IsIdentifier(head)) parameter.name = std::string(head);
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string SyntaxLine(const CommandInfo& row) {
  std::string syntax(row.name);
  std::vector<ParameterDoc> parameters = DescribeParameters(row);
  if (!parameters.empty()) {
    syntax += '(';
    for (size_t i = 0; i < parameters.size(); ++i) syntax += (i ? "; " : "") + parameters[i].name;
    syntax += ')';
  }
  if (!row.result.empty()) syntax += " -> " + TypeName(row.result[0]);
  return syntax;
}

std::string CommandEntryMarkdown(const CommandInfo& row) {
  const CommandDoc* doc = FindCommandDoc(row.name);
  std::ostringstream out;
  out << "### " << row.name << "\n\n";
  out << "`" << SyntaxLine(row) << "`\n\n";
  out << Sentence(row.summary) << "\n\n";
  std::vector<ParameterDoc> parameters = DescribeParameters(row);
  if (parameters.empty()) {
    out << "No parameters.\n\n";
  } else {
    out << "| Parameter | Type | Meaning |\n|---|---|---|\n";
    for (const ParameterDoc& parameter : parameters)
      out << "| " << parameter.name << " | " << TableCell(parameter.type) << " | "
          << TableCell(parameter.meaning) << " |\n";
    out << "\n";
  }
  if (row.result.empty())
    out << "**Result:** none. ";
  else
    out << "**Result** (" << TypeName(row.result[0]) << "): ";
  out << (doc ? doc->result : "") << "\n\n";
  out << "**Bad input:** " << (doc ? doc->failure : "") << "\n\n";
  out << "**Resource files:** " << ResourcesLine(row) << "\n\n";
  out << "**Thread-safe:** " << (row.threadSafe ? "yes" : "no") << ". **Routine number:** " << row.number
      << ".\n\n";
  out << "```4d\n" << (doc ? doc->example : "") << "\n```\n";
  return out.str();
}

std::string CommandsMarkdown() {
  std::ostringstream out;
  out << "# VarnelFolioforge command reference\n\n"
         "<!-- Generated by `lqm-gen commands-md` from src/host/commands.def and "
         "src/frame/command_docs.def. Edit those and regenerate; a test fails when this file "
         "is stale. -->\n\n"
         "The plugin's commands as 4D's explorer lists them, theme by theme. Each entry gives "
         "the call as the method editor shows it, the parameters with their 4D types, the "
         "result, what comes back on bad input, whether the command needs the plugin's "
         "resource files, whether it may run in a preemptive process (thread-safe), and a "
         "short example to paste into a method. `lqm-host help NAME` prints one entry; "
         "`lqm-host call NAME ARGS...` runs the command without 4D.\n\n"
         "None of the commands raises a 4D error: bad input gives the empty result named "
         "in the entry. Worked examples are in [examples/](examples/).\n\n";
  out << "## Contents\n\n";
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
