file(REMOVE_RECURSE
  "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/codecs/base64.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/codecs/byte_order.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/codecs/crc.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/codecs/crc.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/codecs/envelope.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/codecs/tea.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/frame/dispatch.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/frame/entry.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/frame/state.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/frame/state.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/host/host_calls.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/host/named_commands.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/host/texts.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/host/texts.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/resources/resource_commands.cpp.obj.d"
  "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.obj"
  "CMakeFiles/lqm_core.dir/src/resources/resource_readers.cpp.obj.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
