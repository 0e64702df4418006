file(REMOVE_RECURSE
  "app/Plugins/VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.4DX"
  "app/Plugins/VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.pdb"
  "lib/libVarnelFolioforge.dll.a"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/VarnelFolioforge.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
