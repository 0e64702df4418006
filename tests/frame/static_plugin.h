// The statically linked copy of the plugin, driven through the development
// host: the hardening tests (failure walk, lifecycle abuse, the table of bad
// inputs) use it because its allocator seam, PluginHeapFailAfter, is callable
// from the test program, which the loaded library's is not.
//
// The static copy has globals of its own, apart from the library that other
// suites load: a -1 through this host resets only the static copy. One Host
// lives at a time (the callback reaches the newest one), so each helper
// below makes its host, uses it and lets it go before the next.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/command_table.h"
#include "host/host_abi.h"
#include "lqm-host/lib/call.h"
#include "lqm-host/lib/host.h"

extern "C" void LQM_CALLCONV FourDPackex(int32_t selector, void* parameters, void* data,
                                         void* result);

namespace lqm::testing {

// The print-session opening facts every print command needs.
inline constexpr char kPrintAccessCode[] = "VarnelLQM 61QTR04";
inline constexpr char kPrintRootVariable[] = "<>vxPrintRootDirectoryPath";
inline constexpr char kPrintSpoolVariable[] = "<>vxPrintSpoolDirectoryPath";

// What a command needs before its typical call: nothing, or an open print
// session whose slot 1 holds "one" (for the rows that need a session).
enum class Prelude { kNone, kSessionAndSlot };

struct TypicalCall {
  int32_t routine;
  Prelude prelude;
  std::vector<host::Value> args;
};

// Every row's typical call from the command table, in routine order; a row
// whose call does not parse fails the test that asks.
inline std::vector<TypicalCall> TypicalCalls() {
  std::vector<TypicalCall> calls;
  for (const CommandInfo& row : kCommandTable) {
    TypicalCall call{row.number, row.needs == CommandNeeds::kSession ? Prelude::kSessionAndSlot : Prelude::kNone, {}};
    std::string error;
    EXPECT_TRUE(host::ParseTypicalCall(row, call.args, error)) << error;
    calls.push_back(std::move(call));
  }
  return calls;
}

// Runs a call's prelude; false when a step did not answer as expected.
inline bool RunPrelude(host::Host& h, Prelude prelude) {
  using host::Value;
  if (prelude == Prelude::kNone) return true;
  host::CallOutcome opened = h.Call(3, {Value::TextUtf8(kPrintAccessCode), Value::TextUtf8("Job-42")});
  if (!opened.ok() || opened.result != Value::Longint(1)) return false;
  host::CallOutcome stored = h.Call(5, {Value::Longint(1), Value::TextUtf8("one")});
  return stored.ok() && stored.result == Value::Longint(1);
}

// A host running the static plugin, initialised with -1 and with the print
// folders set, as a 4D database using the print session would have them.
inline std::unique_ptr<host::Host> NewStaticPluginHost(bool initialise = true) {
  auto made = std::make_unique<host::Host>();
  made->AttachEntryPoint(&FourDPackex);
  made->SetVariable(kPrintRootVariable, host::Value::TextUtf8("C:\\Print\\"));
  made->SetVariable(kPrintSpoolVariable, host::Value::TextUtf8("C:\\Print\\Spool\\"));
  if (initialise) made->Select(abi::kSelectorInit);
  return made;
}

}  // namespace lqm::testing
