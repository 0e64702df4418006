// Lifecycle abuse: long random sequences (fixed seeds) of initialisation
// (-1, -200), shutdown (-2) and the typical call of every command, run
// against the static plugin. Under the sanitizer build this is where a heap
// text used after -2 freed it, or one leaked by a second -1, shows up.
//
// The sequence is checked against a model of the state the plugin is in:
//   shut      -2 ran since the last -1
//   session   the print session is open (3 with the access code, not shut)
//   slot      slot 2 was written (5) while the session was open
// -200 changes none of it. The answer every command must give in a state is
// learnt once per state from a fresh host brought there the shortest way
// (-1, then 3, 5, -2 as needed), so the test says "the same answer whatever
// the history", which is what the lifecycle promises; a few answers are
// also pinned outright (routine 1 and the slot routines when closed).
// After every step no host object may be live.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "base/plugin_heap.h"
#include "frame/command_table.h"
#include "frame/static_plugin.h"

namespace {

using lqm::host::CallOutcome;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Value;
using lqm::testing::NewStaticPluginHost;
using lqm::testing::TypicalCall;
using lqm::testing::TypicalCalls;

struct State {
  bool shut = false;
  bool session = false;
  bool slot = false;
  bool operator<(const State& o) const {
    return std::tie(shut, session, slot) < std::tie(o.shut, o.session, o.slot);
  }
};

constexpr int32_t kOpenSession = 3;
constexpr int32_t kSetSlot = 5;

// The typical calls, but with routine 4 reading the slot routine 5 writes,
// so that the model's `slot` is observable.
std::vector<TypicalCall> AbuseCalls() {
  std::vector<TypicalCall> calls = TypicalCalls();
  for (TypicalCall& call : calls) {
    call.prelude = lqm::testing::Prelude::kNone;
    if (call.routine == 4) call.args = {Value::Longint(2)};
  }
  return calls;
}

State After(State state, int32_t step) {
  if (step == -1) return State{};
  if (step == -2) return State{true, false, false};
  if (step == kOpenSession && !state.shut) state.session = true;
  if (step == kSetSlot && state.session) state.slot = true;
  return state;
}

class Answers {
 public:
  explicit Answers(const std::vector<TypicalCall>& calls) : calls_(calls) {}
  const CallOutcome& For(State state, size_t callIndex) {
    auto key = std::make_pair(state, callIndex);
    auto found = known_.find(key);
    if (found != known_.end()) return found->second;
    EXPECT_FALSE(frozen_) << "an answer was not worked out before the sequence started";
    std::unique_ptr<Host> h = NewStaticPluginHost();
    State reached;
    auto step = [&](int32_t routine) {
      if (routine < 0) {
        h->Select(routine);
      } else {
        for (const TypicalCall& call : calls_)
          if (call.routine == routine) h->Call(routine, call.args);
      }
      reached = After(reached, routine);
    };
    if (state.session) step(kOpenSession);
    if (state.slot) step(kSetSlot);
    if (state.shut) step(-2);
    EXPECT_FALSE(reached < state || state < reached) << "the model cannot reach its own state";
    CallOutcome outcome = h->Call(calls_[callIndex].routine, calls_[callIndex].args);
    h->Select(-2);
    return known_.emplace(key, std::move(outcome)).first->second;
  }

  // Set once every answer is known: the hosts that work answers out drive
  // the same statically linked plugin as the sequence under test, so working
  // one out in the middle of a sequence would change the state it relies on.
  void Freeze() { frozen_ = true; }

 private:
  const std::vector<TypicalCall>& calls_;
  std::map<std::pair<State, size_t>, CallOutcome> known_;
  bool frozen_ = false;
};

TEST(LifecycleAbuse, RandomSequencesAnswerAsTheirStateDefines) {
  const std::vector<TypicalCall> calls = AbuseCalls();
  Answers answers(calls);
  // The pinned answers: routine 1 is empty once shut, the slot text and the
  // slot name are empty while no session is open.
  for (State closed : {State{true, false, false}, State{false, false, false}}) {
    for (size_t i = 0; i < calls.size(); ++i) {
      const int32_t routine = calls[i].routine;
      const auto& result = answers.For(closed, i).result;
      if (routine == 1 && closed.shut) EXPECT_EQ(result, Value::TextUtf8(""));
      if (routine == 4 || routine == 37)
        EXPECT_TRUE(!result || *result == Value::TextUtf8("")) << "routine " << routine;
    }
  }
  for (State reachable : {State{}, State{false, true, false}, State{false, true, true},
                          State{true, false, false}})
    for (size_t i = 0; i < calls.size(); ++i) answers.For(reachable, i);
  answers.Freeze();

  constexpr int kSteps = 3000;
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    // One step in eight is a lifecycle selector, so states change often but
    // commands still run many times in each.
    std::uniform_int_distribution<int> pick(0, int(calls.size()) * 8 / 7);
    std::unique_ptr<Host> h = NewStaticPluginHost();
    State state;
    int failures = 0;
    for (int i = 0; i < kSteps && failures < 5; ++i) {
      const int choice = pick(random);
      if (choice >= int(calls.size())) {
        static const int32_t kSelectors[] = {-1, -200, -2};
        const int32_t selector = kSelectors[choice % 3];
        h->Select(selector);
        state = After(state, selector);
      } else {
        const TypicalCall& call = calls[size_t(choice)];
        const CallOutcome outcome = h->Call(call.routine, call.args);
        const CallOutcome& expected = answers.For(state, size_t(choice));
        if (!outcome.ok() || outcome.result != expected.result || outcome.args != expected.args) {
          ++failures;
          ADD_FAILURE() << "step " << i << ", routine " << call.routine << " (shut " << state.shut
                        << ", session " << state.session << ", slot " << state.slot
                        << "): " << (outcome.ok() ? "" : outcome.error) << " result "
                        << (outcome.result ? lqm::host::DescribeValue(*outcome.result) : "none")
                        << ", expected "
                        << (expected.result ? lqm::host::DescribeValue(*expected.result) : "none");
        }
        state = After(state, call.routine);
      }
      if (!(h->GetLiveCounts() == LiveCounts{})) {
        ++failures;
        ADD_FAILURE() << "step " << i << " leaves host objects live";
      }
    }
    h->Select(-2);
  }
}

// A -1 whose n-th heap allocation fails, then the -2: whatever the start
// managed to make before the failure must be gone again, and a start that
// failed must leave the print session refused rather than half ready.
TEST(LifecycleAbuse, StartWithAFailedAllocationLeavesNothingBehind) {
  bool walkedPastTheLast = false;
  for (long nth = 1; nth < 64 && !walkedPastTheLast; ++nth) {
    SCOPED_TRACE(nth);
    const long live = PluginLiveBlocksOnThisThread();
    std::unique_ptr<Host> h = NewStaticPluginHost(false);
    PluginHeapFailAfter(nth);
    h->Select(-1);
    walkedPastTheLast = PluginHeapFailAfter(0) != 0;
    const CallOutcome opened = h->Call(3, {Value::TextUtf8(lqm::testing::kPrintAccessCode), Value::TextUtf8("J")});
    EXPECT_EQ(opened.result, Value::Longint(walkedPastTheLast ? 1 : 0));
    h->Select(-2);
    EXPECT_EQ(PluginLiveBlocksOnThisThread(), live);
  }
  EXPECT_TRUE(walkedPastTheLast);
}

}  // namespace
