file(REMOVE_RECURSE
  "lib/liblqm_core_static.a"
  "lib/liblqm_core_static.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/lqm_core_static.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
