# CMake generated Testfile for 
# Source directory: /work/main/tests
# Build directory: /work/main/build-win/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
add_test([=[unit]=] "/usr/bin/wine" "/work/main/build-win/bin/lqm_tests.exe" "--gtest_brief=1")
set_tests_properties([=[unit]=] PROPERTIES  WORKING_DIRECTORY "/work/main/build-win" _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;44;add_test;/work/main/tests/CMakeLists.txt;0;")
add_test([=[plugin_exports]=] "/usr/bin/cmake" "-DPLUGIN=/work/main/build-win/app/Plugins/VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.4DX" "-DOBJDUMP=/usr/bin/x86_64-w64-mingw32-objdump" "-DKIND=pe" "-P" "/work/main/tests/frame/check_exports.cmake")
set_tests_properties([=[plugin_exports]=] PROPERTIES  _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;80;add_test;/work/main/tests/CMakeLists.txt;0;")
subdirs("../googletest")
