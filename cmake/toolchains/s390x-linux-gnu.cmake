# Cross build for s390x, a 64-bit big-endian target, with Debian's cross
# compilers (g++-s390x-linux-gnu); programs built here run under qemu-user
# (qemu-user-static), so CTest runs the tests on the build machine.
# The sysroot and the search paths: debian-cross.cmake.
set(cross_arch s390x)
set(cross_triplet s390x-linux-gnu)
set(cross_multiarch s390x-linux-gnu)
set(cross_processor s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# The emulated dynamic loader finds libtirpc's dependencies in the sysroot.
find_program(VARO_UUID_QEMU_S390X qemu-s390x-static REQUIRED NO_CMAKE_FIND_ROOT_PATH)
list(JOIN sysroot_libs : library_path)
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${VARO_UUID_QEMU_S390X} -L /usr/s390x-linux-gnu -E LD_LIBRARY_PATH=${library_path})
