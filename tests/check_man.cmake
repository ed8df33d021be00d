# Checks the manual pages: groff -man -ww finds nothing to warn about, each
# page carries the project's version (the pages in man/ are the pages
# themselves, not templates), the library page names every exported
# function, and the tool page every option of the tool's --help.
# Arguments: GROFF, LIBRARY_PAGE, TOOL_PAGE (may be empty), EXPORTS
# (cmake/exports.txt), TOOL (may be empty), VERSION (MAJOR.MINOR.PATCH).
foreach(page IN ITEMS ${LIBRARY_PAGE} ${TOOL_PAGE})
  execute_process(COMMAND ${GROFF} -man -ww -z ${page}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT "${out}${warnings}" STREQUAL "")
    message(FATAL_ERROR "groff -man -ww ${page} (status ${status}):\n${out}${warnings}")
  endif()
endforeach()

foreach(page IN ITEMS ${LIBRARY_PAGE} ${TOOL_PAGE})
  file(STRINGS ${page} title LIMIT_COUNT 1)
  if(NOT title MATCHES " \"varo_uuid ${VERSION}\" ")
    message(FATAL_ERROR "${page} is not the page of version ${VERSION}: ${title}")
  endif()
endforeach()
string(REPLACE "." ";" parts "${VERSION}")
foreach(part IN ITEMS MAJOR MINOR PATCH)
  list(POP_FRONT parts number)
  file(STRINGS ${LIBRARY_PAGE} line REGEX "VARO_UUID_VERSION_${part}")
  if(NOT line MATCHES "/\\* ${number} \\*/")
    message(FATAL_ERROR "${LIBRARY_PAGE}: VARO_UUID_VERSION_${part} is not ${number}: ${line}")
  endif()
endforeach()

# In the page source a minus is "\-"; compare with plain text.
file(READ ${LIBRARY_PAGE} library)
file(STRINGS ${EXPORTS} exports)
foreach(entry IN LISTS exports)
  string(REGEX REPLACE "@.*" "" name "${entry}")
  if(NOT library MATCHES "\\.BR ${name} \\(\\)")
    message(FATAL_ERROR "${LIBRARY_PAGE} does not describe ${name}()")
  endif()
endforeach()

if(TOOL_PAGE)
  file(READ ${TOOL_PAGE} tool_page)
  string(REPLACE "\\-" "-" tool_page "${tool_page}")
  execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "(^|[ \n])--?[a-z][a-z-]*" options "${help}")
  list(REMOVE_DUPLICATES options)
  foreach(option IN LISTS options)
    string(STRIP "${option}" option)
    if(NOT tool_page MATCHES "[ \n]${option}[ \n,]")
      message(FATAL_ERROR "${TOOL_PAGE} does not describe ${option}")
    endif()
  endforeach()
  message(STATUS "options: ${options}")
  if(NOT tool_page MATCHES "varo-uuid ${VERSION} \\(library ${VERSION}\\)")
    message(FATAL_ERROR "${TOOL_PAGE}: the --version example is not of ${VERSION}")
  endif()
endif()
