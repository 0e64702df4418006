// The declaration of every command handler, expanded from the command table
// (host/commands.def), so that no list of names is kept by hand. A handler
// reads its parameters and sets its one result through host/parameters.h;
// its definition lives with its subsystem, which includes this header so
// that the compiler checks the definition against the table.
#pragma once

#include "host/host_calls.h"

#define LQM_COMMAND(number, name, theme, parameters, result, needs, missing, typical, summary) \
  void name(const PluginParameters& params);
#include "host/commands.def"
#undef LQM_COMMAND
