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

namespace {

// Set while this thread is in the middle of a draw. A signal handler that
// generates then would find the thread's state half-updated, or wait for a
// first-use lookup that its own thread is making: it reads the kernel
// directly instead.
__attribute__((tls_model("initial-exec"))) thread_local bool t_busy = false;

bool draw(std::uint8_t *out) noexcept {
    // The vDSO, where the kernel offers it; a draw it cannot serve goes to
    // the system call, never to the pool, whose bytes a VM snapshot could
    // repeat.
    if (!fault::should_fail(fault::Site::vdso)) {
        switch (vdso_random16(out)) {
            case Draw::done:
                count(RandomSource::vdso);
                return true;
            case Draw::to_kernel:
                return by_syscall(out);
            case Draw::absent:
                break;
        }
    }
    if (!fault::should_fail(fault::Site::pool) && pool_random16(out) == Draw::done) {
        count(RandomSource::pool);
        return true;
    }
    return by_syscall(out);
}

}  // namespace

bool random16(std::uint8_t *out) noexcept {
    if (t_busy) return by_syscall(out);
    t_busy = true;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const bool ok = draw(out);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_busy = false;
    return ok;
}

#if defined(VARO_UUID_FAULT_INJECTION)
long random_draws(RandomSource source) noexcept {
    return g_draws[static_cast<int>(source)].load(std::memory_order_relaxed);
}
#endif

}  // namespace varo::platform
