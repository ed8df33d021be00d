# Cross build for s390x, a 64-bit big-endian target, with Debian's cross
# compilers (g++-s390x-linux-gnu); programs built here run under qemu-user
# (qemu-user-static), so CTest runs the tests on the build machine.
#
# libtirpc and nettle for s390x come from a sysroot of unpacked Debian
# packages that scripts/s390x-sysroot makes: build/sysroot-s390x by default,
# or the folder named by VARO_UUID_S390X_SYSROOT. The C library and the compiler's run time
# are the cross toolchain's own, in /usr/s390x-linux-gnu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

if(NOT VARO_UUID_S390X_SYSROOT)
  set(VARO_UUID_S390X_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../../build/sysroot-s390x)
endif()
cmake_path(ABSOLUTE_PATH VARO_UUID_S390X_SYSROOT NORMALIZE OUTPUT_VARIABLE sysroot)
string(REGEX REPLACE "/$" "" sysroot "${sysroot}")
if(NOT EXISTS ${sysroot}/.complete)
  message(FATAL_ERROR "No s390x sysroot in ${sysroot}: make it with scripts/s390x-sysroot")
endif()
# Test compilations read this file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARO_UUID_S390X_SYSROOT)

# Libraries, headers and packages only from the target's folders; programs
# (rpcgen, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu ${sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the sysroot's .pc files and puts the sysroot in front
# of the paths they give.
set(ENV{PKG_CONFIG_LIBDIR} ${sysroot}/usr/lib/s390x-linux-gnu/pkgconfig:${sysroot}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${sysroot})

# libtirpc's own dependencies (Kerberos, OpenSSL) are in the sysroot: the
# linker looks there for them when it links against libtirpc, and the
# emulated dynamic loader looks there when the tests run.
set(sysroot_libs ${sysroot}/usr/lib/s390x-linux-gnu ${sysroot}/lib/s390x-linux-gnu)
foreach(dir IN LISTS sysroot_libs)
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,-rpath-link,${dir}")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,-rpath-link,${dir}")
endforeach()
find_program(VARO_UUID_QEMU_S390X qemu-s390x-static REQUIRED NO_CMAKE_FIND_ROOT_PATH)
list(JOIN sysroot_libs : library_path)
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${VARO_UUID_QEMU_S390X} -L /usr/s390x-linux-gnu -E LD_LIBRARY_PATH=${library_path})
