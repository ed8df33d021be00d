// Chooses the source of each draw, and reads the kernel directly.
#include "platform/random.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/fault.h"

namespace varo::platform {
namespace {

#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<long> g_draws[3];
void count(RandomSource source) noexcept {
    g_draws[static_cast<int>(source)].fetch_add(1, std::memory_order_relaxed);
}
#else
void count(RandomSource) noexcept {}
#endif

bool by_syscall(std::uint8_t *out) noexcept {
    if (!syscall_random(out, kRandomDraw)) return false;
    count(RandomSource::syscall);
    return true;
}

}  // namespace

bool syscall_random(void *out, std::size_t n) noexcept {
    if (fault::should_fail(fault::Site::entropy)) return false;
    auto *p = static_cast<std::uint8_t *>(out);
    while (n > 0) {
        // The raw system call: glibc's getrandom() is a cancellation point,
        // and a thread cancelled in it would leak what its caller allocated.
        const long got = syscall(SYS_getrandom, p, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool random16(std::uint8_t *out) noexcept {
    // The vDSO, where the kernel offers it; a draw it cannot serve goes to
    // the system call, never to the pool, whose bytes a VM snapshot could
    // repeat.
    if (!fault::should_fail(fault::Site::vdso)) {
        switch (vdso_random16(out)) {
            case Draw::done:
                count(RandomSource::vdso);
                return true;
            case Draw::failed:
                return by_syscall(out);
            case Draw::absent:
                break;
        }
    }
    if (!fault::should_fail(fault::Site::pool)) {
        if (!pool_random16(out)) return false;
        count(RandomSource::pool);
        return true;
    }
    return by_syscall(out);
}

#if defined(VARO_UUID_FAULT_INJECTION)
long random_draws(RandomSource source) noexcept {
    return g_draws[static_cast<int>(source)].load(std::memory_order_relaxed);
}
#endif

}  // namespace varo::platform
