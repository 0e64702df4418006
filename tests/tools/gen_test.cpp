// The command reference (tools/lqm-host/lib/command_docs.h): every command of
// the table has complete prose, parameter names that 4D accepts, types taken
// from the table (a known bracketed kind only on variable parameters) with
// what the handler accepts and the direction it uses each in, and the
// generated Markdown holds each command once, under its theme, with the
// unused routine numbers listed; the manifest escapes every text it writes.
// Staleness of the committed docs/commands.md is the ctest `commands_md`;
// the version's agreement across the bundle is the ctest `dist`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

#include "gen/manifest.h"
#include "lqm-host/lib/command_docs.h"

namespace {

using lqm::docs::CommandEntryMarkdown;
using lqm::docs::CommandsMarkdown;
using lqm::docs::DescribeParameters;
using lqm::docs::FindCommandDoc;
using lqm::docs::SyntaxLine;

bool IsFourDName(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

TEST(CommandDocs, EveryCommandIsFullyDescribed) {
  for (const CommandInfo& row : kCommandTable) {
    SCOPED_TRACE(std::string(row.name));
    const lqm::docs::CommandDoc* doc = FindCommandDoc(row.name);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->result.empty());
    // Without a function result row, the prose stands alone under the table.
    if (row.result.empty()) EXPECT_EQ(doc->result.substr(0, 10), "No result:");
    EXPECT_FALSE(doc->failure.empty());
    // The example must call the command it illustrates.
    EXPECT_NE(doc->example.find(row.name), std::string_view::npos);

    std::set<std::string> names;
    const auto parameters = DescribeParameters(row);
    ASSERT_EQ(parameters.size(), row.parameters.size());
    for (size_t i = 0; i < parameters.size(); ++i) {
      SCOPED_TRACE("parameter " + std::to_string(i + 1));
      EXPECT_TRUE(IsFourDName(parameters[i].name)) << parameters[i].name;
      EXPECT_TRUE(names.insert(parameters[i].name).second) << "name used twice";
      EXPECT_FALSE(parameters[i].meaning.empty());
      // "?" marks a bracketed kind on a parameter whose type the table fixes,
      // or one the reference does not know.
      EXPECT_NE(parameters[i].type, "?");
      if (row.parameters[i] != 'Y') EXPECT_EQ(parameters[i].type, lqm::docs::TypeName(row.parameters[i]));
    }
  }
  for (const lqm::docs::CommandDoc& doc : lqm::docs::kCommandDocs)
    EXPECT_NE(FindCommand(doc.name), nullptr) << doc.name;
}

TEST(CommandDocs, SyntaxAsFourDsDocumentationWritesIt) {
  struct Case {
    const char* command;
    const char* syntax;
  } cases[] = {
      {"LQM_ComputeCRC", "LQM_ComputeCRC ( data : Blob ; model : Integer ; engine : Integer ) : Integer"},
      {"LQM_GetVersion", "LQM_GetVersion : Text"},                                 // no parameters
      {"LQM_KeepText", "LQM_KeepText ( text : Text )"},                            // no result
      {"LQM_GetFormatNames", "LQM_GetFormatNames ( codes : Array ; names : Array )"},
      {"LQM_SlotStub6", "LQM_SlotStub6 ( slot : Integer ; first : Variable ; second : Variable ) : Text"},
  };
  for (const Case& c : cases) {
    const CommandInfo* row = FindCommand(std::string_view(c.command));
    ASSERT_NE(row, nullptr) << c.command;
    EXPECT_EQ(SyntaxLine(*row), c.syntax);
  }
}

TEST(CommandDocs, TypesSayWhatTheHandlerAcceptsAndDirectionsWhatItDoes) {
  struct Case {
    const char* command;
    size_t index;
    const char* typeCell;
    const char* direction;
  } cases[] = {
      {"LQM_ListOutputFormats", 0, "Integer", "→"},
      {"LQM_ListOutputFormats", 1, "Real, Integer or Longint array", "←"},
      {"LQM_ListOutputFormats", 4, "Text array, or an undefined variable", "←"},
      {"LQM_GetFormatNames", 0, "Real, Integer or Longint array", "→"},
      {"LQM_SlotStub6", 2, "Variable of any type", "↔"},
      {"LQM_ComputeCRC", 1, "Integer, cut to 16 bits and read as 0…65535 (-1 is 65535)", "→"},
      {"LQM_CipherText", 2, "Integer, cut to 16 bits of which only the low 8 count: 0…255", "→"},
  };
  for (const Case& c : cases) {
    const auto parameters = DescribeParameters(*FindCommand(std::string_view(c.command)));
    EXPECT_EQ(parameters.at(c.index).typeCell, c.typeCell) << c.command << " " << c.index;
    EXPECT_EQ(parameters.at(c.index).direction, c.direction) << c.command << " " << c.index;
  }
}

TEST(CommandDocs, ReferenceGroupsEveryCommandUnderItsTheme) {
  const std::string markdown = CommandsMarkdown();
  size_t previousTheme = 0;
  for (std::string_view theme : lqm::docs::kThemeOrder) {
    const size_t at = markdown.find("\n## " + std::string(theme) + "\n");
    ASSERT_NE(at, std::string::npos) << theme;
    EXPECT_GT(at, previousTheme) << theme << " out of order";
    previousTheme = at;
  }
  for (const CommandInfo& row : kCommandTable) {
    SCOPED_TRACE(std::string(row.name));
    const std::string heading = "\n### " + std::string(row.name) + "\n";
    const size_t at = markdown.find(heading);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(markdown.find(heading, at + 1), std::string::npos) << "listed twice";
    // The nearest theme heading above the entry is the row's theme.
    const size_t theme = markdown.rfind("\n## ", at);
    EXPECT_EQ(markdown.compare(theme + 4, row.theme.size() + 1, std::string(row.theme) + "\n"), 0);
    // The entry is the one `lqm-host help` prints.
    EXPECT_NE(markdown.find(CommandEntryMarkdown(row)), std::string::npos);
  }
  EXPECT_NE(markdown.find("Routine numbers 20 to 23 have no command."), std::string::npos);
}

TEST(CommandDocs, EntryStatesThreadSafetyAndResourceNeeds) {
  struct Case {
    const char* command;
    const char* expected;
  } cases[] = {
      {"LQM_ComputeCRC", "**Thread-safe:** yes. **Routine number:** 46."},
      {"LQM_ComputeCRC", "**Resource files:** Works without the plugin's resource files and never looks"},
      {"LQM_GetSlotName", "**Thread-safe:** no. **Routine number:** 37."},
      {"LQM_GetSlotName", "while a print session is open; otherwise the result is an empty text."},
      {"LQM_GetDataBlob1", "in its bundle; otherwise the result is an empty BLOB."},
      {"LQM_OpenPrintSession", "initialisation and its shutdown; otherwise the result is 0."},
      {"LQM_ListOutputFormats", "otherwise the call does nothing"},
      {"LQM_LZWCodec", "| rootBits | Integer | → | Size of the root codes in bits"},
      {"LQM_ComputeCRC", "| Function result | Integer | ← | The CRC. A 16-bit CRC is 0 to 65535;"},
      {"LQM_KeepText", "|\n\nNo result: the plugin keeps a copy"},
      {"LQM_LZWCodec", "```4d\nC_BLOB($data; $packed; $unpacked)\n"},
  };
  for (const Case& c : cases) {
    const std::string entry = CommandEntryMarkdown(*FindCommand(std::string_view(c.command)));
    EXPECT_NE(entry.find(c.expected), std::string::npos) << c.command << " lacks: " << c.expected;
  }
}

TEST(Manifest, QuotesAndControlCharactersAreEscaped) {
  const std::vector<CommandInfo> rows = {
      {1, "LQM_Say\"Hi\"", "Tab\there\x01", "LT", "T", CommandNeeds::kNothing, MissingAnswer::kNone, "", "a summary",
       true},
  };
  const std::string manifest = lqm::gen::ManifestJson({"Plug\\in\n", 15000, "1.0"}, rows, 2);
  EXPECT_NE(manifest.find(R"(    {"theme": "Tab\there\u0001", "syntax": "LQM_Say\"Hi\"(&L;&T):T", "threadSafe": true},)"),
            std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find(R"(    {"theme": "LQM Reserved", "syntax": "LQM_Reserved2"})"), std::string::npos);
  const nlohmann::json parsed = nlohmann::json::parse(manifest);
  EXPECT_EQ(parsed["name"], "Plug\\in\n");
  EXPECT_EQ(parsed["commands"][0]["theme"], "Tab\there\x01");
  EXPECT_EQ(parsed["commands"].size(), 2u);
}

}  // namespace
