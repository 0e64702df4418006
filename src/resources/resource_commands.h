// The handlers of the commands that hand out the plugin's own resources
// (routines 1, 2, 11 to 18 and 24). They run once discovery has opened the
// resource files.
#pragma once

#include "host/host_calls.h"

void LQM_GetVersion(const PluginParameters& params);
void LQM_GetInfoString(const PluginParameters& params);
void LQM_GetString1(const PluginParameters& params);
void LQM_GetString2(const PluginParameters& params);
void LQM_GetString3(const PluginParameters& params);
void LQM_GetString4(const PluginParameters& params);
void LQM_GetDataBlob1(const PluginParameters& params);
void LQM_GetDataBlob2(const PluginParameters& params);
void LQM_GetDataBlob3(const PluginParameters& params);
void LQM_GetDataBlob4(const PluginParameters& params);
void LQM_GetSealedText(const PluginParameters& params);
