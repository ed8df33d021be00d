# Compares the shipped library with the checked-in ABI of an earlier release
# (abidw output) and fails on anything but additions: a removed or changed
# function, type or variable of that release breaks its callers.
# Arguments: ABIDIFF, BASELINE, LIBRARY, HEADERS (the public headers' folder).
execute_process(COMMAND ${ABIDIFF} --headers-dir2 ${HEADERS} ${BASELINE} ${LIBRARY}
  RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE errors)
message("${report}${errors}")
# abidiff's status is a set of bits: 1 error, 2 usage error, 4 some change,
# 8 an incompatible change.
if(NOT status MATCHES "^[0-9]+$")
  message(FATAL_ERROR "abidiff did not run: ${status}")
endif()
math(EXPR broken "${status} & 11")
if(broken)
  message(FATAL_ERROR "abidiff status ${status}: an error or an incompatible change")
endif()
# With status 4, every line must belong to an addition.
string(REGEX MATCHALL "[^\n]+" lines "${report}")
foreach(line IN LISTS lines)
  if(line MATCHES "summary: 0 Removed(, 0 Changed)?(, [0-9]+ Added [a-z ]+)?$"
     OR line MATCHES "^ *[0-9]+ Added (function|variable)s?( symbols? not referenced by debug info)?:$"
     OR line MATCHES "^ *\\[A\\] ")
    continue()
  endif()
  message(FATAL_ERROR "not an addition: ${line}")
endforeach()
