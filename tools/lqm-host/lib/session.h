// The `lqm-host session` protocol: one JSON request per line in, one JSON
// answer per line out. The protocol is fixed (other tools drive it):
//
//   {"select": S}                    -> {"version": V} for -1/-200, else {}
//   {"call": C, "args": [A, ...]}    -> {"result": R|null, "args": [A', ...]}
//   {"host": {...settings...}}       -> {}
//       "fail": {"kind": K, "nth": N, "persistent": B} or null arms or
//       disarms a fault plan (FaultPlan in host.h); "stats" then also
//       answers "faults": {"counted": N, "fired": N}
//   {"set": NAME, "value": A}        -> {}
//   {"unset": NAME}                  -> {}
//   {"stats": true}                  -> {"callbacks": N, "commands_run": {...},
//                                        "live": {"variables": N, "texts": N, "handles": N}}
//   anything else                    -> {"error": "what is wrong"}
//
// HandleSessionLine is the whole protocol as a function, so that tests run
// it in-process on both builds; main.cpp only adds the loop over stdin.
#pragma once

#include <string>

#include "host.h"

namespace lqm::host {

struct Session {
  Host host;
  bool faultPlanned = false;  // a "fail" plan is armed: stats report its counts
};

// Answers one request line (without its newline); the answer has no newline.
// Never throws: every failure is an {"error": ...} answer.
std::string HandleSessionLine(Session& session, const std::string& line);

}  // namespace lqm::host
