// The dispatcher: lifecycle selectors, then the command handlers of the
// command table, each run only once what its row needs holds.
//
// A row that needs nothing runs at once, without discovery: 4D may run such
// commands on several preemptive threads together, and discovery writes
// process-wide state without locks and runs 4D commands by name, which only
// the main process may do. Every other row runs discovery once per call and
// then checks the rest of its needs; when one is missing the row's missing
// answer is set (or none, so 4D's default result stands). A positive
// routine number without a row sets nothing but still runs discovery, as
// every positive routine always has: 4D code may call one to prepare the
// plugin's files ahead of the commands that need them.
#include "frame/dispatch.h"

#include "frame/command_table.h"
#include "frame/lifecycle.h"
#include "host/command_handlers.h"
#include "host/parameters.h"
#include "printdoc/print_state.h"
#include "resources/discovery.h"

namespace {

using Handler = void (*)(const PluginParameters&);

// Indexed by routine number, so a call finds its row without a search.
struct HandlerTable {
  Handler handler[kHighestRoutine + 1] = {};
  const CommandInfo* row[kHighestRoutine + 1] = {};
};

constexpr HandlerTable BuildHandlerTable() {
  HandlerTable table{};
#define LQM_COMMAND(number, name, theme, parameters, result, needs, missing, typical, summary) \
  table.handler[number] = &name;
#include "host/commands.def"
#undef LQM_COMMAND
  for (const CommandInfo& row : kCommandTable) table.row[row.number] = &row;
  return table;
}

constexpr HandlerTable kHandlers = BuildHandlerTable();

bool NeedsMet(CommandNeeds needs) {
  if (needs == CommandNeeds::kNothing) return true;
  if (!DiscoverEnvironment()) return false;
  if (needs == CommandNeeds::kResources) return true;
  if (!PluginReady()) return false;
  return needs == CommandNeeds::kPlugin || PrintSessionUsable();
}

void SetMissingAnswer(const CommandInfo& row, const PluginParameters& params) {
  if (row.missing == MissingAnswer::kNone || row.result.empty()) return;
  switch (row.result[0]) {
    case 'T': ReturnText(params, ""); break;
    case 'O': ReturnBlob(params, nullptr, 0); break;
    default: HostReturnLong(params, 0); break;
  }
}

}  // namespace

void CommandDispatch(int32_t routine, const PluginParameters& params) {
  if (routine == -2) {
    PluginShutdown();
    return;
  }
  if (routine == -1) {
    PluginInit();
    return;
  }
  if (routine <= 0) return;  // -200 and every other selector: nothing to run
  const CommandInfo* row = routine <= kHighestRoutine ? kHandlers.row[routine] : nullptr;
  if (row == nullptr) {
    DiscoverEnvironment();
    return;
  }
  if (NeedsMet(row->needs))
    kHandlers.handler[routine](params);
  else
    SetMissingAnswer(*row, params);
}
