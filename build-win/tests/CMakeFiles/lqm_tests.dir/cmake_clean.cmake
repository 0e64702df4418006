file(REMOVE_RECURSE
  "../bin/lqm_tests.exe"
  "../bin/lqm_tests.pdb"
  "../lib/liblqm_tests.dll.a"
  "CMakeFiles/lqm_tests.dir/support/main.cpp.obj"
  "CMakeFiles/lqm_tests.dir/support/main.cpp.obj.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm_tests.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
