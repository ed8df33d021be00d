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

// The two sources below are called only from random16(), never while their
// thread is in the middle of another draw: a signal handler that generates
// then goes to the system call.

// 16 bytes from the vDSO's getrandom with this thread's state.
Draw vdso_random16(std::uint8_t *out) noexcept;

// 16 bytes from this thread's pool, refilled from the kernel; absent where
// the kernel cannot wipe the pool on fork.
Draw pool_random16(std::uint8_t *out) noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SOURCES_H
