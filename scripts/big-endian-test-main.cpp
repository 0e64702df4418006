// The codec tests' entry for the big-endian run: initialises the plugin
// first, as 4D always does before any command, so that gHostBigEndian holds
// the machine's byte order (the codec tests on x86-64 rely on its default,
// false, which is right there and wrong on s390x).
#include <gtest/gtest.h>

#include "frame/state.h"

int main(int argc, char** argv) {
  PluginInit();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
