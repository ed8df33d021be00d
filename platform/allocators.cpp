// Tagged blocks behind both allocator stand-ins.
#include "platform/allocators.h"
#include "platform/allocators_testing.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "platform/fault.h"

namespace {

constexpr std::uint32_t kKelTag = 0x4b454c31;      // "KEL1"
constexpr std::uint32_t kZonheapTag = 0x5a4f4e31;  // "ZON1"
constexpr std::uint32_t kReleasedTag = 0xdeadf4ee;

// Sits in front of every block; 16 bytes keep the block malloc-aligned.
struct alignas(16) Header {
    std::uint32_t tag;
    std::int32_t heap;
};

std::atomic<unsigned long> g_misuses{0};
#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<long> g_live{0};
#endif

void *tagged_malloc(std::uint32_t tag, int heap, std::size_t size) noexcept {
    if (size > SIZE_MAX - sizeof(Header)) return nullptr;
    auto *h = static_cast<Header *>(std::malloc(sizeof(Header) + size));
    if (h == nullptr) return nullptr;
    h->tag = tag;
    h->heap = heap;
#if defined(VARO_UUID_FAULT_INJECTION)
    g_live.fetch_add(1, std::memory_order_relaxed);
#endif
    return h + 1;
}

void tagged_free(std::uint32_t tag, int heap, void *block) noexcept {
    if (block == nullptr) return;
    Header *h = static_cast<Header *>(block) - 1;
    if (h->tag != tag || h->heap != heap) {
        g_misuses.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    h->tag = kReleasedTag;
    std::free(h);
#if defined(VARO_UUID_FAULT_INJECTION)
    g_live.fetch_sub(1, std::memory_order_relaxed);
#endif
}

}  // namespace

extern "C" {

void *kel_malloc(std::size_t size) noexcept {
    if (varo::fault::should_fail(varo::fault::Site::kel_malloc)) return nullptr;
    return tagged_malloc(kKelTag, 0, size);
}

void kel_free(void *block) noexcept { tagged_free(kKelTag, 0, block); }

void *zonheap_malloc(int heap, std::size_t size) noexcept {
    if (heap < 0 || heap >= ZONHEAP_HEAPS) return nullptr;
    if (varo::fault::should_fail(varo::fault::Site::zonheap_malloc)) return nullptr;
    return tagged_malloc(kZonheapTag, heap, size);
}

void zonheap_free(int heap, void *block) noexcept { tagged_free(kZonheapTag, heap, block); }

}  // extern "C"

namespace varo::platform {

unsigned long allocator_misuses() noexcept { return g_misuses.load(); }

#if defined(VARO_UUID_FAULT_INJECTION)
long allocator_live_blocks() noexcept { return g_live.load(); }
#endif

}  // namespace varo::platform
