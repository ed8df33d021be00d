// Points where test builds can watch the random engine or bend what the
// kernel answers. The shipped library is built without
// VARO_UUID_FAULT_INJECTION: every hook below is then a constant that
// vanishes. The internal test library defines it, and testing.h steers the
// hooks (testing.cpp holds their state).
#ifndef VARO_UUID_PLATFORM_RANDOM_SEAMS_H
#define VARO_UUID_PLATFORM_RANDOM_SEAMS_H

#include <cstddef>

namespace varo::platform {

// Which source served a draw.
enum class RandomSource : unsigned char { vdso, pool, syscall };

// Where a slot (slots.h) came from: the free stack, the ring of recent
// slots, a sweep, or a new chunk.
enum class SlotOrigin : unsigned char { stack, recent, sweep, chunk };

namespace seam {
#if defined(VARO_UUID_FAULT_INJECTION)
// Counts a draw served by `source`.
void served(RandomSource source) noexcept;
// The length one getrandom() system call may ask for: `n`, or less.
std::size_t syscall_length(std::size_t n) noexcept;
// What the vDSO's getrandom is taken to have returned: `got`, or a
// rewritten result.
long vdso_result(long got) noexcept;
// Runs between a slot stack's read of its head and its compare-and-swap.
void slot_stack_between() noexcept;
// Counts a slot taken from `origin`.
void slot_taken(SlotOrigin origin) noexcept;
// Runs between the pop of a slot from the free stack and its lease.
void slot_popped() noexcept;
// Counts a system call that asks whether a slot's holder has exited.
void holder_asked() noexcept;
// False when madvise() is to be taken as accepting advice it does not
// apply, as under qemu-user.
bool advice_applied() noexcept;
#else
constexpr void served(RandomSource) noexcept {}
constexpr std::size_t syscall_length(std::size_t n) noexcept { return n; }
constexpr long vdso_result(long got) noexcept { return got; }
constexpr void slot_stack_between() noexcept {}
constexpr void slot_taken(SlotOrigin) noexcept {}
constexpr void slot_popped() noexcept {}
constexpr void holder_asked() noexcept {}
constexpr bool advice_applied() noexcept { return true; }
#endif
}  // namespace seam
}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SEAMS_H
