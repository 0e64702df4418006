// The codec commands' handlers (routines 19, 25, 26, 45 and 46). They need
// nothing of the plugin's state, so 4D may run them on several preemptive
// processes at once.
#pragma once

#include "host/host_calls.h"

void LQM_CipherText(const PluginParameters& params);
void LQM_EncodeBase64(const PluginParameters& params);
void LQM_DecodeBase64(const PluginParameters& params);
void LQM_LZWCodec(const PluginParameters& params);
void LQM_ComputeCRC(const PluginParameters& params);
