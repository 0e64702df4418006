# The `commands_md` test (cmake -P): regenerates the command reference into
# the build folder and fails when the committed docs/commands.md differs, so
# that a change to commands.def or command_docs.def cannot leave it stale.
#   cmake -DGEN=<lqm-gen, "|"-separated under an emulator> -DCOMMITTED=docs/commands.md
#         -DGENERATED=<build>/commands.md -P check_commands_md.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var GEN COMMITTED GENERATED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_commands_md.cmake needs ${var}")
  endif()
endforeach()
string(REPLACE "|" ";" GEN "${GEN}")
execute_process(COMMAND ${GEN} commands-md ${GENERATED} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lqm-gen commands-md failed (${status}):\n${errors}")
endif()
file(READ ${GENERATED} generated)
if(EXISTS ${COMMITTED})
  file(READ ${COMMITTED} committed)
else()
  set(committed "")
endif()
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "${COMMITTED} is stale: it differs from ${GENERATED}.\n"
                      "Regenerate it with: cmake --build <build folder> --target commands_md")
endif()
