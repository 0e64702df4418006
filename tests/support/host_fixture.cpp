// The plugin-in-the-host fixture (host_fixture.h).
#include "support/host_fixture.h"

#include <ostream>

#include "frame/command_table.h"

namespace lqm::testing {

void PluginTest::SetUp() {
  host_ = std::make_unique<Host>();
  std::string error;
  ASSERT_TRUE(host_->LoadPlugin(host::DefaultPluginPath(), error)) << error;
  ASSERT_EQ(host_->Select(abi::kSelectorInit), abi::kInterfaceVersion);
}

void PluginTest::TearDown() {
  if (host_ && host_->HasPlugin()) host_->Select(abi::kSelectorDeinit);
  host_.reset();
}

namespace {
std::string Describe(std::string_view name, const std::vector<Value>& args) {
  std::string s(name);
  s += "(";
  for (size_t i = 0; i < args.size(); ++i) s += (i ? "; " : "") + host::DescribeValue(args[i]);
  return s + ")";
}
}  // namespace

CallOutcome PluginTest::Call(std::string_view name, const std::vector<Value>& args) {
  CallOutcome outcome = host_->Call(name, args);
  EXPECT_TRUE(outcome.ok()) << Describe(name, args) << ": " << outcome.error;
  EXPECT_TRUE(NoLiveObjects()) << "after " << Describe(name, args);
  return outcome;
}

CallOutcome PluginTest::Call(int32_t routine, const std::vector<Value>& args) {
  CallOutcome outcome = host_->Call(routine, args);
  std::string label = "routine " + std::to_string(routine);
  EXPECT_TRUE(outcome.ok()) << Describe(label, args) << ": " << outcome.error;
  EXPECT_TRUE(NoLiveObjects()) << "after " << Describe(label, args);
  return outcome;
}

std::optional<Value> PluginTest::CallForResult(std::string_view name,
                                               const std::vector<Value>& args) {
  return Call(name, args).result;
}

::testing::AssertionResult PluginTest::NoLiveObjects() {
  host::LiveCounts live = host_->GetLiveCounts();
  if (live == host::LiveCounts{}) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the plugin holds " << live.variables << " command variables, " << live.texts
         << " texts and " << live.handles << " handles it never released";
}

Value TextArray(const std::vector<std::string>& utf8Elements) {
  std::vector<std::u16string> elements;
  for (const auto& e : utf8Elements) elements.push_back(Value::TextUtf8(e).text);
  return Value::TextArray(std::move(elements));
}

void PrintTo(const Value& value, std::ostream* os) { *os << host::DescribeValue(value); }

int32_t RoutineOf(std::string_view name) {
  const CommandInfo* row = FindCommand(name);
  return row ? row->number : 0;
}

}  // namespace lqm::testing

namespace lqm::host {
void PrintTo(const Value& value, std::ostream* os) { *os << DescribeValue(value); }
}  // namespace lqm::host
