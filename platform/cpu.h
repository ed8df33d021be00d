// What the processor can do, for the codec's wide loops.
#ifndef VARO_UUID_PLATFORM_CPU_H
#define VARO_UUID_PLATFORM_CPU_H

#include <atomic>

#include "platform/fault.h"

namespace varo::platform {

namespace detail {
// -1 until the first call; the same answer whichever thread asks first.
// Constant-initialised: nothing runs at load.
inline std::atomic<int> g_avx2{-1};
// Finds the answer out, keeps it in g_avx2 and returns it (1 or 0).
int detect_avx2_once() noexcept;
}  // namespace detail

// True when the processor has AVX2 and the kernel saves its registers.
// Found out on the first call and kept; test builds can pretend it is absent
// (fault site `avx2`) to run the scalar loops on long inputs. Inline: the
// identifier kernels ask on every call, and a call would cost a good part
// of one.
inline bool cpu_has_avx2() noexcept {
    int known = detail::g_avx2.load(std::memory_order_relaxed);
    if (known < 0) known = detail::detect_avx2_once();
    return known == 1 && !fault::should_fail(fault::Site::avx2);
}

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_CPU_H
