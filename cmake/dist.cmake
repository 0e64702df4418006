# The distribution: dist/VarnelFolioforge-<version>.zip, made by the `dist`
# target from this build's bundle (the Windows build for the product, see the
# Makefile's `make dist`), with the command reference, the licence and the
# change log. Included from bundle/CMakeLists.txt, after the bundle's targets.
#
# The version has one source, the CMake project version: it reaches the "vers"
# resource and Info.plist through configure_file, manifest.json through
# lqm-gen, and the zip's name here. The test `dist` rebuilds the zip in the
# build folder and checks its file list and that all four agree.
set(LQM_DIST_ZIP_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/dist_zip.cmake)
set(LQM_DIST_ARGS
  -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
  -DBUNDLE_DIR=${LQM_APP_DIR}/Plugins/VarnelFolioforge.bundle
  -DPLUGIN_SUBDIR=${LQM_PLUGIN_SUBDIR}
  -DPLUGIN_FILE=${LQM_PLUGIN_FILE}
  -DVERSION=${PROJECT_VERSION})

# Only the Windows build makes the product in <source>/dist; a Linux build
# packs its own bundle (Linux64) into <build>/dist, for trying the layout.
if(WIN32)
  set(LQM_DIST_OUTPUT ${CMAKE_SOURCE_DIR}/dist/VarnelFolioforge-${PROJECT_VERSION}.zip)
else()
  set(LQM_DIST_OUTPUT ${CMAKE_BINARY_DIR}/dist/VarnelFolioforge-${PROJECT_VERSION}.zip)
endif()
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} ${LQM_DIST_ARGS} -DOUTPUT=${LQM_DIST_OUTPUT} -P ${LQM_DIST_ZIP_SCRIPT}
  DEPENDS lqm_bundle
  COMMENT "Packing ${LQM_DIST_OUTPUT}"
  VERBATIM)

if(LQM_BUILD_TESTS AND TARGET lqm-rescomp)
  enable_testing()
  lqm_tool_command(LQM_DIST_RESCOMP lqm-rescomp)
  string(REPLACE ";" "|" LQM_DIST_RESCOMP_LIST "${LQM_DIST_RESCOMP}")
  add_test(NAME dist
    COMMAND ${CMAKE_COMMAND} ${LQM_DIST_ARGS}
      -DOUTPUT=${CMAKE_BINARY_DIR}/dist-test/VarnelFolioforge-${PROJECT_VERSION}.zip
      "-DRESCOMP=${LQM_DIST_RESCOMP_LIST}"
      -P ${CMAKE_SOURCE_DIR}/cmake/dist_check.cmake)
endif()

# Signing (Windows): scripts/sign.sh signs the .4DX in the bundle before the
# zip is packed, when the Makefile passes SIGN_PFX and SIGN_PASSWORD_FILE
# (and SIGN_TIMESTAMP_URL) in the environment; otherwise it says the file
# goes unsigned. See docs/signing.md.
if(WIN32)
  add_custom_target(dist_sign
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign.sh ${LQM_BUNDLE_DIR}/${LQM_PLUGIN_SUBDIR}/${LQM_PLUGIN_FILE}
    DEPENDS lqm_bundle
    VERBATIM)
  add_dependencies(dist dist_sign)
endif()
