// FourDPackex: the plugin's one exported symbol, through which 4D calls it
// for initialisation (-1, -200), shutdown (-2) and every command (1..46).
#include <cstdint>

#include "frame/dispatch.h"
#include "host/host_calls.h"

#if defined(_WIN32)
#define LQM_EXPORT __declspec(dllexport)
#else
#define LQM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LQM_EXPORT void LQM_CALLCONV FourDPackex(int32_t selector, void* parameters, void* data,
                                                     void* result) {
  PluginParameters block{static_cast<void**>(parameters), result, data};
  if (selector == lqm::abi::kSelectorInit || selector == lqm::abi::kSelectorServerInit)
    HostAcceptInitBlock(parameters);
  CommandDispatch(selector, block);
}
