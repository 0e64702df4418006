// The dispatcher: lifecycle selectors, then the command handlers of the
// command table.
//
// The codec commands (19, 25, 26, 45, 46) need nothing but their parameters:
// they run at once and return without touching the process-wide state, since
// 4D may run them on several preemptive threads together (they are declared
// thread-safe) and discovery writes that state without locks and runs 4D
// commands that only the main process may run. Every other positive routine
// attempts environment discovery; routines 2 to 44 run only once it has
// succeeded, and otherwise set no result, so 4D's default result stands.
// Routine 1 answers an empty text whenever it cannot give the version.
#include "frame/dispatch.h"

#include "frame/command_table.h"
#include "frame/handlers.h"
#include "frame/state.h"
#include "host/texts.h"

namespace {

using Handler = void (*)(const PluginParameters&);

struct HandlerTable {
  Handler byRoutine[kHighestRoutine + 1] = {};
};

constexpr HandlerTable BuildHandlerTable() {
  HandlerTable table{};
#define LQM_COMMAND(number, name, theme, parameters, result, threadSafe, summary) \
  table.byRoutine[number] = &name;
#include "frame/commands.def"
#undef LQM_COMMAND
  return table;
}

constexpr HandlerTable kHandlers = BuildHandlerTable();

bool NeedsNoResources(int32_t routine) {
  const CommandInfo* row = FindCommand(routine);
  return row != nullptr && row->threadSafe;
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
  const bool known = routine <= kHighestRoutine && kHandlers.byRoutine[routine] != nullptr;

  bool pending = false;
  if (routine == 1) {
    if (DiscoverEnvironment() && gPluginReady)
      kHandlers.byRoutine[1](params);
    else
      ReturnUtf8Text(params, "");
  } else if (known && NeedsNoResources(routine)) {
    kHandlers.byRoutine[routine](params);
    return;
  } else {
    pending = true;
  }

  const bool ready = DiscoverEnvironment();
  if (ready && pending && known && routine >= 2 && routine <= 44) kHandlers.byRoutine[routine](params);
}
