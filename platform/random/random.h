// Fresh random bytes for the GUID stand-in, from the kernel's CSPRNG.
//
// Three sources, chosen in random.cpp, each a small unit of its own:
// - vdso.cpp:    the kernel's vDSO getrandom (Linux 6.11+ on x86_64, 6.12+
//                on several other architectures), with a kernel-managed
//                state per thread. Nothing random is kept in our memory; the
//                kernel wipes the states on fork and re-keys them after a VM
//                snapshot is restored.
// - pool.cpp:    where the vDSO has no getrandom, a per-thread page of
//                kernel output handed out 16 bytes at a time, wiped on fork.
// - syscall.cpp: one getrandom() system call per draw, where neither is to
//                be had, and whenever another source fails.
#ifndef VARO_UUID_PLATFORM_RANDOM_RANDOM_H
#define VARO_UUID_PLATFORM_RANDOM_RANDOM_H

#include <cstddef>
#include <cstdint>

namespace varo::platform {

constexpr std::size_t kRandomDraw = 16;

// Writes 16 fresh bytes to `out`. Returns false when the kernel source
// fails; `out` may then hold anything. Thread-safe and fork-safe; callable
// from a signal handler, where it neither allocates nor waits on a lock,
// also on a thread's first draw.
bool random16(std::uint8_t *out) noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_RANDOM_H
