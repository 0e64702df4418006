# The include test: every #include "folder/..." under src/ must be an edge
# that docs/architecture.md allows (its ```layers block). Run as
#   cmake -DSOURCE_DIR=<checkout> -P check_layers.cmake
# It first checks a small tree of its own with one upward include and fails
# if that tree passes, so a checker that lets everything through is caught.
cmake_minimum_required(VERSION 3.25)

# The folder key of a source file: its folder under src/, with the codec
# commands apart from the codec kernels.
function(layer_of file out)
  string(REGEX MATCH "src/([a-z]+)/([^/]+)$" _ "${file}")
  set(folder "${CMAKE_MATCH_1}")
  if(folder STREQUAL "codecs" AND CMAKE_MATCH_2 MATCHES "_commands\\.")
    set(folder "codecs-commands")
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

# Reads the allowed edges; sets allowed_<folder> lists in the caller.
function(read_edges doc)
  file(READ "${doc}" text)
  string(REGEX MATCH "```layers\n([^`]*)```" _ "${text}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "${doc}: no ```layers block")
  endif()
  string(REPLACE "\n" ";" lines "${CMAKE_MATCH_1}")
  set(folders "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([a-z-]+) *->(.*)$")
      set(from "${CMAKE_MATCH_1}")
      string(STRIP "${CMAKE_MATCH_2}" targets)
      string(REPLACE " " ";" targets "${targets}")
      list(FILTER targets EXCLUDE REGEX "^$")
      list(APPEND folders ${from})
      set(allowed_${from} ${targets} PARENT_SCOPE)
    endif()
  endforeach()
  set(layer_folders ${folders} PARENT_SCOPE)
endfunction()

# Counts the includes of `root`/src that read_edges did not allow.
function(check_tree root out_count out_report)
  file(GLOB_RECURSE sources "${root}/src/*.h" "${root}/src/*.cpp" "${root}/src/*.def")
  set(count 0)
  set(report "")
  foreach(file IN LISTS sources)
    layer_of("${file}" from)
    if(NOT from IN_LIST layer_folders)
      math(EXPR count "${count} + 1")
      string(APPEND report "  ${file}: folder '${from}' has no row in the layers block\n")
      continue()
    endif()
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "\"([a-z]+)/([^\"]+)\"" _ "${line}")
      layer_of("src/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}" to)
      if(to STREQUAL from OR to IN_LIST allowed_${from})
        continue()
      endif()
      math(EXPR count "${count} + 1")
      string(APPEND report "  ${file}: ${from} -> ${to} (${line})\n")
    endforeach()
  endforeach()
  set(${out_count} ${count} PARENT_SCOPE)
  set(${out_report} "${report}" PARENT_SCOPE)
endfunction()

read_edges("${SOURCE_DIR}/docs/architecture.md")

# The checker must refuse an upward include: host including the frame.
set(probe "${CMAKE_CURRENT_BINARY_DIR}/check_layers_probe")
file(REMOVE_RECURSE "${probe}")
file(WRITE "${probe}/src/host/probe.cpp" "#include \"host/host_calls.h\"\n#include \"frame/dispatch.h\"\n")
file(WRITE "${probe}/src/codecs/kernel.cpp" "#include \"base/plugin_heap.h\"\n#include \"host/parameters.h\"\n")
file(WRITE "${probe}/src/codecs/codec_commands.cpp" "#include \"host/parameters.h\"\n")
check_tree("${probe}" probe_count probe_report)
file(REMOVE_RECURSE "${probe}")
if(NOT probe_count EQUAL 2)
  message(FATAL_ERROR "the checker found ${probe_count} bad edges in its probe tree, not 2 "
                      "(host -> frame, codec kernel -> host):\n${probe_report}")
endif()

check_tree("${SOURCE_DIR}" count report)
if(count GREATER 0)
  message(FATAL_ERROR "${count} include(s) against the layers of docs/architecture.md:\n${report}")
endif()
message(STATUS "layers: every include under src/ follows docs/architecture.md")
