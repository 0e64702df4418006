# Checks that no 256- or 512-bit value is moved to or from the stack with an
# instruction that needs an aligned address. The Windows compiler keeps the
# stack 16-byte aligned only, so an aligned 32- or 64-byte move of a spilled
# vector faults whenever the slot happens to sit off its boundary; unaligned
# moves and VEX memory operands are safe. Run on the Windows .4DX (on Linux
# the compiler realigns the stack, so the check would prove nothing).
#   cmake -DPLUGIN=path -DOBJDUMP=tool -P check_vector_stack.cmake
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${PLUGIN} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]*%[yz]mm[^\n]*" vector_lines "${listing}")
list(LENGTH vector_lines vector_count)
if(vector_count EQUAL 0)
  message(FATAL_ERROR "no 256- or 512-bit instruction in ${PLUGIN}: the vector kernels are missing")
endif()
set(faulting "")
foreach(line ${vector_lines})
  if(line MATCHES "vmov(dqa|dqa32|dqa64|aps|apd|ntdq|ntdqa|ntps|ntpd)[ \t]" AND line MATCHES "\\(%r[sb]p")
    string(STRIP "${line}" line)
    list(APPEND faulting "${line}")
  endif()
endforeach()
if(faulting)
  list(JOIN faulting "\n  " shown)
  message(FATAL_ERROR "aligned vector moves through the stack (a spill that can fault):\n  ${shown}")
endif()
message(STATUS "${vector_count} vector instructions, none an aligned move through the stack")
