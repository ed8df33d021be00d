# The one definition of the library's code, from which every variant is made
# with the same sources and the same compile flags:
#   varo_uuid             the shipped shared library (VERSIONED)
#   varo_uuid_objects     the objects of the shipped static library, which
#                         CMakeLists.txt links into one relocatable object
#   varo_uuid_internal    a static copy for tests, fuzzers and benchmarks
#                         (FAULT_INJECTION): it reaches the internal functions
#                         and carries the fault seam
#   varo_uuid_unversioned the shared library without symbol versions, for the
#                         test of a program of 1.0 (tests/CMakeLists.txt)
#   varo_uuid_internal_fuzz the internal copy, instrumented (fuzz/CMakeLists.txt)
include(${CMAKE_CURRENT_LIST_DIR}/version_script.cmake)
include(CheckIPOSupported)
check_ipo_supported(RESULT varo_uuid_ipo LANGUAGES CXX)

# Sources compiled for one instruction set, with its flags. Only the units
# that the kernel chooser (uuid/kernels.h) guards may be listed here.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  set(VARO_UUID_ISA_SOURCES uuid/kernels_x86.cpp)
  set(VARO_UUID_ISA_FLAGS -mavx2)
endif()

# varo_uuid_add_library(<name> SHARED|STATIC|OBJECT [VERSIONED] [FAULT_INJECTION])
function(varo_uuid_add_library name kind)
  cmake_parse_arguments(arg "VERSIONED;FAULT_INJECTION" "" "" ${ARGN})
  list(TRANSFORM VARO_UUID_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  if(arg_FAULT_INJECTION)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/platform/fault.cpp
      ${PROJECT_SOURCE_DIR}/platform/random/testing.cpp)
  endif()
  add_library(${name} ${kind} ${sources})
  foreach(source IN LISTS VARO_UUID_ISA_SOURCES)
    set_source_files_properties(${PROJECT_SOURCE_DIR}/${source} TARGET_DIRECTORY ${name}
      PROPERTIES COMPILE_OPTIONS "${VARO_UUID_ISA_FLAGS}")
  endforeach()
  target_include_directories(${name}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/uuid/include>
           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${PROJECT_SOURCE_DIR})
  # Calls between the library's own exported functions go direct, not
  # through the PLT: nobody interposes them.
  target_compile_options(${name} PRIVATE -fno-exceptions -fno-rtti -fno-semantic-interposition -fno-plt)
  # Each function starts on a cache line. A call here does a few
  # nanoseconds of work, and where its first instructions fall shows in
  # that: xdr_encode_varo_uuid_t moved by 0.5 ns (4%) with the placement
  # that the name-based code gave it.
  target_compile_options(${name} PRIVATE -falign-functions=64)
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PUBLIC PkgConfig::TIRPC PRIVATE PkgConfig::NETTLE varo_uuid_warnings)
  if(arg_FAULT_INJECTION)
    # Tests reach the internal headers and the seam.
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/uuid ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PUBLIC VARO_UUID_FAULT_INJECTION)
  endif()
  if(kind STREQUAL "SHARED")
    # Only the functions marked VARO_UUID_API are visible, and the library
    # needs nothing of the C++ runtime, so it links as C.
    set_target_properties(${name} PROPERTIES
      OUTPUT_NAME varo_uuid
      SOVERSION ${VARO_UUID_SOVERSION}
      LINKER_LANGUAGE C)
    target_link_options(${name} PRIVATE
      -Wl,--as-needed -Wl,-z,nodelete -Wl,-z,relro -Wl,-z,now -Wl,--exclude-libs,ALL)
    if(NOT VARO_UUID_SANITIZE)
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    # Generation crosses the identifier core, the GUID service and the
    # random source: link-time optimisation lets those calls fold together.
    if(varo_uuid_ipo AND NOT VARO_UUID_SANITIZE)
      set_target_properties(${name} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
    endif()
  endif()
  if(arg_VERSIONED)
    varo_uuid_version_script(${name})
  endif()
endfunction()
