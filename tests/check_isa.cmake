# Checks that AVX2 (VEX-encoded) instructions appear in the library only in
# the kernels that the chooser calls where the processor has AVX2, the
# functions named *_avx2. Any other function with such an instruction, for
# example an inline function instantiated in the unit compiled with -mavx2
# and kept by the linker for every caller, would die of SIGILL on a
# processor without AVX2.
# Arguments: OBJDUMP, LIBRARY.
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${LIBRARY}
  RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(function "")
set(kernels "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ <([^>]+)>:$")
    set(function "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^ *[0-9a-f]+:[ \t]+(v[a-z0-9]+)[ \t]")
    set(instruction "${CMAKE_MATCH_1}")
    if(function MATCHES "_avx2")
      list(APPEND kernels "${function}")
    else()
      message(FATAL_ERROR "${function} holds the AVX2 instruction ${instruction}")
    endif()
  endif()
endforeach()
list(REMOVE_DUPLICATES kernels)
list(LENGTH kernels count)
# The three kernels must be there, or the check proves nothing.
if(NOT count EQUAL 3)
  message(FATAL_ERROR "expected the three AVX2 kernels, found: ${kernels}")
endif()
