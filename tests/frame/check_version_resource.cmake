# The .4DX's version resource, read back by cmake/bundle_versions.cmake, carries the project version
# as the manifests and Info.plist do, and Info.plist's product name. Takes PLUGIN, VERSION and NAME.
execute_process(COMMAND ${CMAKE_COMMAND} -DPLUGIN=${PLUGIN} -P ${CMAKE_CURRENT_LIST_DIR}/../../cmake/bundle_versions.cmake
  OUTPUT_VARIABLE facts RESULT_VARIABLE status)
string(REGEX REPLACE "(CompanyName|FileDescription|InternalName|LegalCopyright)=[^\n]+\n" "" facts "${facts}")  # if set
string(CONCAT expected "FILEVERSION=${VERSION}.0\nPRODUCTVERSION=${VERSION}.0\nFileVersion=${VERSION}\n"
  "OriginalFilename=${NAME}.4DX\nProductName=${NAME}\nProductVersion=${VERSION}\nmanifest.json=${VERSION}\n"
  "Resources/manifest.json=${VERSION}\nCFBundleShortVersionString=${VERSION}\nCFBundleVersion=${VERSION}\nCFBundleName=${NAME}\n")
if(NOT status EQUAL 0 OR NOT facts STREQUAL expected)
  message(FATAL_ERROR "expected:\n${expected}found:\n${facts}")
endif()
