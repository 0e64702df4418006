# Packs the distribution zip (cmake -P; called by the `dist` target and the
# `dist` test):
#   cmake -DSOURCE_DIR=.. -DBUNDLE_DIR=<app>/Plugins/VarnelFolioforge.bundle
#         -DPLUGIN_SUBDIR=Windows64 -DPLUGIN_FILE=VarnelFolioforge.4DX
#         -DVERSION=1.0.0 -DOUTPUT=<dir>/VarnelFolioforge-1.0.0.zip -P dist_zip.cmake
# The bundle goes in exactly as it is dropped into a 4D Plugins folder, file by
# file from a fixed list (so nothing stray from the build folder slips in).
# Entries carry a fixed date, so the same inputs give the same zip.
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR BUNDLE_DIR PLUGIN_SUBDIR PLUGIN_FILE VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "dist_zip.cmake needs ${var}")
  endif()
endforeach()

# The zip's entries, and where each comes from.
set(entries
  "VarnelFolioforge.bundle/Contents/Info.plist|${BUNDLE_DIR}/Contents/Info.plist"
  "VarnelFolioforge.bundle/Contents/manifest.json|${BUNDLE_DIR}/Contents/manifest.json"
  "VarnelFolioforge.bundle/Contents/${PLUGIN_SUBDIR}/${PLUGIN_FILE}|${BUNDLE_DIR}/Contents/${PLUGIN_SUBDIR}/${PLUGIN_FILE}"
  "VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.rsr|${BUNDLE_DIR}/Contents/Windows64/VarnelFolioforge.rsr"
  "VarnelFolioforge.bundle/Contents/Resources/manifest.json|${BUNDLE_DIR}/Contents/Resources/manifest.json"
  "VarnelFolioforge.bundle/Contents/Resources/constants.xlf|${BUNDLE_DIR}/Contents/Resources/constants.xlf"
  "VarnelFolioforge.bundle/Contents/Resources/VarnelFolioforge.rsrc|${BUNDLE_DIR}/Contents/Resources/VarnelFolioforge.rsrc"
  "VarnelFolioforge.bundle/Contents/Resources/English.lproj/Localized.rsrc|${BUNDLE_DIR}/Contents/Resources/English.lproj/Localized.rsrc"
  "docs/commands.md|${SOURCE_DIR}/docs/commands.md"
  "LICENSE.txt|${SOURCE_DIR}/LICENSE.txt"
  "CHANGELOG.md|${SOURCE_DIR}/CHANGELOG.md")

get_filename_component(out_dir ${OUTPUT} DIRECTORY)
set(stage ${OUTPUT}.stage)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${OUTPUT})
file(MAKE_DIRECTORY ${out_dir})
set(names)
foreach(entry ${entries})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 from)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "dist: ${from} is missing; build the bundle first")
  endif()
  get_filename_component(to_dir ${stage}/${name} DIRECTORY)
  file(COPY ${from} DESTINATION ${to_dir})
  list(APPEND names ${name})
endforeach()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip "--mtime=2000-01-01 00:00:00 UTC" ${names}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE status)
file(REMOVE_RECURSE ${stage})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dist: packing ${OUTPUT} failed")
endif()
message(STATUS "Wrote ${OUTPUT}")
