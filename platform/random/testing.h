// For tests only: what the random engine holds, and the seams that bend
// what the kernel answers. Compiled into the internal test library; the
// shipped library has none of the seams (seams.h).
#ifndef VARO_UUID_PLATFORM_RANDOM_TESTING_H
#define VARO_UUID_PLATFORM_RANDOM_TESTING_H

#include <cstddef>
#include <cstdint>

#include "platform/random/seams.h"

namespace varo::platform {

// ---- What the engine holds --------------------------------------------------

// True when the vDSO offers getrandom and its states can be sized.
bool vdso_getrandom_found() noexcept;

// This thread's vDSO state, its size as the vDSO wants it, or null.
const void *vdso_state_of_this_thread() noexcept;
std::size_t vdso_state_size() noexcept;

// Draws served by each source so far, process-wide.
long random_draws(RandomSource source) noexcept;

// Slots taken from each origin so far, process-wide, by every table of
// them (vDSO states, pool pages, a test's own).
long slots_taken(SlotOrigin origin) noexcept;
// Holders of slots asked about so far (a tgkill() system call each),
// process-wide.
long holders_asked() noexcept;

// States and pages leased to live threads, and pages mapped so far (never
// unmapped: exited threads' states and pages are reused).
long vdso_states_in_use() noexcept;
long vdso_state_pages() noexcept;
long pool_pages_in_use() noexcept;
long pool_pages() noexcept;
// States that one page of them holds.
long vdso_states_per_page() noexcept;

// True when the kernel wipes the pool's pages and leases on fork, so that
// the pool buffers; false where it refuses the advice or takes it without
// applying it (qemu-user, or the seam below), and the pool is not used.
bool pool_wiped_by_kernel() noexcept;

// This thread's pool page: its buffer, the buffer's size, and how many bytes
// at its start are still to be handed out. Null when the thread has none.
struct PoolView {
    const std::uint8_t *bytes;
    std::size_t size;
    std::size_t left;
};
PoolView pool_view() noexcept;

// ---- Seams ------------------------------------------------------------------

// Caps every getrandom() system call at `most` bytes, as a kernel that
// returns short counts would; 0 lifts the cap.
void cap_syscall_length(std::size_t most) noexcept;

// Takes the result of the next `times` calls of the vDSO's getrandom to be
// `result` (a short count, or a negative error) instead of what it gave.
void rewrite_vdso_results(long result, int times) noexcept;

// Takes every MADV_WIPEONFORK to be accepted and not applied, as qemu-user
// does. Only before the first draw: the sources look once.
void ignore_advice() noexcept;

// Runs `hook` in every slot stack pop between its read of the head and its
// compare-and-swap; null removes it.
void on_slot_stack_race(void (*hook)()) noexcept;

// Runs `hook` in every take of a slot from the free stack, between its pop
// and its lease, where a sweep may take the slot first; null removes it.
void on_slot_popped(void (*hook)()) noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_TESTING_H
