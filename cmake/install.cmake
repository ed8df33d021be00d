# Installation: the shared and the static library, the public headers, the
# tool, a CMake package (varo_uuid::varo_uuid, varo_uuid::varo_uuid_static)
# and a pkg-config file.
include(CMakePackageConfigHelpers)

set(VARO_UUID_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/varo_uuid)

install(TARGETS varo_uuid varo_uuid_static EXPORT varo_uuid_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT varo_uuid_targets
  NAMESPACE varo_uuid::
  FILE varo_uuid_targets.cmake
  DESTINATION ${VARO_UUID_CMAKE_DIR})

configure_package_config_file(cmake/varo_uuidConfig.cmake.in
  ${PROJECT_BINARY_DIR}/varo_uuidConfig.cmake
  INSTALL_DESTINATION ${VARO_UUID_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/varo_uuidConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/varo_uuidConfig.cmake
  ${PROJECT_BINARY_DIR}/varo_uuidConfigVersion.cmake
  DESTINATION ${VARO_UUID_CMAKE_DIR})

# The .pc file finds its prefix from its own place, so an install with
# `cmake --install --prefix` elsewhere still works. A distribution's package
# knows its prefix and sets VARO_UUID_PKGCONFIG_RELOCATABLE=OFF: with the
# plain prefix, pkg-config recognises /usr/include and the multiarch library
# directory and leaves them out of the flags, instead of handing out
# -I/usr/lib/<triplet>/pkgconfig/../../../include and its -L twin, which
# would put the system directories ahead of a consumer's own.
option(VARO_UUID_PKGCONFIG_RELOCATABLE "The .pc file finds its prefix from its own place" ON)
if(VARO_UUID_PKGCONFIG_RELOCATABLE)
  file(RELATIVE_PATH up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" up "${up}")
  set(VARO_UUID_PC_PREFIX "\${pcfiledir}/${up}")
else()
  set(VARO_UUID_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
endif()
configure_file(cmake/varo_uuid.pc.in ${PROJECT_BINARY_DIR}/varo_uuid.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/varo_uuid.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
