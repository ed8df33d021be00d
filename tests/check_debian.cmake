# Checks the Debian packaging against the project: the newest entry of
# debian/changelog carries the project's version, and the symbols file lists
# each exported function and each version node (cmake/exports.txt) with the
# release that brought it, the node's own number. The package build itself
# (dpkg-gensymbols -c4) fails on a symbol added or lost; what it cannot see
# is a wrong first version, which would give programs a dependency on a
# library too old for them.
# Arguments: CHANGELOG, SYMBOLS, EXPORTS, VERSION, SOVERSION.
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${CHANGELOG} top LIMIT_COUNT 1)
if(NOT top MATCHES "^varo-uuid \\(([^)]+)\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the first line is not an entry of varo-uuid: '${top}'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG} is at version ${CMAKE_MATCH_1}, the project at ${VERSION}: "
    "add a changelog entry for ${VERSION}")
endif()

file(STRINGS ${EXPORTS} exports)
set(expected "")
foreach(entry IN LISTS exports)
  if(NOT entry MATCHES "^([A-Za-z0-9_]+)@@(VARO_UUID_([0-9.]+))$")
    message(FATAL_ERROR "${EXPORTS}: not name@@VARO_UUID_N: '${entry}'")
  endif()
  list(APPEND expected " ${CMAKE_MATCH_2}@${CMAKE_MATCH_2} ${CMAKE_MATCH_3}"
    " ${CMAKE_MATCH_1}@${CMAKE_MATCH_2} ${CMAKE_MATCH_3}")
endforeach()
list(REMOVE_DUPLICATES expected)
list(SORT expected)

file(STRINGS ${SYMBOLS} lines)
list(POP_FRONT lines header)
set(want_header "libvaro_uuid.so.${SOVERSION} libvaro-uuid${SOVERSION} #MINVER#")
if(NOT header STREQUAL want_header)
  message(FATAL_ERROR "${SYMBOLS}: the first line is '${header}', not '${want_header}'")
endif()
if(NOT "* Build-Depends-Package: libvaro-uuid-dev" IN_LIST lines)
  message(FATAL_ERROR "${SYMBOLS} lacks '* Build-Depends-Package: libvaro-uuid-dev'")
endif()
list(FILTER lines INCLUDE REGEX "^ ")
list(SORT lines)
if(NOT lines STREQUAL expected)
  list(JOIN lines "\n" got)
  list(JOIN expected "\n" want)
  message(FATAL_ERROR "${SYMBOLS} differs from ${EXPORTS}; its symbol lines are\n${got}\nand should be\n${want}")
endif()
