# Runs one scripted session: feeds INPUT to `COMMAND session` on standard
# input and compares standard output with EXPECTED byte for byte.
#   cmake -DCOMMAND=<lqm-host, or wine;lqm-host.exe> -DINPUT=NAME.in -DEXPECTED=NAME.out -P run_session.cmake
# Only standard output is compared: wine and the loader may write to stderr.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED COMMAND OR NOT DEFINED INPUT OR NOT DEFINED EXPECTED)
  message(FATAL_ERROR "run_session.cmake needs COMMAND, INPUT and EXPECTED")
endif()
execute_process(
  COMMAND ${COMMAND} session
  INPUT_FILE ${INPUT}
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lqm-host session exited with ${status}\n${errors}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "lqm-host session output differs from ${EXPECTED}\n"
                      "--- expected ---\n${expected}--- actual ---\n${actual}")
endif()
