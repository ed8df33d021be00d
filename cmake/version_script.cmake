# Symbol versions, one node per release that added functions, from
# cmake/exports.txt ("name@@NODE" a line, oldest node first): each node names
# the one before it, and nothing else leaves the library. A node, once
# released, never changes.
#
# varo_uuid_version_script(<target>): writes varo_uuid.map into the build
# tree and links <target> with it.
function(varo_uuid_version_script target)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/exports.txt exports)
  set(nodes "")
  foreach(entry IN LISTS exports)
    if(NOT entry MATCHES "^([A-Za-z0-9_]+)@@([A-Z0-9_.]+)$")
      message(FATAL_ERROR "cmake/exports.txt: not name@@NODE: '${entry}'")
    endif()
    string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_2}" node_key)
    if(NOT CMAKE_MATCH_2 IN_LIST nodes)
      list(APPEND nodes ${CMAKE_MATCH_2})
    endif()
    string(APPEND names_${node_key} "    ${CMAKE_MATCH_1};\n")
  endforeach()
  set(map "")
  set(previous_node "")
  foreach(node IN LISTS nodes)
    string(MAKE_C_IDENTIFIER "${node}" node_key)
    if(previous_node STREQUAL "")
      string(APPEND map "${node} {\n  global:\n${names_${node_key}}  local:\n    *;\n};\n")
    else()
      string(APPEND map "\n${node} {\n  global:\n${names_${node_key}}} ${previous_node};\n")
    endif()
    set(previous_node ${node})
  endforeach()
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/varo_uuid.map CONTENT "${map}")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/cmake/exports.txt)
  target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_BINARY_DIR}/varo_uuid.map)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_BINARY_DIR}/varo_uuid.map)
endfunction()
