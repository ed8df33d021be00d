// Chooses the source of each draw.
#include "platform/random/random.h"

#include <atomic>

#include "platform/fault.h"
#include "platform/random/sources.h"

namespace varo::platform {
namespace {

// Out of line, so that the usual path keeps a short prologue.
[[gnu::cold, gnu::noinline]] bool by_syscall(std::uint8_t *out) noexcept {
    if (!syscall_random(out, kRandomDraw)) return false;
    seam::served(RandomSource::syscall);
    return true;
}

// Set while this thread is in the middle of a draw other than the vDSO's
// usual one. A signal handler that generates then would find the thread's
// pool half-updated, or a set-up or a lease that its own thread is making:
// it reads the kernel directly instead.
__attribute__((tls_model("initial-exec"))) thread_local bool t_busy = false;

// What a vDSO draw came to: true, with *ok its result, when it settled the
// draw. A draw the vDSO cannot serve goes to the system call, never to the
// pool, whose bytes a VM snapshot could repeat.
bool settled_by_vdso(Draw draw, std::uint8_t *out, bool *ok) noexcept {
    switch (draw) {
        case Draw::done:
            seam::served(RandomSource::vdso);
            *ok = true;
            return true;
        case Draw::to_kernel:
            *ok = by_syscall(out);
            return true;
        case Draw::absent:
            break;
    }
    return false;
}

// Every draw but a vDSO draw with the state this thread already holds; out
// of line, so that the usual path keeps a short prologue.
[[gnu::noinline]] bool draw_guarded(std::uint8_t *out, bool vdso) noexcept {
    bool ok = false;
    if (vdso && settled_by_vdso(vdso_first_random16(out), out, &ok)) return ok;
    if (!fault::should_fail(fault::Site::pool) && pool_random16(out) == Draw::done) {
        seam::served(RandomSource::pool);
        return true;
    }
    return by_syscall(out);
}

}  // namespace

bool random16(std::uint8_t *out) noexcept {
    // The usual path: the vDSO with this thread's state. It needs no guard
    // of ours: the vDSO marks the state in use while it draws, and a signal
    // handler's draw that finds it so makes the system call itself.
    const bool vdso = !fault::should_fail(fault::Site::vdso);
    bool ok = false;
    if (vdso && settled_by_vdso(vdso_random16(out), out, &ok)) return ok;
    if (t_busy) return by_syscall(out);
    t_busy = true;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    ok = draw_guarded(out, vdso);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_busy = false;
    return ok;
}

}  // namespace varo::platform
