// The table of bad inputs: for every command, calls a careless or hostile
// caller can make, run against the static plugin, and the answer each gets.
// The cases come from each row's parameter letters (commands.def), so a new
// command is covered the day it gets a row:
//   every parameter omitted; for each L/I parameter the out-of-range values;
//   for each T an empty text, invalid UTF-16 (lone surrogates) and a long
//   text; for each O an empty, a one-byte and a huge BLOB (8 MiB); for each Y
//   an undefined variable and arrays and variables of the wrong kinds; and
//   the typical call before initialisation (state reset, no -1) and after
//   shutdown (-2).
// Every case must leave no host object live and break no rule of the host.
//
// The answers are written to docs/robustness.md: the committed file is the
// expected output, so a changed answer fails this test until the file is
// regenerated and the change reviewed:
//   LQM_WRITE_ROBUSTNESS=1 build/bin/lqm_tests --gtest_filter='RobustnessTable.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "frame/command_table.h"
#include "host/named_commands.h"
#include "resources/discovery.h"
#include "resources/resource_readers.h"
#include "frame/static_plugin.h"

namespace {

using lqm::host::CallOutcome;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Value;
using lqm::host::ValueKind;
using lqm::testing::NewStaticPluginHost;
using lqm::testing::RunPrelude;
using lqm::testing::TypicalCall;
using lqm::testing::TypicalCalls;

constexpr size_t kHugeBlobBytes = size_t(8) << 20;

enum class When { kReady, kBeforeInit, kAfterShutdown };

struct BadCall {
  std::string label;
  std::vector<Value> args;
  When when = When::kReady;
};

std::string Short(const Value& value) {
  switch (value.kind) {
    case ValueKind::kBlob:
      if (value.blob.size() > 24) return "BLOB of " + std::to_string(value.blob.size()) + " bytes";
      return lqm::host::DescribeValue(value);
    case ValueKind::kText: {
      std::string utf8 = lqm::host::DescribeValue(value);
      if (value.text.size() > 40) return "text of " + std::to_string(value.text.size()) + " units";
      return utf8;
    }
    case ValueKind::kVariable: return Short(value.inner[0]);
    default: {
      std::string s = lqm::host::DescribeValue(value);
      return s.size() > 60 ? s.substr(0, 57) + "..." : s;
    }
  }
}

std::vector<Value> WrongKindsForVariable() {
  return {Value::Undefined(), Value::Variable(Value::Longint(7)), Value::RealArray({0, 1.5}),
          Value::TextArray({u"", u"x"}), Value::LongintArray({0, 9})};
}

std::vector<BadCall> BadCallsFor(const CommandInfo& row, const TypicalCall& typical) {
  std::vector<BadCall> cases;
  cases.push_back({"every parameter omitted", {}});
  const std::string& letters = std::string(row.parameters);
  for (size_t i = 0; i < letters.size(); ++i) {
    const std::string at = " as parameter " + std::to_string(i + 1);
    auto with = [&](const std::string& what, Value value) {
      std::vector<Value> args = typical.args;
      args[i] = std::move(value);
      cases.push_back({what + at, std::move(args)});
    };
    switch (letters[i]) {
      case 'L':
        for (int32_t v : {int32_t(-1), int32_t(10), int32_t(65536), INT32_MIN, INT32_MAX})
          with(std::to_string(v), Value::Longint(v));
        break;
      case 'I':
        for (int16_t v : {int16_t(-1), int16_t(2), int16_t(3), int16_t(256), int16_t(-32768), int16_t(32767)})
          with(std::to_string(v), Value::Integer(v));
        break;
      case 'T':
        with("empty text", Value::TextUtf8(""));
        with("lone surrogates", Value::Text(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}));
        with("text of 100000 units", Value::Text(std::u16string(100000, u'\u00E9')));
        break;
      case 'O':
        with("empty BLOB", Value::Blob({}));
        with("one-byte BLOB", Value::Blob({0xFF}));
        with("8 MiB BLOB", Value::Blob(std::vector<uint8_t>(kHugeBlobBytes, 0x41)));
        break;
      default:  // 'Y'
        for (const Value& wrong : WrongKindsForVariable()) with(Short(wrong) + " (" + lqm::host::ValueKindName(wrong.Held().kind) + ")", wrong);
        break;
    }
  }
  cases.push_back({"typical call before initialisation", typical.args, When::kBeforeInit});
  cases.push_back({"typical call after shutdown", typical.args, When::kAfterShutdown});
  return cases;
}

// "no result", the result, and each argument the call changed.
std::string Answer(const std::vector<Value>& given, const CallOutcome& outcome) {
  std::string answer = outcome.result ? Short(*outcome.result) : "no result";
  for (size_t i = 0; i < outcome.args.size(); ++i) {
    const Value& before = i < given.size() ? given[i] : Value::Undefined();
    if (i >= given.size() && outcome.args[i].Held().kind == ValueKind::kUndefined) continue;
    if (!(outcome.args[i] == before)) answer += "; parameter " + std::to_string(i + 1) + " → " + Short(outcome.args[i]);
  }
  return answer;
}

std::string Escape(std::string cell) {
  std::string out;
  for (char c : cell) out += c == '|' ? std::string("\\|") : std::string(1, c);
  return out;
}

std::string BuildTable() {
  std::ostringstream doc;
  doc << "# Bad inputs and their answers\n\n"
         "Generated by tests/frame/robustness_table_test.cpp from the calls it makes; do not edit.\n"
         "Regenerate with `LQM_WRITE_ROBUSTNESS=1 build/bin/lqm_tests --gtest_filter='RobustnessTable.*'`.\n\n"
         "Each command is called with the typical arguments of tests/frame/static_plugin.h, one\n"
         "parameter replaced at a time, after -1 and with the print session opened where the command\n"
         "needs one. Every call below left no host object live and broke no rule of the host.\n"
         "\"no result\" means the command set none, so 4D's default value stands; \"parameter N →\"\n"
         "shows what the call wrote into an argument. The codec commands (19, 25, 26, 45, 46) never\n"
         "look for the resource files, so they answer the same before initialisation and after\n"
         "shutdown: 4D may run them in preemptive processes, where the 4D commands that search for\n"
         "the files may not run.\n";
  for (const TypicalCall& typical : TypicalCalls()) {
    const CommandInfo& row = *FindCommand(typical.routine);
    doc << "\n## " << row.number << " " << row.name << " (" << (row.parameters.empty() ? "no parameters" : std::string(row.parameters)) << " → "
        << (row.result.empty() ? "nothing" : std::string(row.result)) << ")\n\n"
        << "| input | answer |\n|---|---|\n";
    for (const BadCall& bad : BadCallsFor(row, typical)) {
      std::unique_ptr<Host> h = NewStaticPluginHost(bad.when != When::kBeforeInit);
      if (bad.when == When::kBeforeInit) {
        // Shut down, then forget the files and facts as a new process would
        // have none: the state of a plugin 4D loaded but has not initialised.
        h->Select(lqm::abi::kSelectorDeinit);
        NamedCommandsInit();
        ResourcesInit();
        DiscoveryInit();
      } else {
        EXPECT_TRUE(RunPrelude(*h, typical.prelude));
        if (bad.when == When::kAfterShutdown) h->Select(lqm::abi::kSelectorDeinit);
      }
      const CallOutcome outcome = h->Call(typical.routine, bad.args);
      EXPECT_TRUE(outcome.ok()) << row.name << ", " << bad.label << ": " << outcome.error;
      EXPECT_TRUE(h->GetLiveCounts() == LiveCounts{}) << row.name << ", " << bad.label;
      h->Select(lqm::abi::kSelectorDeinit);
      doc << "| " << Escape(bad.label) << " | " << Escape(outcome.ok() ? Answer(bad.args, outcome) : "refused: " + outcome.error) << " |\n";
    }
  }
  return doc.str();
}

TEST(RobustnessTable, DocsRobustnessMatchesTheAnswers) {
  const std::string table = BuildTable();
  const std::string path = std::string(LQM_TEST_VECTORS_DIR) + "/../../docs/robustness.md";
  if (std::getenv("LQM_WRITE_ROBUSTNESS")) {
    std::ofstream out(path, std::ios::binary);
    out << table;
    ASSERT_TRUE(out.good()) << path;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream committed;
  committed << in.rdbuf();
  EXPECT_TRUE(committed.str() == table)
      << "docs/robustness.md is stale: an answer changed. Review the difference, then regenerate:\n"
         "  LQM_WRITE_ROBUSTNESS=1 build/bin/lqm_tests --gtest_filter='RobustnessTable.*'";
}

}  // namespace
