// Per-thread slots (vDSO random states, pool pages), each leased to the
// thread that holds it.
//
// A thread takes a slot on its first draw and keeps it for life; nothing of
// ours runs when it exits, so the first draw needs no thread-exit hook
// (pthread_setspecific() may allocate, and a signal handler that
// interrupted malloc() would wait on it for ever). Instead a slot is taken
//   1. from the free stack, or
//   2. by a short scan for a slot whose lease is zero or whose holder no
//      longer exists (tgkill(pid, tid, 0) fails with ESRCH), or
//   3. from a new chunk that the caller maps.
// A thread id that the kernel reuses only delays a slot's return; it never
// hands out a slot in use.
//
// A lease is one 64-bit word a slot: a sequence number above the holder's
// thread id, never zero. The table of leases is mapped MADV_WIPEONFORK: in a
// child made by fork() or a raw clone() it reads zero, so every slot of the
// parent is free for the child's threads, and the thread that forked, which
// checks its own lease before each draw, takes a new slot rather than share
// one. The sequence goes on from the parent's in the child, so no lease
// taken there equals one taken before the fork.
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
// `count` zeroed words in memory wiped on fork, or null.
std::atomic<std::uint64_t> *map_table(std::size_t count) noexcept;
}  // namespace leases

template <std::uint32_t kPerChunk, std::uint32_t kChunks>
class Slots {
  public:
    static constexpr std::uint32_t kNone = SlotStack<kPerChunk, kChunks>::kNone;

    // Maps the table of leases; false when the kernel cannot wipe it on fork.
    // Once, before any other call.
    bool map_leases() noexcept {
        leases_ = leases::map_table(std::size_t{kPerChunk} * kChunks);
        return leases_ != nullptr;
    }

    // A slot leased to `lease`: a free one, or one whose holder has gone.
    // kNone when there is none; the caller then maps a chunk.
    std::uint32_t take(std::uint64_t lease) noexcept {
        for (std::uint32_t index; (index = stack_.pop()) != kNone;) {
            // A scan may have taken it while it lay on the stack.
            if (claim(index, 0, lease)) return index;
        }
        return scan(lease);
    }

    // Registers a chunk that the caller mapped: `count` slots `stride` bytes
    // apart from `base`. Returns its first slot, leased to `lease`, or kNone
    // when every chunk is in use.
    std::uint32_t add_chunk(std::uint8_t *base, std::uint32_t count, std::uint32_t stride,
                            std::uint64_t lease) noexcept {
        const std::uint32_t chunk = stack_.reserve_chunk();
        if (chunk == kNone) return kNone;
        // Leased before a scan can see the chunk.
        leases_[chunk * kPerChunk].store(lease, std::memory_order_relaxed);
        stack_.publish_chunk(chunk, base, count, stride);
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
        long live = 0;
        for_each_slot(0, ~0u, [&](std::uint32_t index, pid_t pid) {
            const std::uint64_t lease = leases_[index].load(std::memory_order_relaxed);
            live += lease != 0 && !leases::holder_gone(lease, pid);
            return false;
        });
        return live;
    }

  private:
    // At most this many leases are checked a scan, one system call each:
    // the first draw stays short, in a signal handler too. The scan goes on
    // from where the last one stopped.
    static constexpr std::uint32_t kScanned = 64;

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

    std::uint32_t scan(std::uint64_t lease) noexcept {
        std::uint32_t found = kNone;
        const std::uint32_t start = cursor_.load(std::memory_order_relaxed);
        for_each_slot(start, kScanned, [&](std::uint32_t index, pid_t pid) {
            const std::uint64_t held = leases_[index].load(std::memory_order_relaxed);
            if (held != 0 && !leases::holder_gone(held, pid)) return false;
            if (!claim(index, held, lease)) return false;
            found = index;
            return true;
        });
        if (found != kNone) cursor_.store(found + 1, std::memory_order_relaxed);
        return found;
    }

    // Calls visit(index, pid) for up to `most` slots of published chunks,
    // from index `start` on, round the table, until it returns true.
    template <class Visit>
    void for_each_slot(std::uint32_t start, std::uint32_t most, Visit visit) const noexcept {
        const std::uint32_t total = stack_.chunks() * kPerChunk;
        if (total == 0) return;
        const pid_t pid = getpid();
        std::uint32_t seen = 0;
        for (std::uint32_t k = 0; k < total && seen < most; ++k) {
            const std::uint32_t index = (start + k) % total;
            if (index % kPerChunk >= stack_.slots_in(index / kPerChunk)) continue;
            ++seen;
            if (visit(index, pid)) return;
        }
    }

    SlotStack<kPerChunk, kChunks> stack_;
    std::atomic<std::uint64_t> *leases_ = nullptr;
    std::atomic<std::uint32_t> cursor_{0};
};

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SLOTS_H
