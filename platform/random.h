// Fresh random bytes for the GUID stand-in, from the kernel's CSPRNG.
//
// Three sources, chosen in random.cpp and each a small unit of its own:
// - vdso:    the kernel's vDSO getrandom (Linux 6.11+ on x86_64, 6.12+ on
//            several other architectures), with a kernel-managed state per
//            thread. Nothing random is kept in our memory; the kernel wipes
//            the states on fork and re-keys them after a VM snapshot is
//            restored.
// - pool:    where the vDSO has no getrandom, a per-thread page of kernel
//            output handed out 16 bytes at a time, wiped on fork.
// - syscall: one getrandom() system call per draw, where neither is to be
//            had, and whenever another source fails.
#ifndef VARO_UUID_PLATFORM_RANDOM_H
#define VARO_UUID_PLATFORM_RANDOM_H

#include <cstddef>
#include <cstdint>

namespace varo::platform {

constexpr std::size_t kRandomDraw = 16;

// Writes 16 fresh bytes to `out`. Returns false when the kernel source
// fails; `out` may then hold anything. Thread-safe, fork-safe, and callable
// from a signal handler.
bool random16(std::uint8_t *out) noexcept;

enum class RandomSource : unsigned char { vdso, pool, syscall };

// ---- The sources, for random.cpp ------------------------------------------

enum class Draw : unsigned char {
    done,       // 16 bytes written
    to_kernel,  // the source does not serve this draw: ask the system call
    absent,     // the kernel offers no such source
};

// Reads exactly `n` bytes with the getrandom() system call, retrying on
// EINTR and short reads. Returns false on any other failure.
bool syscall_random(void *out, std::size_t n) noexcept;

// The two sources below are called only from random16(), never while their
// thread is in the middle of another draw: a signal handler that generates
// then goes to the system call.

// 16 bytes from the vDSO's getrandom with this thread's state.
Draw vdso_random16(std::uint8_t *out) noexcept;

// 16 bytes from this thread's pool, refilled from the kernel; never absent.
Draw pool_random16(std::uint8_t *out) noexcept;

#if defined(VARO_UUID_FAULT_INJECTION)
// ---- Test builds only -------------------------------------------------------

// True when the vDSO offers getrandom and its states can be sized.
bool vdso_getrandom_found() noexcept;

// This thread's vDSO state, its size as the vDSO wants it, or null.
const void *vdso_state_of_this_thread() noexcept;
std::size_t vdso_state_size() noexcept;

// Draws served by each source so far, process-wide.
long random_draws(RandomSource source) noexcept;

// States and pages held by live threads, and pages mapped so far (never
// unmapped: exited threads' states and pages are reused).
long vdso_states_in_use() noexcept;
long vdso_state_pages() noexcept;
long pool_pages_in_use() noexcept;
long pool_pages() noexcept;

// This thread's pool page: its buffer, the buffer's size, and how many bytes
// at its start are still to be handed out. Null when the thread has none.
struct PoolView {
    const std::uint8_t *bytes;
    std::size_t size;
    std::size_t left;
};
PoolView pool_view() noexcept;
#endif

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_H
