// The handlers of the output-format commands (routines 10, 29, 30, 31, 40).
#pragma once

#include "host/host_calls.h"

void LQM_GetFormatExtension(const PluginParameters& params);
void LQM_ListOutputFormats(const PluginParameters& params);
void LQM_GetFormatLabels(const PluginParameters& params);
void LQM_GetFormatFamily(const PluginParameters& params);
void LQM_GetFormatNames(const PluginParameters& params);
