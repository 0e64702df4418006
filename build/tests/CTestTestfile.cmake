# CMake generated Testfile for 
# Source directory: /work/main/tests
# Build directory: /work/main/build/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
add_test([=[unit]=] "/work/main/build/bin/lqm_tests" "--gtest_brief=1")
set_tests_properties([=[unit]=] PROPERTIES  WORKING_DIRECTORY "/work/main/build" _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;44;add_test;/work/main/tests/CMakeLists.txt;0;")
