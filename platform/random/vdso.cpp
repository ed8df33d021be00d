// Random bytes from the kernel's vDSO getrandom.
//
// The vDSO function runs ChaCha20 in user space with a key that the kernel
// hands it, in a state the caller provides:
//   ssize_t getrandom(void *buf, size_t len, unsigned flags,
//                     void *state, size_t state_len);
// Called as (null, 0, 0, &params, ~0UL) it describes the states it wants:
// their size and the mmap() protection and flags to map them with. The
// kernel maps them droppable, wiped on fork and left out of core dumps, and
// it re-keys a state whenever its own generation moves on: after a fork (the
// state reads as zero), after a VM snapshot is restored, and on reseeding.
//
// Each thread holds one state, leased to it for life (slots.h). States are
// mapped a page at a time, and a page is never unmapped: the states of
// exited threads serve new threads.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/random/once.h"
#include "platform/random/slots.h"
#include "platform/random/sources.h"
#if defined(VARO_UUID_FAULT_INJECTION)
#include "platform/random/testing.h"
#endif
#include "platform/random/vdso_symbol.h"

namespace varo::platform {
namespace {

using GetrandomFn = long (*)(void *buf, std::size_t len, unsigned flags, void *state,
                             std::size_t state_len);

// The name and symbol version of the function in each architecture's vDSO.
struct Export {
    const char *name;
    const char *version;
};
#if defined(__x86_64__)
constexpr Export kGetrandom{"__vdso_getrandom", "LINUX_2.6"};
#elif defined(__aarch64__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.39"};
#elif defined(__s390x__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.29"};
#elif defined(__powerpc64__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.15"};
#elif defined(__loongarch64)
constexpr Export kGetrandom{"__vdso_getrandom", "LINUX_5.10"};
#else
constexpr Export kGetrandom{nullptr, nullptr};  // no vDSO getrandom here
#endif

// What the vDSO reports of its states.
struct StateParams {
    std::uint32_t size_of_opaque_state;
    std::uint32_t mmap_prot;
    std::uint32_t mmap_flags;
    std::uint32_t reserved[13];
};

// 64 states a page at most, 1024 pages: a process with more threads alive at
// once than that draws the extra threads' bytes by system call.
constexpr std::uint32_t kMaxStatesPerPage = 64;
Slots<kMaxStatesPerPage, 1024> g_states;

constexpr std::size_t kCacheLine = 64;

struct Vdso {
    GetrandomFn getrandom;
    std::size_t state_size;  // as the vDSO wants it passed
    std::uint32_t stride;    // state_size rounded up to a cache line
    std::uint32_t per_page;
    std::size_t page_size;
    int prot;
    int flags;
};
Vdso g_vdso;  // written once, by the set-up, before g_setup says ready
Once g_setup;

// This thread's state, its slot and its lease; no state while the lease is
// 0 or the table no longer holds it (in a child after fork). One record, so
// that the hot path finds it from one thread-pointer offset.
struct Mine {
    void *state;
    std::uint64_t lease;
    std::uint32_t slot;
    bool stateless;  // could not get a state: draws go to the system call
};
__attribute__((tls_model("initial-exec"))) thread_local Mine t_mine{};

bool setup() noexcept {
    const auto fn = reinterpret_cast<GetrandomFn>(
        kGetrandom.name != nullptr ? vdso_symbol(kGetrandom.name, kGetrandom.version) : nullptr);
    if (fn == nullptr) return false;
    StateParams params{};
    if (fn(nullptr, 0, 0, &params, ~std::size_t{0}) != 0) return false;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t size = params.size_of_opaque_state;
    const std::size_t stride = (size + kCacheLine - 1) / kCacheLine * kCacheLine;
    if (size == 0 || page <= 0 || stride > static_cast<std::size_t>(page)) return false;
    // The states are kept from a child only by the kernel's wipe, of them
    // and of their lease table: where advice is not applied, no state is
    // used.
    if (!g_states.map_leases()) return false;
    const std::size_t per_page = static_cast<std::size_t>(page) / stride;
    g_vdso = Vdso{fn,
                  size,
                  static_cast<std::uint32_t>(stride),
                  static_cast<std::uint32_t>(per_page < kMaxStatesPerPage ? per_page : kMaxStatesPerPage),
                  static_cast<std::size_t>(page),
                  static_cast<int>(params.mmap_prot),
                  static_cast<int>(params.mmap_flags)};
    return true;
}

// A state for this thread: a free one, an exited thread's, or one of a new
// page. kNone when the process holds all it may, or when it cannot map a
// page; kBusy while another thread maps one.
std::uint32_t take_state(std::uint64_t lease) noexcept {
    std::uint32_t chunk;
    const std::uint32_t slot = g_states.take(lease, &chunk);
    if (slot != g_states.kNone || chunk == g_states.kNone || chunk == g_states.kBusy) {
        return slot != g_states.kNone ? slot : chunk;
    }
    // The protection and flags exactly as the vDSO asked for them.
    void *page = mmap(nullptr, g_vdso.page_size, g_vdso.prot, g_vdso.flags, -1, 0);
    std::uint8_t *base = page == MAP_FAILED ? nullptr : static_cast<std::uint8_t *>(page);
    return g_states.publish(chunk, base, g_vdso.per_page, g_vdso.stride, lease);
}

Draw draw_with(void *state, std::uint8_t *out) noexcept {
    if (fault::should_fail(fault::Site::vdso_draw)) return Draw::to_kernel;
    const long got =
        seam::vdso_result(g_vdso.getrandom(out, kRandomDraw, 0, state, g_vdso.state_size));
    return got == static_cast<long>(kRandomDraw) ? Draw::done : Draw::to_kernel;
}

// Leases a state to this thread (done), or says where its draw goes.
Draw lease_a_state() noexcept {
    switch (g_setup.run(setup)) {
        case Once::failed: return Draw::absent;
        case Once::not_yet: return Draw::to_kernel;  // another thread is looking
        case Once::ready: break;
    }
    if (t_mine.stateless) return Draw::to_kernel;
    const std::uint64_t lease = leases::make();
    const std::uint32_t slot = take_state(lease);
    if (slot == g_states.kBusy) return Draw::to_kernel;  // a later draw asks again
    if (slot == g_states.kNone) {
        t_mine.stateless = true;
        return Draw::to_kernel;
    }
    t_mine.state = g_states.address(slot);
    t_mine.slot = slot;
    t_mine.lease = lease;
    return Draw::done;
}

}  // namespace

Draw vdso_random16(std::uint8_t *out) noexcept {
    const Mine &mine = t_mine;
    if (mine.lease != 0 && g_states.held(mine.slot, mine.lease)) [[likely]] {
        return draw_with(mine.state, out);
    }
    return Draw::absent;
}

Draw vdso_first_random16(std::uint8_t *out) noexcept {
    const int saved_errno = errno;  // a signal handler's caller keeps its errno
    const Draw taken = lease_a_state();
    errno = saved_errno;
    return taken == Draw::done ? draw_with(t_mine.state, out) : taken;
}

#if defined(VARO_UUID_FAULT_INJECTION)
// ---- For tests (testing.h) ------------------------------------------------

bool vdso_getrandom_found() noexcept { return g_setup.run(setup) == Once::ready; }
const void *vdso_state_of_this_thread() noexcept {
    return t_mine.lease != 0 && g_states.held(t_mine.slot, t_mine.lease) ? t_mine.state : nullptr;
}
std::size_t vdso_state_size() noexcept {
    return vdso_getrandom_found() ? g_vdso.state_size : 0;
}
long vdso_states_in_use() noexcept {
    return g_setup.done() ? g_states.held_by_live_threads() : 0;
}
long vdso_state_pages() noexcept { return g_states.chunks(); }
long vdso_states_per_page() noexcept { return vdso_getrandom_found() ? g_vdso.per_page : 0; }
#endif

}  // namespace varo::platform
