// Chooses the source of each draw.
#include "platform/random/random.h"

#include <atomic>

#include "platform/fault.h"
#include "platform/random/sources.h"

namespace varo::platform {
namespace {

bool by_syscall(std::uint8_t *out) noexcept {
    if (!syscall_random(out, kRandomDraw)) return false;
    seam::served(RandomSource::syscall);
    return true;
}

// Set while this thread is in the middle of a draw. A signal handler that
// generates then would find the thread's state half-updated, or a set-up
// that its own thread is making: it reads the kernel directly instead.
__attribute__((tls_model("initial-exec"))) thread_local bool t_busy = false;

bool draw(std::uint8_t *out) noexcept {
    // The vDSO, where the kernel offers it; a draw it cannot serve goes to
    // the system call, never to the pool, whose bytes a VM snapshot could
    // repeat.
    if (!fault::should_fail(fault::Site::vdso)) {
        switch (vdso_random16(out)) {
            case Draw::done:
                seam::served(RandomSource::vdso);
                return true;
            case Draw::to_kernel:
                return by_syscall(out);
            case Draw::absent:
                break;
        }
    }
    if (!fault::should_fail(fault::Site::pool) && pool_random16(out) == Draw::done) {
        seam::served(RandomSource::pool);
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

}  // namespace varo::platform
