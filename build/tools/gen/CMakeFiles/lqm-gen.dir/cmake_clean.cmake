file(REMOVE_RECURSE
  "../../bin/lqm-gen"
  "../../bin/lqm-gen.pdb"
  "CMakeFiles/lqm-gen.dir/main.cpp.o"
  "CMakeFiles/lqm-gen.dir/main.cpp.o.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm-gen.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
