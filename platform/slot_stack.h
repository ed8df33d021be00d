// A process-wide stack of equal-sized slots that threads take and give back.
//
// The generators keep one slot per thread (a vDSO random state, or a page of
// buffered kernel output). A thread takes a slot when it first draws and
// gives it back when it exits, so a short-lived thread reuses the memory of
// one that has gone instead of mapping its own, and a program that starts
// thousands of threads holds only as many slots as it ever had threads alive
// at once.
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
#ifndef VARO_UUID_PLATFORM_SLOT_STACK_H
#define VARO_UUID_PLATFORM_SLOT_STACK_H

#include <atomic>
#include <cstddef>
#include <cstdint>

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

    // Registers a new chunk of `count` slots (1 to kPerChunk), `stride` bytes
    // apart from `base`. Its first slot goes to the caller; the others onto
    // the stack. Returns kNone, registering nothing, when every chunk is in
    // use.
    std::uint32_t add_chunk(std::uint8_t *base, std::uint32_t count,
                            std::uint32_t stride) noexcept {
        const std::uint32_t chunk = chunks_.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= kChunks) {
            chunks_.fetch_sub(1, std::memory_order_relaxed);
            return kNone;
        }
        chunk_[chunk].base = base;
        chunk_[chunk].stride = stride;
        const std::uint32_t first = chunk * kPerChunk;
        // The slots after the first form a chain pushed in one swap.
        for (std::uint32_t i = 1; i + 1 < count; ++i) {
            next_[first + i].store(first + i + 1, std::memory_order_relaxed);
        }
        if (count > 1) push_chain(first + 1, first + count - 1);
        return first;
    }

    // The address of slot `index`. Only for an index that this stack handed
    // out: the pop or add_chunk that gave it ordered the chunk's registration
    // before it.
    std::uint8_t *address(std::uint32_t index) const noexcept {
        const Chunk &c = chunk_[index / kPerChunk];
        return c.base + static_cast<std::size_t>(index % kPerChunk) * c.stride;
    }

    // Chunks mapped so far.
    std::uint32_t chunks() const noexcept {
        const std::uint32_t n = chunks_.load(std::memory_order_relaxed);
        return n < kChunks ? n : kChunks;
    }

  private:
    struct Chunk {
        std::uint8_t *base;
        std::uint32_t stride;
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
    std::atomic<std::uint32_t> chunks_{0};
    Chunk chunk_[kChunks]{};
    std::atomic<std::uint32_t> next_[kChunks * kPerChunk]{};
};

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_SLOT_STACK_H
