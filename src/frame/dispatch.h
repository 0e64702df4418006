// Routing of selectors and routine numbers to lifecycle routines and
// command handlers.
#pragma once

#include <cstdint>

#include "host/host_calls.h"

void CommandDispatch(int32_t routine, const PluginParameters& params);

// True once the plugin's resource files are open (environment discovery).
bool DiscoverEnvironment();
