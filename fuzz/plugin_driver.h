// The plugin as the last two targets drive it: the statically linked copy
// (lqm_core_static) attached to a fresh development host per input, so that
// an input's outcome depends on its bytes alone, not on the inputs before.
//
// The static copy's globals outlive the host. Every input therefore ends
// with a shutdown (-2), which frees what the plugin holds and leaves it in
// the same "shut down" state for the next input; the plugin's own answer to
// calls before initialisation is part of what gets fuzzed.
#pragma once

#include <memory>

#include "fuzz_target.h"
#include "host/host_abi.h"
#include "lqm-host/lib/host.h"

extern "C" void LQM_CALLCONV FourDPackex(int32_t selector, void* parameters, void* data,
                                         void* result);

namespace lqm_fuzz {

inline void AttachStaticPlugin(lqm::host::Host& host) { host.AttachEntryPoint(&FourDPackex); }

// The plugin must hold no host object between commands.
inline bool NothingLive(const lqm::host::Host& host) {
  return host.GetLiveCounts() == lqm::host::LiveCounts{};
}

}  // namespace lqm_fuzz
