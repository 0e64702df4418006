// The codec tests' entry for the big-endian run. The machine's byte order is
// a compile-time constant of the plugin (base/byte_order.h), so the tests
// need no initialisation first: the s390x build simply compiles the other
// order in.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
