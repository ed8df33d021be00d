// A process-wide, lock-free stack of equal-sized slots: the free list under
// slots.h, which leases each slot to one thread.
//
// Slots live in chunks that are mapped once and never unmapped. A slot is
// named by its index: chunk * kPerChunk + position. The links of the stack
// are kept here, in ordinary memory, not in the slots, because slot memory
// may be wiped on fork.
//
// The stack is lock-free (a compare-and-swap on a 64-bit head that pairs the
// top index with a change counter, so a slot taken and given back between a
// read and its swap cannot be mistaken for an unchanged top). With no lock,
// a child made by fork() or a raw clone() while another thread was in the
// middle of a push or a pop finds a consistent stack, and a signal handler
// may take a slot while its thread is giving one back.
//
// Everything here is zero-initialised static data: nothing runs when the
// library is loaded.
#ifndef VARO_UUID_PLATFORM_RANDOM_SLOT_STACK_H
#define VARO_UUID_PLATFORM_RANDOM_SLOT_STACK_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/random/seams.h"

namespace varo::platform {

template <std::uint32_t kPerChunk, std::uint32_t kChunks>
class SlotStack {
  public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Takes a slot; kNone when the stack is empty.
    std::uint32_t pop() noexcept {
        std::uint64_t head = head_.load(std::memory_order_acquire);
        while (top(head) != kNone) {
            const std::uint32_t index = top(head);
            const std::uint32_t below = next_[index].load(std::memory_order_relaxed);
            seam::slot_stack_between();
            if (head_.compare_exchange_weak(head, with_top(head, below),
                                            std::memory_order_acquire,
                                            std::memory_order_acquire)) {
                return index;
            }
        }
        return kNone;
    }

    // Gives a slot back.
    void push(std::uint32_t index) noexcept { push_chain(index, index); }

    // Reserves chunk number `seen` for a caller that is about to publish it,
    // while `seen` chunks are reserved and all of them published; kNone
    // otherwise, or when every chunk is in use. One chunk at a time is on
    // its way (a failed mapping publishes an empty chunk): in a child of
    // fork() made while another thread was mapping one, that chunk is never
    // published, and no further chunk is added there.
    std::uint32_t reserve_chunk(std::uint32_t seen) noexcept {
        if (seen >= kChunks || published_.load(std::memory_order_acquire) != seen) return kNone;
        return chunks_.compare_exchange_strong(seen, seen + 1, std::memory_order_relaxed) ? seen
                                                                                          : kNone;
    }

    // Reserves the next chunk's number, whatever else is on its way; kNone
    // when every chunk is in use.
    std::uint32_t reserve_chunk() noexcept {
        std::uint32_t n = chunks_.load(std::memory_order_relaxed);
        while (n < kChunks) {
            if (chunks_.compare_exchange_weak(n, n + 1, std::memory_order_relaxed)) return n;
        }
        return kNone;
    }

    // Publishes reserved chunk `chunk`: `count` slots (1 to kPerChunk),
    // `stride` bytes apart from `base`. Its first slot stays the caller's;
    // the others go onto the stack.
    void publish_chunk(std::uint32_t chunk, std::uint8_t *base, std::uint32_t count,
                       std::uint32_t stride) noexcept {
        chunk_[chunk].base = base;
        chunk_[chunk].stride = stride;
        chunk_[chunk].count.store(count, std::memory_order_release);
        const std::uint32_t first = chunk * kPerChunk;
        // The slots after the first form a chain pushed in one swap.
        for (std::uint32_t i = 1; i + 1 < count; ++i) {
            next_[first + i].store(first + i + 1, std::memory_order_relaxed);
        }
        if (count > 1) push_chain(first + 1, first + count - 1);
        published_.fetch_add(1, std::memory_order_release);
    }

    // The address of slot `index`. Only for an index that this stack handed
    // out: the pop, scan or publish that gave it ordered the chunk's registration
    // before it.
    std::uint8_t *address(std::uint32_t index) const noexcept {
        const Chunk &c = chunk_[index / kPerChunk];
        return c.base + static_cast<std::size_t>(index % kPerChunk) * c.stride;
    }

    // Chunks reserved so far.
    std::uint32_t chunks() const noexcept {
        const std::uint32_t n = chunks_.load(std::memory_order_relaxed);
        return n < kChunks ? n : kChunks;
    }

    // True while a reserved chunk is not yet published.
    bool adding() const noexcept {
        return published_.load(std::memory_order_acquire) != chunks_.load(std::memory_order_relaxed);
    }

    // Slots in chunk `chunk` (from chunk * kPerChunk on); 0 while another
    // thread is still registering it.
    std::uint32_t slots_in(std::uint32_t chunk) const noexcept {
        return chunk_[chunk].count.load(std::memory_order_acquire);
    }

  private:
    struct Chunk {
        std::uint8_t *base;
        std::uint32_t stride;
        std::atomic<std::uint32_t> count;  // set last: the chunk is ready
    };

    static std::uint32_t top(std::uint64_t head) noexcept {
        return static_cast<std::uint32_t>(head) - 1;  // 0 in the head means empty
    }
    static std::uint64_t with_top(std::uint64_t head, std::uint32_t index) noexcept {
        const std::uint64_t counter = (head >> 32) + 1;
        return counter << 32 | static_cast<std::uint32_t>(index + 1);  // kNone: empty
    }

    // Pushes the chain first..last, already linked through next_.
    void push_chain(std::uint32_t first, std::uint32_t last) noexcept {
        std::uint64_t head = head_.load(std::memory_order_relaxed);
        do {
            next_[last].store(top(head), std::memory_order_relaxed);
        } while (!head_.compare_exchange_weak(head, with_top(head, first),
                                              std::memory_order_release,
                                              std::memory_order_relaxed));
    }

    std::atomic<std::uint64_t> head_{0};
    std::atomic<std::uint32_t> chunks_{0};     // reserved
    std::atomic<std::uint32_t> published_{0};  // of them, published
    Chunk chunk_[kChunks]{};
    std::atomic<std::uint32_t> next_[kChunks * kPerChunk]{};
};

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_SLOT_STACK_H
