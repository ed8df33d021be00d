// The standard runtime allocator as the codec uses it: malloc() and free(),
// behind one seam so that tests can make an allocation fail.
#ifndef VARO_UUID_PLATFORM_RUNTIME_ALLOC_H
#define VARO_UUID_PLATFORM_RUNTIME_ALLOC_H

#include <cstddef>
#include <cstdlib>

#include "platform/fault.h"

namespace varo::platform {

inline void *runtime_malloc(std::size_t size) noexcept {
    if (fault::should_fail(fault::Site::runtime_malloc)) return nullptr;
    return std::malloc(size);
}

inline void runtime_free(void *p) noexcept { std::free(p); }

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RUNTIME_ALLOC_H
