// The plugin's lifecycle: what -1 and -2 do, and the one fact the frame
// keeps itself, whether the plugin is ready. Every other piece of
// process-wide state belongs to the subsystem that uses it, behind its own
// init/shutdown pair; this file only calls them in order.
//
// States and transitions:
//
//   Unloaded    as 4D loads the library: every subsystem's state is zero,
//               not ready
//      | -1  NamedCommandsInit, ResourcesInit, DiscoveryInit, PrintDocInit;
//      |     ready when PrintDocInit could allocate the key and slots
//      v     (no host call is made)
//   Ready       the next positive routine that needs resources runs
//      |     discovery, repeated on each such call until it succeeds
//      v
//   Discovered  resource files open for the life of the process
//      | -2  PrintDocShutdown (session closed, texts released),
//      |     ResourcesShutdown (caches released, files stay open),
//      |     DiscoveryShutdown (folder buffers released),
//      |     NamedCommandsShutdown; not ready
//      v
//   Shut down   commands needing the plugin or a session give their empty
//               answer; those needing only resources still run, and the
//               files stay open
//      | -1  starts over as from Unloaded: each init first releases what an
//            earlier one left, so a -1 without -2 leaks nothing
//
// -200 only keeps the host's callback (the entry point does that); a -2
// releases whatever the subsystems hold in any state (after a failed -1 too),
// so a second -2 finds nothing to do; a -1 while Ready is a full new
// initialisation.
#pragma once

void PluginInit();
void PluginShutdown();
// Between a -1 and the next -2, when the -1's allocations succeeded.
bool PluginReady();
