# Checks the shipped library: it exports exactly the listed functions, each
# in its symbol version node, needs only libc and libtirpc at run time, and
# references nothing that prints, aborts or belongs to the C++ runtime.
# Arguments: LIBRARY, EXPECTED (one name@@NODE a line), SANITIZED (sanitizer
# list).
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE defined COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" lines "${defined}")
set(exported "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]* +[TtWwDdBbRrVvi] +([^ ]+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)
file(STRINGS ${EXPECTED} expected)
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported symbols differ from ${EXPECTED}\n  exported: ${exported}\n  expected: ${expected}")
endif()

if(NOT SANITIZED)
  execute_process(COMMAND readelf -d ${LIBRARY} OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
  foreach(lib IN LISTS needed)
    if(NOT lib MATCHES "\\[(libc\\.so|libtirpc\\.so)")
      message(FATAL_ERROR "unexpected run-time dependency: ${lib}")
    endif()
  endforeach()
  if(NOT dynamic MATCHES "Library soname: \\[libvaro_uuid\\.so\\.1\\]")
    message(FATAL_ERROR "SONAME is not libvaro_uuid.so.1")
  endif()

  execute_process(COMMAND nm -D --undefined-only ${LIBRARY} OUTPUT_VARIABLE undefined COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" lines "${undefined}")
  foreach(line IN LISTS lines)
    # __cxa_finalize is the C library's own, for shared-object unloading.
    if(line MATCHES " (abort|exit|_exit|printf|fprintf|puts|fputs|perror|syslog|_Z[^ ]*|__cxa_[^f][^ ]*|__gxx_[^ ]*)(@.*)?$")
      message(FATAL_ERROR "the library must not reference ${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()
message(STATUS "${LIBRARY}: ${exported}")
