// The sources of random bytes, for the dispatcher in random.cpp.
#ifndef VARO_UUID_PLATFORM_RANDOM_SOURCES_H
#define VARO_UUID_PLATFORM_RANDOM_SOURCES_H

#include <cstddef>
#include <cstdint>

#include "platform/random/random.h"
#include "platform/random/seams.h"

namespace varo::platform {

enum class Draw : unsigned char {
    done,       // 16 bytes written
    to_kernel,  // the source does not serve this draw: ask the system call
    absent,     // the kernel offers no such source
};

// Reads exactly `n` bytes with the getrandom() system call, retrying on
// EINTR and short reads. Returns false on any other failure. Leaves errno
// as it found it.
bool syscall_random(void *out, std::size_t n) noexcept;

// 16 bytes from the vDSO's getrandom with the state this thread holds;
// absent when it holds none (yet, or any longer: in a child after fork).
// Callable at any time, in a signal handler too.
Draw vdso_random16(std::uint8_t *out) noexcept;

// The two below are called only from random16(), never while their thread
// is in the middle of another of their calls: a signal handler that
// generates then goes to the system call.

// The vDSO's getrandom after taking a state for this thread; absent where
// the kernel offers no vDSO getrandom. Out of line: the set-up and the
// lease stay off the usual path.
Draw vdso_first_random16(std::uint8_t *out) noexcept;

// 16 bytes from this thread's pool, refilled from the kernel; absent where
// the kernel cannot wipe the pool on fork.
Draw pool_random16(std::uint8_t *out) noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SOURCES_H
