// Per-thread slots (vDSO random states, pool pages), each leased to the
// thread that holds it.
//
// A thread takes a slot on its first draw and keeps it for life; nothing of
// ours runs when it exits, so the first draw needs no thread-exit hook
// (pthread_setspecific() may allocate, and a signal handler that
// interrupted malloc() would wait on it for ever). Instead a slot is taken
//   1. from the free stack (slots never leased yet), or
//   2. from the recent ring: the slots handed out most lately, whose holders
//      are the likeliest to have exited (short-lived threads beside a
//      long-lived pool), if one's holder is gone, or
//   3. by a sweep round the whole table, from where the last sweep stopped,
//      for a slot whose lease is zero or whose holder no longer exists
//      (tgkill(pid, tid, 0) fails with ESRCH), or
//   4. from a new chunk that the caller maps, and only once the sweep has
//      gone round every slot while the caller looked, finding each holder
//      alive: the chunks stay within what the most threads alive at once
//      need, plus one.
// A thread id that the kernel reuses only delays a slot's return; it never
// hands out a slot in use.
//
// A lease is one 64-bit word a slot: a sequence number above the holder's
// thread id, never zero. The table of leases is mapped MADV_WIPEONFORK: in a
// child made by fork() or a raw clone() it reads zero, so every slot of the
// parent is free for the child's threads, and the thread that forked, which
// checks its own lease before each draw, takes a new slot rather than share
// one. The sequence goes on from the parent's in the child, so no lease
// taken there equals one taken before the fork. Where the kernel refuses
// the advice, or accepts it without applying it (an emulator: qemu-user),
// there is no table, and the sources that need one are not used.
#ifndef VARO_UUID_PLATFORM_RANDOM_SLOTS_H
#define VARO_UUID_PLATFORM_RANDOM_SLOTS_H

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/random/slot_stack.h"

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace varo::platform {

namespace leases {
// A new lease for the calling thread.
std::uint64_t make() noexcept;
// True when the holder of `lease` has exited (as seen from process `pid`).
bool holder_gone(std::uint64_t lease, pid_t pid) noexcept;

// `count` zeroed words that the kernel wipes on fork; null when they cannot
// be mapped or the advice is refused or not applied. qemu-user, for one,
// accepts every advice and applies none, and gives itself away by accepting
// an advice that does not exist.
std::atomic<std::uint64_t> *map_table(std::size_t count) noexcept;
}  // namespace leases

template <std::uint32_t kPerChunk, std::uint32_t kChunks>
class Slots {
  public:
    static constexpr std::uint32_t kNone = SlotStack<kPerChunk, kChunks>::kNone;
    static constexpr std::uint32_t kBusy = kNone - 1;

    // Maps the table of leases: false when the kernel does not wipe it on
    // fork, and the slots must not be used. Once, before any other call.
    bool map_leases() noexcept {
        leases_ = leases::map_table(std::size_t{kPerChunk} * kChunks);
        return leases_ != nullptr;
    }

    // A slot leased to `lease`: a free one, or one whose holder has gone.
    // Else kNone, with `*chunk` one of
    // - the number of a chunk reserved for the caller to map and publish();
    // - kBusy: another caller is adding a chunk; ask again later;
    // - kNone: no chunk may be added.
    //
    // The system calls this makes are few on average, not for each call:
    // the call that ends in a new chunk has checked every slot.
    std::uint32_t take(std::uint64_t lease, std::uint32_t *chunk) noexcept {
        const std::uint32_t seen = stack_.chunks();
        if constexpr (kPerChunk == 1) {
            // A chunk of one slot is its caller's alone: each caller that
            // found every slot alive may add one.
            const std::uint32_t index = search(lease, seen);
            if (index == kNone) *chunk = stack_.reserve_chunk();
            return index;
        }
        // The slots of a larger chunk serve other callers too, so one is
        // added at a time. While another caller adds one, this one makes a
        // sweep step, not a round: the chunk's slots are about to come onto
        // the stack.
        const bool adding = stack_.adding();
        const std::uint32_t index = search(lease, adding ? kSwept : seen * kPerChunk);
        if (index != kNone) return index;
        if (seen >= kChunks) {
            *chunk = kNone;
        } else {
            // Reserved by another caller since this one looked, or before:
            // its chunk is on its way.
            const std::uint32_t reserved = adding ? kNone : stack_.reserve_chunk(seen);
            *chunk = reserved == kNone ? kBusy : reserved;
        }
        return kNone;
    }

    // Publishes reserved chunk `chunk`, which the caller mapped: `count`
    // slots `stride` bytes apart from `base`. Returns its first slot, leased
    // to `lease`. A null `base` (the mapping failed) leaves the chunk empty,
    // and returns kNone.
    std::uint32_t publish(std::uint32_t chunk, std::uint8_t *base, std::uint32_t count,
                          std::uint32_t stride, std::uint64_t lease) noexcept {
        if (base == nullptr) {
            stack_.publish_chunk(chunk, nullptr, 0, stride);
            return kNone;
        }
        // Leased before a sweep can see the chunk.
        leases_[chunk * kPerChunk].store(lease, std::memory_order_relaxed);
        stack_.publish_chunk(chunk, base, count, stride);
        remember(chunk * kPerChunk);
        seam::slot_taken(SlotOrigin::chunk);
        return chunk * kPerChunk;
    }

    // True while slot `index` is leased to `lease`: false in a child of the
    // process that leased it.
    bool held(std::uint32_t index, std::uint64_t lease) const noexcept {
        return leases_[index].load(std::memory_order_relaxed) == lease;
    }

    // Marks the end of a use of slot `index` by its holder. The kernel
    // orders a thread's exit before tgkill() reports it gone, and so before
    // the next holder's first use; ThreadSanitizer cannot see that, and is
    // told here and in claim().
    void used(std::uint32_t index) noexcept {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(&leases_[index]);
#else
        static_cast<void>(index);
#endif
    }

    std::uint8_t *address(std::uint32_t index) const noexcept { return stack_.address(index); }
    std::uint32_t chunks() const noexcept { return stack_.chunks(); }

    // Slots whose holders are alive; for tests.
    long held_by_live_threads() const noexcept {
        const std::uint32_t total = stack_.chunks() * kPerChunk;
        const pid_t pid = getpid();
        long live = 0;
        for (std::uint32_t index = 0; index < total; ++index) {
            if (!is_slot(index)) continue;
            const std::uint64_t lease = leases_[index].load(std::memory_order_relaxed);
            live += lease != 0 && !leases::holder_gone(lease, pid);
        }
        return live;
    }

  private:
    // Slots checked by one step of a sweep, and slots in the recent ring:
    // with one system call each, a step stays short, in a signal handler
    // too.
    static constexpr std::uint32_t kSwept = 64;
    static constexpr std::uint32_t kRecent = 32;

    bool is_slot(std::uint32_t index) const noexcept {
        return index % kPerChunk < stack_.slots_in(index / kPerChunk);
    }

    bool claim(std::uint32_t index, std::uint64_t expected, std::uint64_t lease) noexcept {
        if (!leases_[index].compare_exchange_strong(expected, lease, std::memory_order_acquire,
                                                    std::memory_order_relaxed)) {
            return false;
        }
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(&leases_[index]);
#endif
        return true;
    }

    // Takes slot `index` if it is free or its holder has gone.
    bool reclaim(std::uint32_t index, pid_t pid, std::uint64_t lease) noexcept {
        const std::uint64_t held = leases_[index].load(std::memory_order_relaxed);
        return (held == 0 || leases::holder_gone(held, pid)) && claim(index, held, lease);
    }

    // A free slot or one whose holder has gone, from the stack, the ring or
    // the sweep; kNone when the sweep has passed `places` places of the
    // table while this call looked. Its steps are shared with other
    // callers: a free slot found by another was as good as one found here.
    std::uint32_t search(std::uint64_t lease, std::uint32_t places) noexcept {
        std::uint32_t index = from_stack(lease);
        if (index == kNone) index = from_recent(lease);
        for (std::uint32_t swept = 0; index == kNone && swept < places; swept += kSwept) {
            index = sweep(lease);
            if (index == kNone) index = from_stack(lease);
        }
        return index;
    }

    std::uint32_t from_stack(std::uint64_t lease) noexcept {
        for (std::uint32_t index; (index = stack_.pop()) != kNone;) {
            seam::slot_popped();
            // A sweep may have taken it while it lay on the stack, or since
            // the pop: the sweep passes free slots, stacked or not.
            if (claim(index, 0, lease)) {
                remember(index);
                seam::slot_taken(SlotOrigin::stack);
                return index;
            }
        }
        return kNone;
    }

    // The ring keeps its slots when one is taken back through it: a churn of
    // short-lived threads then goes on finding its own slots there.
    //
    // Each entry whose holder lives costs a system call to ask about, and
    // beside a long-lived pool most do. So a caller starts at the entry that
    // served the last one: a short-lived thread's slot is the likeliest to
    // be free again when the next thread comes.
    std::uint32_t from_recent(std::uint64_t lease) noexcept {
        const pid_t pid = getpid();
        const std::uint32_t start = recent_hit_.load(std::memory_order_relaxed);
        for (std::uint32_t k = 0; k < kRecent; ++k) {
            const std::uint32_t at = (start + k) % kRecent;
            const std::uint32_t entry = recent_[at].load(std::memory_order_relaxed);
            if (entry != 0 && reclaim(entry - 1, pid, lease)) {
                recent_hit_.store(at, std::memory_order_relaxed);
                seam::slot_taken(SlotOrigin::recent);
                return entry - 1;
            }
        }
        return kNone;
    }

    void remember(std::uint32_t index) noexcept {
        const std::uint32_t at = recent_next_.fetch_add(1, std::memory_order_relaxed) % kRecent;
        recent_[at].store(index + 1, std::memory_order_relaxed);
    }

    // One step of the sweep: the next kSwept places of the table, round it,
    // each handed out by the cursor alone, so that every place the cursor
    // passes is looked at. The cursor moves on whether or not a slot is
    // found, so every slot is reached, however many live holders lie in a
    // row.
    std::uint32_t sweep(std::uint64_t lease) noexcept {
        const std::uint32_t total = stack_.chunks() * kPerChunk;
        if (total == 0) return kNone;
        const pid_t pid = getpid();
        for (std::uint32_t k = 0; k < kSwept; ++k) {
            const auto index =
                static_cast<std::uint32_t>(cursor_.fetch_add(1, std::memory_order_relaxed) % total);
            if (is_slot(index) && reclaim(index, pid, lease)) {
                remember(index);
                seam::slot_taken(SlotOrigin::sweep);
                return index;
            }
        }
        return kNone;
    }

    SlotStack<kPerChunk, kChunks> stack_;
    std::atomic<std::uint64_t> *leases_ = nullptr;
    // 64 bits: it never wraps, so a round passes every place once.
    std::atomic<std::uint64_t> cursor_{0};
    std::atomic<std::uint32_t> recent_[kRecent]{};  // slot + 1; 0: none yet
    std::atomic<std::uint32_t> recent_next_{0};
    std::atomic<std::uint32_t> recent_hit_{0};  // the entry of the last slot taken there
};

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SLOTS_H
