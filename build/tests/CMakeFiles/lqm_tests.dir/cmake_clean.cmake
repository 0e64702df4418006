file(REMOVE_RECURSE
  "../bin/lqm_tests"
  "../bin/lqm_tests.pdb"
  "CMakeFiles/lqm_tests.dir/support/main.cpp.o"
  "CMakeFiles/lqm_tests.dir/support/main.cpp.o.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm_tests.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
