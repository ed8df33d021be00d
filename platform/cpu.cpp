#include "platform/cpu.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace varo::platform {
namespace {

bool detect_avx2() noexcept {
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return false;
    // The kernel must save the SSE and AVX register state (XCR0 bits 1, 2).
    unsigned xcr0_lo = 0, xcr0_hi = 0;
    __asm__("xgetbv" : "=a"(xcr0_lo), "=d"(xcr0_hi) : "c"(0));
    if ((xcr0_lo & 6) != 6) return false;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
    return (b & bit_AVX2) != 0;
#else
    return false;
#endif
}

}  // namespace

namespace detail {

int detect_avx2_once() noexcept {
    const int known = detect_avx2() ? 1 : 0;
    g_avx2.store(known, std::memory_order_relaxed);
    return known;
}

}  // namespace detail
}  // namespace varo::platform
