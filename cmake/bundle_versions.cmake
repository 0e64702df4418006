# Prints what a built Windows bundle says about its version and product, one
# `name=value` line each, for checking a release by eye and for the test
# plugin_version_resource (cmake -P):
#   cmake -DPLUGIN=<bundle>/Contents/Windows64/VarnelFolioforge.4DX -P bundle_versions.cmake
# (WINDRES, the resource compiler, and CONTENTS, the bundle's Contents folder,
# may be given; by default mingw-w64's windres and the folder above PLUGIN's).
# The .4DX's version resource is read back from the PE file itself (windres
# decompiles its resource section): FILEVERSION and PRODUCTVERSION as dotted
# numbers, then every string value. After it come the version of both
# manifest.json files and Info.plist's version and name keys.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED PLUGIN)
  message(FATAL_ERROR "bundle_versions.cmake needs PLUGIN")
endif()
if(NOT WINDRES)
  set(WINDRES x86_64-w64-mingw32-windres)
endif()
if(NOT CONTENTS)
  get_filename_component(CONTENTS ${PLUGIN}/../.. ABSOLUTE)
endif()

execute_process(COMMAND ${WINDRES} -J coff -i ${PLUGIN} -O rc
  OUTPUT_VARIABLE rc ERROR_VARIABLE rc_errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT rc MATCHES "VERSIONINFO")
  message(FATAL_ERROR "${PLUGIN} has no version resource: ${rc_errors}")
endif()
set(facts "")
foreach(key FILEVERSION PRODUCTVERSION)
  if(rc MATCHES "\n *${key} ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)")
    string(APPEND facts "${key}=${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}\n")
  endif()
endforeach()
string(REGEX MATCHALL "VALUE \"[A-Za-z]+\", \"[^\"]*\"" values "${rc}")
foreach(value ${values})
  string(REGEX REPLACE "VALUE \"([A-Za-z]+)\", \"([^\"]*)\"" "\\1=\\2\n" value "${value}")
  string(APPEND facts "${value}")
endforeach()

foreach(manifest manifest.json Resources/manifest.json)
  file(READ ${CONTENTS}/${manifest} json)
  string(JSON version ERROR_VARIABLE ignored GET "${json}" version)
  string(APPEND facts "${manifest}=${version}\n")
endforeach()
file(READ ${CONTENTS}/Info.plist plist)
foreach(key CFBundleShortVersionString CFBundleVersion CFBundleName)
  if(plist MATCHES "<key>${key}</key>[ \t\r\n]*<string>([^<]*)</string>")
    string(APPEND facts "${key}=${CMAKE_MATCH_1}\n")
  endif()
endforeach()
# Standard output, not message(), so that the lines are easy to take apart.
execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${facts}")
