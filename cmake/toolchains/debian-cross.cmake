# What the cross builds with Debian's cross compilers share (included by
# s390x-linux-gnu.cmake and i686-linux-gnu.cmake, which set first):
#   cross_arch     the Debian architecture: s390x, i386
#   cross_triplet  the compilers' prefix and the toolchain's folder under /usr
#   cross_multiarch the folder of the target's libraries in Debian's packages
#   cross_processor CMAKE_SYSTEM_PROCESSOR
#
# libtirpc and nettle for the target come from a sysroot of unpacked Debian
# packages that scripts/cross-sysroot makes: build/sysroot-<arch> by
# default, or the folder named by VARO_UUID_<ARCH>_SYSROOT. The C library
# and the compiler's run time are the cross toolchain's own, in
# /usr/<triplet>. Sets `sysroot` and `sysroot_libs` for the including file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${cross_processor})
set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)

string(TOUPPER ${cross_arch} arch_upper)
set(sysroot_variable VARO_UUID_${arch_upper}_SYSROOT)
if(NOT ${sysroot_variable})
  set(${sysroot_variable} ${CMAKE_CURRENT_LIST_DIR}/../../build/sysroot-${cross_arch})
endif()
cmake_path(ABSOLUTE_PATH ${sysroot_variable} NORMALIZE OUTPUT_VARIABLE sysroot)
string(REGEX REPLACE "/$" "" sysroot "${sysroot}")
if(NOT EXISTS ${sysroot}/.complete)
  message(FATAL_ERROR
    "No ${cross_arch} sysroot in ${sysroot}: make it with scripts/cross-sysroot ${cross_arch}")
endif()
# Test compilations read this file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${sysroot_variable})

# Libraries, headers and packages only from the target's folders; programs
# (rpcgen, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet} ${sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the sysroot's .pc files and puts the sysroot in front
# of the paths they give.
set(ENV{PKG_CONFIG_LIBDIR}
  ${sysroot}/usr/lib/${cross_multiarch}/pkgconfig:${sysroot}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${sysroot})

# libtirpc's own dependencies (Kerberos, OpenSSL) are in the sysroot: the
# linker looks there for them when it links against libtirpc.
set(sysroot_libs ${sysroot}/usr/lib/${cross_multiarch} ${sysroot}/lib/${cross_multiarch})
foreach(dir IN LISTS sysroot_libs)
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,-rpath-link,${dir}")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,-rpath-link,${dir}")
endforeach()
