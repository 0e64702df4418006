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

#include "host/host_abi.h"
#include "lqm-host/lib/host.h"

extern "C" void LQM_CALLCONV FourDPackex(int32_t selector, void* parameters, void* data,
                                         void* result);

namespace lqm::testing {

// The print-session opening facts every print command needs.
inline constexpr char kPrintAccessCode[] = "VarnelLQM 61QTR04";
inline constexpr char kPrintRootVariable[] = "<>vxPrintRootDirectoryPath";
inline constexpr char kPrintSpoolVariable[] = "<>vxPrintSpoolDirectoryPath";

// What a command needs before its typical call: nothing, an open print
// session, or an open session whose slot 1 holds "one".
enum class Prelude { kNone, kSession, kSessionAndSlot };

struct TypicalCall {
  int32_t routine;
  Prelude prelude;
  std::vector<host::Value> args;
};

// One well-formed call of every command of the command table, in routine
// order (a test checks that no row lacks one).
inline std::vector<TypicalCall> TypicalCalls() {
  using host::Value;
  auto L = [](int32_t v) { return Value::Longint(v); };
  auto I = [](int16_t v) { return Value::Integer(v); };
  auto T = [](const char* utf8) { return Value::TextUtf8(utf8); };
  auto texts = [](std::vector<const char*> utf8) {
    std::vector<std::u16string> elements;
    for (const char* e : utf8) elements.push_back(Value::TextUtf8(e).text);
    return Value::TextArray(std::move(elements));
  };
  const Value four = T("4");
  return {
      {1, Prelude::kNone, {}},
      {2, Prelude::kNone, {}},
      {3, Prelude::kNone, {T(kPrintAccessCode), T("Job-42"), T("note")}},
      {4, Prelude::kSessionAndSlot, {L(1)}},
      {5, Prelude::kSession, {L(2), T("two Ã©")}},
      {6, Prelude::kSession, {L(1), Value::Variable(L(3)), Value::Undefined()}},
      {7, Prelude::kSession, {L(1), four, four, four, four}},
      {8, Prelude::kSession, {L(1), four, four, four, four, four, four, four}},
      {9, Prelude::kSession, {L(1)}},
      {10, Prelude::kNone, {L(1300)}},
      {11, Prelude::kNone, {}},
      {12, Prelude::kNone, {}},
      {13, Prelude::kNone, {}},
      {14, Prelude::kNone, {}},
      {15, Prelude::kNone, {}},
      {16, Prelude::kNone, {}},
      {17, Prelude::kNone, {}},
      {18, Prelude::kNone, {}},
      {19, Prelude::kNone, {T("sealed ð"), T("key"), I(1), I(1)}},
      {24, Prelude::kNone, {}},
      {25, Prelude::kNone, {Value::BlobOf("hello world")}},
      {26, Prelude::kNone, {Value::BlobOf("aGVsbG8gd29ybGQ=")}},
      {27, Prelude::kNone, {}},
      {28, Prelude::kNone, {T("kept")}},
      {29,
       Prelude::kNone,
       {L(1), Value::LongintArray({0}), texts({""}), texts({""}), texts({""}), texts({""}),
        Value::LongintArray({0})}},
      {30, Prelude::kNone, {texts({"", "old"})}},
      {31, Prelude::kNone, {L(247)}},
      {32, Prelude::kSession, {L(1)}},
      {33, Prelude::kSession, {L(1)}},
      {34, Prelude::kSession, {L(1)}},
      {35, Prelude::kSession, {L(1)}},
      {36, Prelude::kSession, {L(1)}},
      {37, Prelude::kSession, {L(3)}},
      {38, Prelude::kSession, {L(1)}},
      {39, Prelude::kSession, {L(1)}},
      {40, Prelude::kNone, {Value::LongintArray({0, 1300, 10, 75}), texts({""})}},
      {41, Prelude::kSession, {L(1)}},
      {42, Prelude::kSession, {L(1)}},
      {43, Prelude::kSession, {L(1)}},
      {44, Prelude::kSession, {L(1)}},
      {45,
       Prelude::kNone,
       {I(1), Value::BlobOf("ABABABABABABABABABAB"), I(3), I(3), I(0), I(0), L(-1), L(12)}},
      {46, Prelude::kNone, {Value::BlobOf("123456789"), I(2), I(1)}},
  };
}

// Runs a call's prelude; false when a step did not answer as expected.
inline bool RunPrelude(host::Host& h, Prelude prelude) {
  using host::Value;
  if (prelude == Prelude::kNone) return true;
  host::CallOutcome opened = h.Call(3, {Value::TextUtf8(kPrintAccessCode), Value::TextUtf8("Job-42")});
  if (!opened.ok() || opened.result != Value::Longint(1)) return false;
  if (prelude == Prelude::kSession) return true;
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
