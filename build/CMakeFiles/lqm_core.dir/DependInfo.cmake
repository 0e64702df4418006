
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/src/codecs/base64.cpp" "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.o.d"
  "/work/main/src/codecs/byte_order.cpp" "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.o.d"
  "/work/main/src/codecs/envelope.cpp" "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.o.d"
  "/work/main/src/codecs/tea.cpp" "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.o.d"
  "/work/main/src/frame/discovery.cpp" "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.o.d"
  "/work/main/src/frame/dispatch.cpp" "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.o.d"
  "/work/main/src/frame/entry.cpp" "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.o.d"
  "/work/main/src/frame/plugin_heap.cpp" "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.o.d"
  "/work/main/src/frame/state.cpp" "CMakeFiles/lqm_core.dir/src/frame/state.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/frame/state.cpp.o.d"
  "/work/main/src/host/host_calls.cpp" "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.o.d"
  "/work/main/src/host/named_commands.cpp" "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.o.d"
  "/work/main/src/host/texts.cpp" "CMakeFiles/lqm_core.dir/src/host/texts.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/host/texts.cpp.o.d"
  "/work/main/src/resources/resource_commands.cpp" "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.o.d"
  "/work/main/src/resources/resource_readers.cpp" "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.o" "gcc" "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
