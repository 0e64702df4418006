// The built plugin library inside the development host (PluginTest): the
// parts of the seam every command crosses that no command's answer shows:
// BLOB and text arguments moved into the call instead of copied, and a call
// with more arguments than the command takes refused. The result slots of
// each kind, and arrays coming back with their element 0, are pinned for
// every command in docs/robustness.md and the format tests.
#include "support/host_fixture.h"

namespace {

using lqm::testing::Blob;
using lqm::testing::Integer;
using lqm::testing::Longint;
using lqm::testing::PluginTest;
using lqm::testing::Text;
using lqm::testing::Value;
using lqm::testing::Variable;

class PluginInHost : public PluginTest {};

// Host::Call with arguments by value moves each BLOB and text into its
// parameter's storage and back into the outcome (the result's too): the
// answer, the arguments after the call and the live counts must be those of
// the copying call, and the moved-from arguments are left empty.
TEST_F(PluginInHost, MovedArgumentsGiveTheCopyingCallsOutcome) {
  const std::string text(5000, 'q');
  const struct {
    const char* label;
    int32_t routine;
    std::vector<Value> args;
  } cases[] = {
      {"CRC", 46, {Blob("123456789"), Integer(2), Integer(1)}},
      {"encode", 25, {Blob(text)}},
      {"decode", 26, {Blob("SGVs\r\nbG8s\r\nIDRE")}},
      {"LZW", 45, {Integer(1), Blob(text), Integer(3), Integer(3), Integer(0), Integer(0), Longint(8), Longint(12)}},
      {"empty BLOB", 25, {Blob("")}},
      {"cipher", 19, {Text(text), Text("sixteen byte key"), Integer(1), Integer(1)}},
      {"cipher, short texts, one in a variable", 19, {Text("ab"), Variable(Text("k")), Integer(1), Integer(0)}},
      {"slot text kept by the plugin", 5, {Longint(2), Text(text + "\u00E9")}},
      {"empty text", 28, {Text("")}},
  };
  for (const auto& c : cases) {
    const lqm::host::CallOutcome copied = Call(c.routine, c.args);
    std::vector<Value> moved = c.args;
    const lqm::host::CallOutcome outcome = host().Call(c.routine, std::move(moved));
    ASSERT_TRUE(outcome.ok()) << c.label << ": " << outcome.error;
    EXPECT_EQ(outcome.result, copied.result) << c.label;
    EXPECT_EQ(outcome.args, copied.args) << c.label;
    for (const Value& value : moved) {
      EXPECT_TRUE(value.blob.empty()) << c.label;
      EXPECT_TRUE(value.Held().text.empty()) << c.label;
    }
    EXPECT_TRUE(NoLiveObjects()) << c.label;
  }
}

TEST_F(PluginInHost, TooManyArgumentsAreRefused) {
  lqm::host::CallOutcome outcome = host().Call("LQM_GetVersion", {Longint(1)});
  EXPECT_FALSE(outcome.ok());
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
