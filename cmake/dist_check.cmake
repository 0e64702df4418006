# The `dist` test (cmake -P): packs the zip with dist_zip.cmake into the build
# folder, then checks
#   - its file list: entry for entry for the install notes, reference, sample
#     project, licence and change log; for both copies of the bundle, the
#     files 4D needs plus whatever else the built bundle holds, byte for byte;
#   - that every relative Markdown link resolves inside the zip and that no
#     shipped text names the development host (lqm-host);
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
set(unpacked ${OUTPUT}.unpacked)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${OUTPUT} WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${OUTPUT}")
endif()

# Everything but the bundle, exactly.
set(demo examples/VarnelFolioforgeDemo)
set(expected CHANGELOG.md INSTALL.md LICENSE.txt docs/commands.md ${demo}/README.md
  ${demo}/Project/VarnelFolioforgeDemo.4DProject)
foreach(method Example_CRCOfDocument Example_FormatPopup Example_LZWTiffStrip Example_PrintSession
    Example_SealText LQM_SelfTest SelfTest_Expect)
  list(APPEND expected ${demo}/Project/Sources/Methods/${method}.4dm)
endforeach()
set(shipped ${listing})
list(FILTER shipped EXCLUDE REGEX "^(${demo}/Plugins/)?VarnelFolioforge\\.bundle/")
list(SORT shipped)
list(SORT expected)
if(NOT shipped STREQUAL expected)
  string(REPLACE ";" "\n  " shown_listing "${shipped}")
  string(REPLACE ";" "\n  " shown_expected "${expected}")
  string(APPEND failures "file list differs\n--- expected ---\n  ${shown_expected}\n--- in the zip ---\n  ${shown_listing}\n")
endif()

# The bundle, twice (at the top, and in the sample project's Plugins folder):
# the files 4D needs, and byte for byte whatever else the built bundle holds.
set(needed Info.plist manifest.json ${PLUGIN_SUBDIR}/${PLUGIN_FILE} Windows64/VarnelFolioforge.rsr
  Resources/manifest.json Resources/constants.xlf Resources/VarnelFolioforge.rsrc
  Resources/English.lproj/Localized.rsrc)
list(TRANSFORM needed PREPEND Contents/)
file(GLOB_RECURSE built RELATIVE ${BUNDLE_DIR} ${BUNDLE_DIR}/*)
foreach(copy "" "${demo}/Plugins/")
  set(packed ${listing})
  list(FILTER packed INCLUDE REGEX "^${copy}VarnelFolioforge\\.bundle/")
  list(TRANSFORM packed REPLACE "^${copy}VarnelFolioforge\\.bundle/" "")
  foreach(file ${needed} ${built})
    if(NOT file IN_LIST packed)
      string(APPEND failures "${copy}VarnelFolioforge.bundle/${file} is missing\n")
    endif()
  endforeach()
  foreach(file ${packed})
    file(SHA256 ${unpacked}/${copy}VarnelFolioforge.bundle/${file} packed_hash)
    if(EXISTS ${BUNDLE_DIR}/${file})
      file(SHA256 ${BUNDLE_DIR}/${file} built_hash)
    endif()
    if(NOT EXISTS ${BUNDLE_DIR}/${file} OR NOT packed_hash STREQUAL built_hash)
      string(APPEND failures "${copy}VarnelFolioforge.bundle/${file} is not the built bundle's file\n")
    endif()
  endforeach()
endforeach()

# --- what the shipped texts point at -----------------------------------------
# Every relative Markdown link resolves inside the zip, and nothing names the
# development host, which is not shipped. Two files still do, both written
# elsewhere: the reference's introduction (from its generator) and the change
# log's history; an entry here fails once its file no longer names the host.
set(names_host_still CHANGELOG.md)
foreach(name ${shipped})
  file(READ ${unpacked}/${name} text)
  string(FIND "${text}" "lqm-host" at)
  if(at GREATER -1 AND NOT name IN_LIST names_host_still)
    string(APPEND failures "${name} names lqm-host, which the zip does not hold\n")
  elseif(at EQUAL -1 AND name IN_LIST names_host_still)
    string(APPEND failures "${name} no longer names lqm-host: drop it from names_host_still\n")
  endif()
  if(NOT name MATCHES "\\.md$")
    continue()
  endif()
  get_filename_component(dir ${unpacked}/${name} DIRECTORY)
  string(REGEX MATCHALL "\\]\\([^)]*\\)" links "${text}")
  foreach(link ${links})
    string(REGEX REPLACE "^\\]\\(([^ #)]*).*$" "\\1" target "${link}")
    if(target STREQUAL "" OR target MATCHES "^(https?|mailto):")
      continue()
    endif()
    cmake_path(ABSOLUTE_PATH target BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE resolved)
    string(FIND "${resolved}" "${unpacked}/" inside)
    if(NOT inside EQUAL 0 OR NOT EXISTS ${resolved})
      string(APPEND failures "${name}: link ${target} does not resolve inside the zip\n")
    endif()
  endforeach()
endforeach()

# --- the version, everywhere -------------------------------------------------
get_filename_component(zip_name ${OUTPUT} NAME)
if(NOT zip_name MATCHES "^VarnelFolioforge-(.+)\\.zip$")
  message(FATAL_ERROR "unexpected zip name ${zip_name}")
endif()
set(version ${CMAKE_MATCH_1})
if(NOT version STREQUAL VERSION)
  string(APPEND failures "zip name has version ${version}, the project ${VERSION}\n")
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
