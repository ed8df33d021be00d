# Stops configuration, with a message that says why and what to do, where
# the chosen options cannot build: better here than an undefined symbol at
# link time.
include(CheckCXXSourceCompiles)

# Sets `result` when a C++ program builds and links with `flags` on both the
# compile and the link line. The flags are part of the cached result's name,
# so changing an option checks again.
function(varo_uuid_check_flags result flags source)
  string(MAKE_C_IDENTIFIER "VARO_UUID_LINKS_${flags}" cached)
  set(CMAKE_REQUIRED_FLAGS "${flags}")
  separate_arguments(CMAKE_REQUIRED_LINK_OPTIONS UNIX_COMMAND "${flags}")
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${source}" ${cached})
  set(${result} ${${cached}} PARENT_SCOPE)
endfunction()

if(VARO_UUID_SANITIZE)
  varo_uuid_check_flags(sanitize_links "-fsanitize=${VARO_UUID_SANITIZE}" "int main() { return 0; }")
  if(NOT sanitize_links)
    message(FATAL_ERROR
      "VARO_UUID_SANITIZE=${VARO_UUID_SANITIZE}: ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} "
      "cannot build and link a program with -fsanitize=${VARO_UUID_SANITIZE}. "
      "Use address,undefined or thread, and install the compiler's sanitizer runtime.")
  endif()
endif()

if(VARO_UUID_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR
      "VARO_UUID_BUILD_FUZZERS=ON needs clang (libFuzzer); the C++ compiler is "
      "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}. Use the fuzz preset, or configure a new "
      "build folder with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++. "
      "With any compiler, the tests replay the fuzz targets' seed corpora.")
  endif()
  if(VARO_UUID_SANITIZE MATCHES "thread|memory")
    message(FATAL_ERROR
      "VARO_UUID_BUILD_FUZZERS=ON cannot be combined with VARO_UUID_SANITIZE=${VARO_UUID_SANITIZE}: "
      "the fuzzers run under AddressSanitizer, which excludes ThreadSanitizer and MemorySanitizer. "
      "Leave VARO_UUID_SANITIZE empty or set it to address,undefined.")
  endif()
  varo_uuid_check_flags(fuzzer_links "-fsanitize=fuzzer,address,undefined"
    "#include <cstddef>\nextern \"C\" int LLVMFuzzerTestOneInput(const unsigned char *, std::size_t) { return 0; }")
  if(NOT fuzzer_links)
    message(FATAL_ERROR
      "VARO_UUID_BUILD_FUZZERS=ON: ${CMAKE_CXX_COMPILER} cannot link a libFuzzer program with "
      "-fsanitize=fuzzer,address,undefined. Install clang's runtime (Debian: libclang-rt-14-dev).")
  endif()
endif()
