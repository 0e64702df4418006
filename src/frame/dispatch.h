// Routing of selectors and routine numbers to the lifecycle routines and the
// command handlers of the command table.
#pragma once

#include <cstdint>

#include "host/host_calls.h"

void CommandDispatch(int32_t routine, const PluginParameters& params);
