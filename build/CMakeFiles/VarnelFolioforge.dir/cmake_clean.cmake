file(REMOVE_RECURSE
  "app/Plugins/VarnelFolioforge.bundle/Contents/Linux64/VarnelFolioforge.pdb"
  "app/Plugins/VarnelFolioforge.bundle/Contents/Linux64/VarnelFolioforge.so"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/VarnelFolioforge.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
