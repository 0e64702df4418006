# Checks that no 256- or 512-bit value is moved to or from the stack with an
# instruction that needs an aligned address. The Windows compiler keeps the
# stack 16-byte aligned only, so an aligned 32- or 64-byte move of a spilled
# vector faults whenever the slot happens to sit off its boundary; unaligned
# moves and VEX memory operands are safe. The 128-bit kernels (TEA lanes,
# CRC folding, SSSE3 Base64) are held to more: no value of theirs goes
# through the stack at all. Run on the
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
if(faulting)
  list(JOIN faulting "\n  " shown)
  message(FATAL_ERROR "aligned vector moves through the stack (a spill that can fault):\n  ${shown}")
endif()
# The 128-bit kernels (SSE level) cannot fault that way, but they are sized
# to keep every value in registers: a vector register there may meet the
# stack only when the Windows calling convention saves xmm6-xmm15 on entry
# and restores them on exit, once each.
string(REGEX MATCHALL "<[^>\n]*(RunSse|FoldClmul|Ssse3)[^>\n]*>:\n([^\n]+\n)*" narrow_kernels "${listing}")
if(NOT narrow_kernels)
  message(FATAL_ERROR "no 128-bit kernel (RunSse, FoldClmul, *Ssse3) found by name in ${PLUGIN}")
endif()
set(spilled "")
foreach(kernel ${narrow_kernels})
  string(REGEX MATCH "^<[^>]*>" name "${kernel}")
  string(REGEX MATCHALL "[^\n]*%xmm[0-9]+[^\n]*\\(%r[sb]p\\)[^\n]*|[^\n]*\\(%r[sb]p\\)[^\n]*%xmm[0-9]+[^\n]*" touches "${kernel}")
  set(seen "")
  foreach(line ${touches})
    if(line MATCHES "movu?(ps|aps|dqu|dqa)[ \t]+%xmm([6-9]|1[0-5]),[^,]*\\(%rsp\\)$")
      set(move "save${CMAKE_MATCH_2}")
    elseif(line MATCHES "movu?(ps|aps|dqu|dqa)[ \t]+[^,]*\\(%rsp\\),%xmm([6-9]|1[0-5])$")
      set(move "restore${CMAKE_MATCH_2}")
    else()
      set(move "")
    endif()
    list(FIND seen "${move}" earlier)
    if(move STREQUAL "" OR NOT earlier EQUAL -1)
      string(STRIP "${line}" line)
      list(APPEND spilled "${name} ${line}")
    endif()
    list(APPEND seen ${move})
  endforeach()
endforeach()
if(spilled)
  list(JOIN spilled "\n  " shown)
  message(FATAL_ERROR "128-bit kernels keep vector values on the stack:\n  ${shown}")
endif()
list(LENGTH narrow_kernels narrow_count)
message(STATUS "${vector_count} vector instructions, none an aligned move through the stack; "
               "${narrow_count} 128-bit kernels without spills")
