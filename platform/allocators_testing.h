// Test observers of the allocator stand-ins (allocators.h), for tests and
// fuzzers only: no part of the library reads them.
#ifndef VARO_UUID_PLATFORM_ALLOCATORS_TESTING_H
#define VARO_UUID_PLATFORM_ALLOCATORS_TESTING_H

namespace varo::platform {

// How many releases so far named the wrong allocator or heap.
unsigned long allocator_misuses() noexcept;

#if defined(VARO_UUID_FAULT_INJECTION)
// Test builds only: blocks handed out and not yet released, both allocators.
long allocator_live_blocks() noexcept;
#endif

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_ALLOCATORS_TESTING_H
