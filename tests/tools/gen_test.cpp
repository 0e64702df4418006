// The command reference (tools/lqm-host/lib/command_docs.h): every command of
// the table has complete prose, parameter names that 4D accepts, types taken
// from the table (a bracketed type only on variable parameters), and the
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
      // "?" marks a bracketed type on a parameter whose type the table fixes.
      EXPECT_NE(parameters[i].type, "?");
      if (row.parameters[i] != 'Y') EXPECT_EQ(parameters[i].type, lqm::docs::TypeName(row.parameters[i]));
    }
  }
  for (const lqm::docs::CommandDoc& doc : lqm::docs::kCommandDocs)
    EXPECT_NE(FindCommand(doc.name), nullptr) << doc.name;
}

TEST(CommandDocs, SyntaxAsTheMethodEditorShowsIt) {
  struct Case {
    const char* command;
    const char* syntax;
  } cases[] = {
      {"LQM_ComputeCRC", "LQM_ComputeCRC(data; model; engine) -> Longint"},
      {"LQM_LZWCodec",
       "LQM_LZWCodec(mode; data; clearCodes; endCode; pixelsPerRow; bytesPerPixel; rootBits; maxBits) -> BLOB"},
      {"LQM_GetVersion", "LQM_GetVersion -> Text"},                          // no parameters
      {"LQM_KeepText", "LQM_KeepText(text)"},                                // no result
      {"LQM_GetFormatNames", "LQM_GetFormatNames(codes; names)"},            // arrays
      {"LQM_OpenPrintSession", "LQM_OpenPrintSession(accessCode; sessionKey; note) -> Longint"},
  };
  for (const Case& c : cases) {
    const CommandInfo* row = FindCommand(std::string_view(c.command));
    ASSERT_NE(row, nullptr) << c.command;
    EXPECT_EQ(SyntaxLine(*row), c.syntax);
  }
  const auto parameters = DescribeParameters(*FindCommand(std::string_view("LQM_ListOutputFormats")));
  EXPECT_EQ(parameters[0].type, "Longint");
  EXPECT_EQ(parameters[1].type, "Number array");
  EXPECT_EQ(parameters[2].type, "Text array");
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
      {"LQM_LZWCodec", "| rootBits | Longint | Size of the root codes in bits"},
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
