# Compiles tests/cpp_literal.cpp once per case (-fsyntax-only): case 0, a
# canonical text literal, must compile; cases 1 to 3, literals that are not
# canonical, must fail in the check of uuid_value's compile-time
# constructor; cases 4 (an RFC form) and 5 (a text that is not a constant)
# must fail too.
# Arguments: CXX, SOURCE, INCLUDES (directories separated by "|").
string(REPLACE "|" ";" dirs "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS dirs)
  list(APPEND flags -I${dir})
endforeach()

foreach(case RANGE 0 5)
  # clang 14 lets a consteval constructor take a text that is not a
  # constant (fixed in later clang); only gcc holds case 5 to it.
  if(case EQUAL 5 AND CXX MATCHES "clang")
    message(STATUS "case 5: not checked with clang")
    continue()
  endif()
  execute_process(COMMAND ${CXX} ${flags} -DVARO_TEST_CASE=${case} ${SOURCE}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(case EQUAL 0)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "case 0, a canonical literal, does not compile:\n${out}")
    endif()
  elseif(status EQUAL 0)
    message(FATAL_ERROR "case ${case} compiles")
  elseif(case LESS_EQUAL 3 AND NOT out MATCHES "not_a_canonical_identifier_text")
    message(FATAL_ERROR "case ${case} fails for another reason:\n${out}")
  else()
    message(STATUS "case ${case}: refused")
  endif()
endforeach()
