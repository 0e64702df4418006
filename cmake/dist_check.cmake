# The `dist` test (cmake -P): packs the zip with dist_zip.cmake into the build
# folder, then checks
#   - its file list, entry for entry, against the bundle layout 4D expects
#     plus the reference, licence and change log;
#   - that the version agrees everywhere it is written: the zip's name, the
#     "vers" resource of the packed .rsr (read back by lqm-rescomp), both
#     manifest.json files and both version keys of Info.plist.
# Takes the arguments of dist_zip.cmake and RESCOMP (the lqm-rescomp command,
# "|"-separated when it runs under an emulator).
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR BUNDLE_DIR PLUGIN_SUBDIR PLUGIN_FILE VERSION OUTPUT RESCOMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "dist_check.cmake needs ${var}")
  endif()
endforeach()
string(REPLACE "|" ";" RESCOMP "${RESCOMP}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DBUNDLE_DIR=${BUNDLE_DIR}
    -DPLUGIN_SUBDIR=${PLUGIN_SUBDIR} -DPLUGIN_FILE=${PLUGIN_FILE} -DVERSION=${VERSION}
    -DOUTPUT=${OUTPUT} -P ${CMAKE_CURRENT_LIST_DIR}/dist_zip.cmake
  RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packing failed:\n${errors}")
endif()

set(failures "")

# --- the file list -----------------------------------------------------------
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${OUTPUT} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${OUTPUT}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(SORT listing)
set(expected
  CHANGELOG.md
  LICENSE.txt
  VarnelFolioforge.bundle/Contents/Info.plist
  VarnelFolioforge.bundle/Contents/Resources/English.lproj/Localized.rsrc
  VarnelFolioforge.bundle/Contents/Resources/VarnelFolioforge.rsrc
  VarnelFolioforge.bundle/Contents/Resources/manifest.json
  VarnelFolioforge.bundle/Contents/Resources/constants.xlf
  VarnelFolioforge.bundle/Contents/Windows64/VarnelFolioforge.rsr
  VarnelFolioforge.bundle/Contents/manifest.json
  docs/commands.md)
list(APPEND expected VarnelFolioforge.bundle/Contents/${PLUGIN_SUBDIR}/${PLUGIN_FILE})
list(SORT expected)
if(NOT listing STREQUAL expected)
  string(REPLACE ";" "\n  " shown_listing "${listing}")
  string(REPLACE ";" "\n  " shown_expected "${expected}")
  string(APPEND failures "file list differs\n--- expected ---\n  ${shown_expected}\n--- in the zip ---\n  ${shown_listing}\n")
endif()

# --- the version, everywhere -------------------------------------------------
get_filename_component(zip_name ${OUTPUT} NAME)
if(NOT zip_name MATCHES "^VarnelFolioforge-(.+)\\.zip$")
  message(FATAL_ERROR "unexpected zip name ${zip_name}")
endif()
set(version ${CMAKE_MATCH_1})
if(NOT version STREQUAL VERSION)
  string(APPEND failures "zip name has version ${version}, the project ${VERSION}\n")
endif()

set(unpacked ${OUTPUT}.unpacked)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${OUTPUT} WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${OUTPUT}")
endif()
set(contents ${unpacked}/VarnelFolioforge.bundle/Contents)

execute_process(COMMAND ${RESCOMP} dump ${contents}/Windows64/VarnelFolioforge.rsr vers 1
  OUTPUT_VARIABLE vers RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT vers MATCHES "short \"([^\"]*)\"")
  string(APPEND failures "no \"vers\" 1 resource in the packed .rsr\n")
else()
  set(vers_short ${CMAKE_MATCH_1})
  string(REGEX MATCH "number ([^\n]*)" ignored "${vers}")
  set(vers_number ${CMAKE_MATCH_1})
  foreach(found vers_short vers_number)
    if(NOT ${found} STREQUAL version)
      string(APPEND failures "\"vers\" resource (${found}) says ${${found}}, the zip ${version}\n")
    endif()
  endforeach()
endif()

foreach(manifest ${contents}/manifest.json ${contents}/Resources/manifest.json)
  file(READ ${manifest} json)
  string(JSON manifest_version ERROR_VARIABLE json_error GET "${json}" version)
  if(json_error OR NOT manifest_version STREQUAL version)
    string(APPEND failures "${manifest} has version '${manifest_version}', the zip ${version}\n")
  endif()
endforeach()

file(READ ${contents}/Info.plist plist)
foreach(key CFBundleShortVersionString CFBundleVersion)
  if(NOT plist MATCHES "<key>${key}</key>[ \t\r\n]*<string>([^<]*)</string>")
    string(APPEND failures "Info.plist has no ${key}\n")
  elseif(NOT CMAKE_MATCH_1 STREQUAL version)
    string(APPEND failures "Info.plist ${key} is ${CMAKE_MATCH_1}, the zip ${version}\n")
  endif()
endforeach()

file(REMOVE_RECURSE ${unpacked})
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${zip_name}: file list and version ${version} agree")
