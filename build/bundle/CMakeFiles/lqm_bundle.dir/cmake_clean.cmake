file(REMOVE_RECURSE
  "../app/Plugins/VarnelFolioforge.bundle/Contents/Resources/manifest.json"
  "../app/Plugins/VarnelFolioforge.bundle/Contents/manifest.json"
  "CMakeFiles/lqm_bundle"
)

# Per-language clean rules from dependency scanning.
foreach(lang )
  include(CMakeFiles/lqm_bundle.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
