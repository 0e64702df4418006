# Checks that no 256- or 512-bit value is moved to or from the stack with an
# instruction that needs an aligned address. The Windows compiler keeps the
# stack 16-byte aligned only, so an aligned 32- or 64-byte move of a spilled
# vector faults whenever the slot happens to sit off its boundary; unaligned
# moves and VEX memory operands are safe. The SSSE3 kernels are held to
# more: no 128-bit value of theirs goes through the stack at all. Run on the
# Windows .4DX (on Linux the compiler realigns the stack, so the check would
# prove nothing).
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
# The 128-bit kernels (SSSE3 Base64) must keep every value in a register:
# the only stores of an xmm register to the stack allowed are the prologue's
# single save of each callee-saved one (xmm6 to xmm15 on Windows).
string(REGEX MATCHALL "<[^>\n]*Ssse3[^>\n]*>:[^\n]*(\n[^\n]+)*" sse_functions "${listing}")
list(LENGTH sse_functions sse_count)
if(sse_count LESS 2)
  message(FATAL_ERROR "the SSSE3 Base64 kernels are missing from ${PLUGIN}")
endif()
foreach(function ${sse_functions})
  string(REGEX MATCHALL "[^\n]*mov[a-z]* +%xmm[0-9]+,[^\n]*\\(%r[sb]p\\)" stores "${function}")
  set(saved "")
  foreach(line ${stores})
    string(REGEX MATCH "%xmm[0-9]+" register "${line}")
    list(FIND saved "${register}" seen)
    if(NOT register MATCHES "^%xmm([6-9]|1[0-5])$" OR NOT seen EQUAL -1)
      string(STRIP "${line}" line)
      list(APPEND faulting "${line} (a 128-bit spill in an SSSE3 kernel)")
    endif()
    list(APPEND saved "${register}")
  endforeach()
endforeach()
if(faulting)
  list(JOIN faulting "\n  " shown)
  message(FATAL_ERROR "aligned vector moves through the stack (a spill that can fault):\n  ${shown}")
endif()
message(STATUS "${vector_count} vector instructions, none an aligned move through the stack; "
               "${sse_count} SSSE3 kernels without spills")
