// Declarations of every command handler, expanded from commands.def. A
// handler reads its parameters and sets its one result through src/host; its
// definition lives with its subsystem (codecs, formats, resources, printdoc).
#pragma once

#include "host/host_calls.h"

#define LQM_COMMAND(number, name, theme, parameters, result, threadSafe, summary) \
  void name(const PluginParameters& params);
#include "frame/commands.def"
#undef LQM_COMMAND
