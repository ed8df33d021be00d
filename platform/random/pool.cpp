// Random bytes buffered per thread, for kernels whose vDSO has no getrandom.
//
// A getrandom() system call per draw costs far more than everything else in
// generation, so a thread that keeps drawing holds one page of kernel
// output and hands out each of its bytes once, wiping every 16-byte chunk as
// it is taken. A thread starts cheap: its first draws go straight to the
// kernel, and its refills grow from 64 bytes, doubling up to the page (at
// most 64 KiB of it, on hosts with larger pages).
//
// Safety of the buffered bytes:
// - The page is MADV_WIPEONFORK: a child made by fork() or a raw clone()
//   sees it zero-filled, which reads as "empty", and the child's lease table
//   no longer holds the page for the thread that forked (slots.h), so the
//   child never reuses its parent's bytes. Where the kernel refuses that
//   advice, or takes it without applying it (qemu-user), nothing buffers:
//   a fork handler could stand in only for fork(), not for _Fork() or a raw
//   clone(), and registering one takes the C library's fork lock and may
//   allocate, which a first draw in a signal handler must not.
// - The page is MADV_DONTDUMP, so core dumps do not hold unused bytes.
// - A VM snapshot is not seen here: every VM restored from one snapshot
//   hands out the rest of each thread's buffered bytes, up to a pool of
//   them. Kernels with the vDSO getrandom are not exposed to this.
// - The page of an exited thread goes to a later new thread, which wipes
//   what is left of it before the first refill; pages are never unmapped.
// - The hot path takes no lock. A signal handler that draws while its thread
//   is in the middle of a draw reads the kernel directly (random.cpp).
// - A failed refill sends the draw to the system call; when that fails too,
//   the draw fails.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/fault.h"
#include "platform/random/once.h"
#include "platform/random/slots.h"
#include "platform/random/sources.h"
#if defined(VARO_UUID_FAULT_INJECTION)
#include "platform/random/testing.h"
#endif

namespace varo::platform {
namespace {

// The most of a page that a pool buffers: the bound on what a restored VM
// snapshot can repeat, 4,095 identifiers a thread.
constexpr std::size_t kMaxPool = 64 * 1024;

// One page: a small header, then kernel output consumed from the end of the
// part the last refill filled.
struct Pool {
    std::uint32_t left;    // bytes at the start of `bytes` still to hand out
    std::uint32_t refill;  // size of the last refill, 0 before the first
    std::uint8_t pad[8];

    // The g_capacity bytes after the header.
    std::uint8_t *bytes() noexcept { return reinterpret_cast<std::uint8_t *>(this + 1); }
};
static_assert(sizeof(Pool) % kRandomDraw == 0);

// Draws a thread makes by system call before it takes a page.
constexpr unsigned kColdDraws = 2;
constexpr std::uint32_t kFirstRefill = 64;

// One page a chunk; a process with more threads drawing at once than this
// serves the extra threads by system call.
Slots<1, 4096> g_pages;
Once g_setup;
std::size_t g_page_size;      // written once, by the set-up
std::uint32_t g_capacity;     // bytes a pool holds

__attribute__((tls_model("initial-exec"))) thread_local Pool *t_pool = nullptr;
__attribute__((tls_model("initial-exec"))) thread_local std::uint32_t t_page = 0;
__attribute__((tls_model("initial-exec"))) thread_local std::uint64_t t_lease = 0;
// Draws this thread made before taking a page.
__attribute__((tls_model("initial-exec"))) thread_local unsigned char t_cold = 0;
// Set once this thread could not get a page.
__attribute__((tls_model("initial-exec"))) thread_local bool t_unbuffered = false;

bool setup() noexcept {
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0) return false;
    g_page_size = static_cast<std::size_t>(page);
    const std::size_t used = g_page_size < kMaxPool ? g_page_size : kMaxPool;
    g_capacity = static_cast<std::uint32_t>((used - sizeof(Pool)) / kRandomDraw * kRandomDraw);
    return g_pages.map_leases();
}

// Advises the page wiped on fork, or reports that the kernel refuses. The
// advice is given again to a reused page: it costs one call per thread.
bool wiped_on_fork(void *page) noexcept {
    if (fault::should_fail(fault::Site::wipe_on_fork)) {
        // As if the kernel had refused the advice, for a reused page too.
        madvise(page, g_page_size, MADV_KEEPONFORK);
        return false;
    }
    return madvise(page, g_page_size, MADV_WIPEONFORK) == 0;
}

// A page for this thread, leased to `lease`: a free one, an exited thread's
// (emptied and wiped here), or a new one. Null when none is to be had. (A
// page is a chunk of one slot, which a thread never waits for another to
// add.)
Pool *take_page(std::uint64_t lease) noexcept {
    std::uint32_t chunk;
    std::uint32_t index = g_pages.take(lease, &chunk);
    if (index == g_pages.kNone) {
        if (chunk == g_pages.kNone) return nullptr;
        void *page =
            mmap(nullptr, g_page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        std::uint8_t *base = page == MAP_FAILED ? nullptr : static_cast<std::uint8_t *>(page);
        if (base != nullptr) madvise(base, g_page_size, MADV_DONTDUMP);
        index = g_pages.publish(chunk, base, 1, static_cast<std::uint32_t>(g_page_size), lease);
        if (index == g_pages.kNone) return nullptr;
    }
    auto *pool = reinterpret_cast<Pool *>(g_pages.address(index));
    // A page stays leased even when it may not be used: no other thread
    // would fare better with it.
    if (!wiped_on_fork(pool)) return nullptr;
    explicit_bzero(pool->bytes(), pool->left);
    pool->left = 0;
    pool->refill = 0;
    t_page = index;
    return pool;
}

// Takes 16 bytes from this thread's pool, refilling it when it is empty.
//
// A signal handler may fork (with _Fork() or a raw clone()) at any point
// here. The child's page then reads as wiped, and its lease table no longer
// holds the page: the lease is checked again after the copy, so the child
// never hands out what the page held, nor the zeros it holds after the wipe.
bool draw_from(Pool *pool, std::uint64_t lease, std::uint8_t *out) noexcept {
    std::uint32_t left = pool->left;
    if (left < kRandomDraw) {
        std::uint32_t size = pool->refill == 0 ? kFirstRefill : pool->refill * 2;
        if (size > g_capacity) size = g_capacity;
        pool->left = 0;  // empty until the fill is complete
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (!syscall_random(pool->bytes(), size)) return false;
        pool->refill = size;
        left = size;
    }
    left -= kRandomDraw;
    pool->left = left;
    std::uint8_t *chunk = pool->bytes() + left;
    std::memcpy(out, chunk, kRandomDraw);
    explicit_bzero(chunk, kRandomDraw);
    g_pages.used(t_page);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return g_pages.held(t_page, lease);
}

Draw take_and_draw(std::uint8_t *out) noexcept {
    switch (g_setup.run(setup)) {
        case Once::failed: return Draw::absent;
        case Once::not_yet: return Draw::to_kernel;
        case Once::ready: break;
    }
    if (t_unbuffered) return Draw::to_kernel;
    if (t_cold < kColdDraws) {
        ++t_cold;
        return Draw::to_kernel;
    }
    const std::uint64_t lease = leases::make();
    Pool *pool = take_page(lease);
    if (pool == nullptr) {
        t_unbuffered = true;
        return Draw::to_kernel;
    }
    t_pool = pool;
    t_lease = lease;
    return draw_from(pool, lease, out) ? Draw::done : Draw::to_kernel;
}

// A thread's first draws, and every draw of the thread that forked in its
// child until it takes a new page.
[[gnu::noinline]] Draw first_draw(std::uint8_t *out) noexcept {
    const int saved_errno = errno;  // a signal handler's caller keeps its errno
    const Draw draw = take_and_draw(out);
    errno = saved_errno;
    return draw;
}

}  // namespace

Draw pool_random16(std::uint8_t *out) noexcept {
    const std::uint64_t lease = t_lease;
    if (lease != 0 && g_pages.held(t_page, lease)) [[likely]] {
        return draw_from(t_pool, lease, out) ? Draw::done : Draw::to_kernel;
    }
    return first_draw(out);
}

#if defined(VARO_UUID_FAULT_INJECTION)
// ---- For tests (testing.h) ------------------------------------------------

long pool_pages_in_use() noexcept { return g_setup.done() ? g_pages.held_by_live_threads() : 0; }
long pool_pages() noexcept { return g_pages.chunks(); }
bool pool_wiped_by_kernel() noexcept { return g_setup.run(setup) == Once::ready; }
PoolView pool_view() noexcept {
    if (t_lease == 0 || !g_pages.held(t_page, t_lease)) return {nullptr, 0, 0};
    return {t_pool->bytes(), g_capacity, t_pool->left};
}
#endif

}  // namespace varo::platform
