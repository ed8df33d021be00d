// Stand-ins for the platform's two allocators.
//
// General allocator (kel_malloc / kel_free): plain blocks.
//
// Heap-handle allocator (zonheap_malloc / zonheap_free): the handles 0 to
// ZONHEAP_HEAPS - 1 name heaps that always exist, 0 being the default heap;
// any other handle names no heap, so zonheap_malloc returns null for it.
//
// Every block carries a tag naming the allocator and heap that made it. A
// release into another allocator or another heap is caught: the block is
// not released (a leak is safer than a corrupted heap) and the misuse is
// counted, so that tests can fail on it (allocators_testing.h).
#ifndef VARO_UUID_PLATFORM_ALLOCATORS_H
#define VARO_UUID_PLATFORM_ALLOCATORS_H

#include <cstddef>

extern "C" {

enum { ZONHEAP_HEAPS = 16 };

// A block of `size` bytes, or null when no memory.
void *kel_malloc(std::size_t size) noexcept;
// Releases a block of kel_malloc(); null is ignored.
void kel_free(void *block) noexcept;

// A block of `size` bytes from heap `heap`, or null when no memory or no
// such heap.
void *zonheap_malloc(int heap, std::size_t size) noexcept;
// Releases a block of zonheap_malloc() into the heap that gave it; null is
// ignored.
void zonheap_free(int heap, void *block) noexcept;

}  // extern "C"

#endif  // VARO_UUID_PLATFORM_ALLOCATORS_H
