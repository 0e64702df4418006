file(REMOVE_RECURSE
  "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.o"
  "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.o"
  "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.o"
  "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.o"
  "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.o"
  "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.o"
  "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.o"
  "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.o"
  "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/frame/state.cpp.o"
  "CMakeFiles/lqm_core.dir/src/frame/state.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.o"
  "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.o"
  "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/host/texts.cpp.o"
  "CMakeFiles/lqm_core.dir/src/host/texts.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.o"
  "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.o.d"
  "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.o"
  "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.o.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
