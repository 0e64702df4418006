// The built plugin library inside the development host (PluginTest): the
// fixture's own contract, and the parts of the seam every command crosses:
// initialisation, the numeric, text and BLOB result slots, a result left
// unset, and array parameters coming back with their element 0.
#include "support/host_fixture.h"

namespace {

using lqm::testing::Blob;
using lqm::testing::Integer;
using lqm::testing::Longint;
using lqm::testing::PluginTest;
using lqm::testing::Text;
using lqm::testing::TextArray;
using lqm::testing::Value;
using lqm::testing::Variable;

class PluginInHost : public PluginTest {};

TEST_F(PluginInHost, InitialisationAnswersTheInterfaceVersion) {
  EXPECT_EQ(host().Select(lqm::abi::kSelectorInit), 0x1400);
  EXPECT_EQ(host().Select(lqm::abi::kSelectorServerInit), 0x1400);
}

TEST_F(PluginInHost, ResultSlotsOfEachForm) {
  // Longint: the CRC-32 check value; BLOB: Base64 of a short text.
  EXPECT_EQ(CallForResult("LQM_ComputeCRC", {Blob("123456789"), Integer(2), Integer(1)}),
            Longint(int32_t(0xCBF43926)));
  EXPECT_EQ(CallForResult("LQM_EncodeBase64", {Blob("Hello, 4D")}), Blob("SGVsbG8sIDRE"));
  // Text: whatever the plugin answers, it comes back as a text, never "unset".
  std::optional<Value> version = CallForResult("LQM_GetVersion");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->kind, lqm::host::ValueKind::kText);
}

TEST_F(PluginInHost, CommandsWithoutResultLeaveTheSlotUnset) {
  EXPECT_FALSE(CallForResult("LQM_KeepText", {Text("kept")}).has_value());
  EXPECT_FALSE(Call(21, {Longint(1)}).result.has_value()) << "a routine without a row";
}

TEST_F(PluginInHost, ArgumentsComeBackWithElementZero) {
  std::vector<Value> args = {Variable(TextArray({"zero", "one"})),
                             Value::LongintArray({-1, 5, 6}), Value::Undefined(),
                             Variable(Longint(3))};
  lqm::host::CallOutcome outcome = Call(22, args);
  EXPECT_EQ(outcome.args, args);
}

TEST_F(PluginInHost, TooManyArgumentsAreRefused) {
  lqm::host::CallOutcome outcome = host().Call("LQM_GetVersion", {Longint(1)});
  EXPECT_FALSE(outcome.ok());
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
