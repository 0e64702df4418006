# Packs the distribution zip (cmake -P; called by the `dist` target and the
# `dist` test):
#   cmake -DSOURCE_DIR=.. -DBUNDLE_DIR=<app>/Plugins/VarnelFolioforge.bundle
#         -DPLUGIN_SUBDIR=Windows64 -DPLUGIN_FILE=VarnelFolioforge.4DX
#         -DVERSION=1.0.0 -DOUTPUT=<dir>/VarnelFolioforge-1.0.0.zip -P dist_zip.cmake
# Ships the bundle, the install notes, the command reference, the sample 4D
# project, the licence and the change log.
# Entries carry a fixed date, so the same inputs give the same zip.
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR BUNDLE_DIR PLUGIN_SUBDIR PLUGIN_FILE VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "dist_zip.cmake needs ${var}")
  endif()
endforeach()

# The zip's entries, and where each comes from. The bundle goes in whole, as
# it is dropped into a 4D Plugins folder: once at the top and once in the
# sample project's Plugins folder, so the project opens ready to run. The
# sample project's own files are picked by kind (the project file, methods,
# its README), so what 4D writes beside them when the project is opened in
# place (DerivedData, Logs, preferences) stays out. The install notes are
# docs/install.md, shipped as INSTALL.md at the top.
set(demo examples/VarnelFolioforgeDemo)
set(install_notes ${SOURCE_DIR}/docs/install.md)
set(entries
  "INSTALL.md|${install_notes}"
  "docs/commands.md|${SOURCE_DIR}/docs/commands.md"
  "LICENSE.txt|${SOURCE_DIR}/LICENSE.txt"
  "CHANGELOG.md|${SOURCE_DIR}/CHANGELOG.md")
if(NOT EXISTS ${BUNDLE_DIR}/Contents/${PLUGIN_SUBDIR}/${PLUGIN_FILE})
  message(FATAL_ERROR "dist: ${BUNDLE_DIR} has no ${PLUGIN_SUBDIR}/${PLUGIN_FILE}; build the bundle first")
endif()
file(GLOB_RECURSE bundle_files RELATIVE ${BUNDLE_DIR} ${BUNDLE_DIR}/*)
foreach(file ${bundle_files})
  list(APPEND entries "VarnelFolioforge.bundle/${file}|${BUNDLE_DIR}/${file}"
    "${demo}/Plugins/VarnelFolioforge.bundle/${file}|${BUNDLE_DIR}/${file}")
endforeach()
file(GLOB_RECURSE demo_files RELATIVE ${SOURCE_DIR}/${demo}
  ${SOURCE_DIR}/${demo}/README.md ${SOURCE_DIR}/${demo}/Project/*.4DProject ${SOURCE_DIR}/${demo}/Project/Sources/*.4dm)
foreach(file ${demo_files})
  list(APPEND entries "${demo}/${file}|${SOURCE_DIR}/${demo}/${file}")
endforeach()

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
  file(MAKE_DIRECTORY ${to_dir})
  file(COPY_FILE ${from} ${stage}/${name})
  list(APPEND names ${name})
endforeach()
list(SORT names)

execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip "--mtime=2000-01-01 00:00:00 UTC" ${names}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE status)
file(REMOVE_RECURSE ${stage})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dist: packing ${OUTPUT} failed")
endif()
message(STATUS "Wrote ${OUTPUT}")
