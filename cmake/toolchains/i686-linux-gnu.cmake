# Build for i386 (32-bit x86: 32-bit size_t, long and pointers) with
# Debian's cross compilers (g++-i686-linux-gnu). An x86-64 kernel runs the
# programs natively, with no emulator: CTest runs them as they are.
# The sysroot and the search paths: debian-cross.cmake.
set(cross_arch i386)
set(cross_triplet i686-linux-gnu)
set(cross_multiarch i386-linux-gnu)
set(cross_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# The programs run with the toolchain's dynamic loader and C library (not
# the build machine's, which may be missing or of another release), and
# find libtirpc and its dependencies in the sysroot: the loader's path and
# an RPATH (not RUNPATH, which a library's own dependencies would not see)
# set at link time. These builds are not installed, so no path leaks out.
set(toolchain_libs /usr/${cross_triplet}/lib ${sysroot_libs})
list(JOIN toolchain_libs : run_path)
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
  " -Wl,--dynamic-linker=/usr/${cross_triplet}/lib/ld-linux.so.2")
foreach(kind EXE SHARED MODULE)
  string(APPEND CMAKE_${kind}_LINKER_FLAGS_INIT " -Wl,--disable-new-dtags -Wl,-rpath,${run_path}")
endforeach()
