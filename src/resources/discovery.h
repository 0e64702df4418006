// Environment discovery: which platform and kind of 4D application the plugin
// runs in, where its bundle lies, and opening its resource files.
//
// The facts found here (platform, system and machine kind, application type,
// path separator) and the two bundle folder buffers are this file's own
// state, reset by DiscoveryInit (-1) and released by DiscoveryShutdown (-2).
// Whether discovery has succeeded is whether a resource file is open
// (resource_readers.h), so nothing here can disagree with the readers.
//
// Discovery runs 4D commands by name, which only 4D's main process may do:
// the dispatcher never runs it for a command that may run preemptively.
#pragma once

#include <cstdint>

void DiscoveryInit();
void DiscoveryShutdown();

// True when the plugin's resource files are open. Until that has once
// happened every call repeats the work (the platform questions only until
// all three answers are known); afterwards it answers at once, without a
// host call, until the next initialisation.
bool DiscoverEnvironment();

// What discovery knows now, for the tests; -1 for a value not known yet.
struct EnvironmentFacts {
  int32_t platform;  // 2 macOS, 3 Windows
  int32_t systemKind;
  int32_t machineKind;
  int32_t applicationType;
};
EnvironmentFacts CurrentEnvironment();
