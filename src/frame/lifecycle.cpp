// The lifecycle routines -1 and -2 (see lifecycle.h for the states).
#include "frame/lifecycle.h"

#include "host/named_commands.h"
#include "printdoc/print_state.h"
#include "resources/discovery.h"
#include "resources/resource_readers.h"

namespace {
bool gPluginReady = false;
}  // namespace

void PluginInit() {
  gPluginReady = false;
  NamedCommandsInit();
  ResourcesInit();
  DiscoveryInit();
  // The print commands rely on the key and every slot being valid texts;
  // without them the plugin stays not ready rather than half ready.
  gPluginReady = PrintDocInit();
}

void PluginShutdown() {
  // Not only when ready: after a start that failed, commands may still have
  // run discovery and filled caches, and those blocks go back here too.
  // Every shutdown step is safe to repeat, so a second -2 changes nothing.
  PrintDocShutdown();
  ResourcesShutdown();
  DiscoveryShutdown();
  NamedCommandsShutdown();
  gPluginReady = false;
}

bool PluginReady() { return gPluginReady; }
