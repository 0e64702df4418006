file(REMOVE_RECURSE
  "../../bin/lqm-gen.exe"
  "../../bin/lqm-gen.pdb"
  "../../lib/liblqm-gen.dll.a"
  "CMakeFiles/lqm-gen.dir/main.cpp.obj"
  "CMakeFiles/lqm-gen.dir/main.cpp.obj.d"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm-gen.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
