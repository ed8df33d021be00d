// Random bytes buffered per thread, for kernels whose vDSO has no getrandom.
//
// A getrandom() system call per draw costs far more than everything else in
// generation, so a thread that keeps drawing holds one page of kernel
// output and hands out each of its bytes once, wiping every 16-byte chunk as
// it is taken. A thread starts cheap: its first draws go straight to the
// kernel, and its refills grow from 64 bytes, doubling up to the page.
//
// Safety of the buffered bytes:
// - The page is MADV_WIPEONFORK: a child made by fork() or a raw clone()
//   sees it zero-filled, which reads as "empty", so it never reuses the
//   parent's bytes. Where the kernel refuses that advice, a pthread_atfork()
//   handler bumps an epoch that every draw compares against instead; with
//   neither, the thread does not buffer.
// - The page is MADV_DONTDUMP, so core dumps do not hold unused bytes.
// - A VM snapshot is not seen here: every VM restored from one snapshot
//   hands out the rest of each thread's buffered bytes, up to a page of them.
//   Kernels with the vDSO getrandom are not exposed to this.
// - When a thread exits, its unused bytes are wiped and the page goes on a
//   process-wide stack for the next new thread; pages are never unmapped.
// - The hot path takes no lock. A signal handler that draws while its thread
//   is in the middle of a draw reads the kernel directly (random.cpp).
// - A failed refill sends the draw to the system call; when that fails too,
//   the draw fails.
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/fault.h"
#include "platform/random.h"
#include "platform/slot_stack.h"

namespace varo::platform {
namespace {

constexpr std::size_t kPageSize = 4096;

// One page: a small header, then kernel output consumed from the end of the
// part the last refill filled.
struct Pool {
    std::uint32_t left;    // bytes at the start of `bytes` still to hand out
    std::uint32_t epoch;   // fork epoch of the last refill
    std::uint32_t refill;  // size of the last refill, 0 before the first
    std::uint8_t pad[4];
    std::uint8_t bytes[kPageSize - 16];
};
static_assert(sizeof(Pool) == kPageSize);
static_assert(sizeof(Pool::bytes) % kRandomDraw == 0);

// Draws a thread makes by system call before it takes a page.
constexpr unsigned kColdDraws = 2;
constexpr std::uint32_t kFirstRefill = 64;

// One page a chunk; a process with more threads drawing at once than this
// serves the extra threads by system call.
using Pages = SlotStack<1, 4096>;
Pages g_pages;

// Bumped in the child after every fork(); a pool filled in another epoch is
// treated as empty.
std::atomic<std::uint32_t> g_fork_epoch{1};

pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_key_t g_key;
bool g_key_ok = false;
bool g_atfork_ok = false;

#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<long> g_in_use{0};
#endif

__attribute__((tls_model("initial-exec"))) thread_local Pool *t_pool = nullptr;
// This thread's page, as the stack names it.
__attribute__((tls_model("initial-exec"))) thread_local std::uint32_t t_page = Pages::kNone;
// Draws this thread made before taking a page.
__attribute__((tls_model("initial-exec"))) thread_local unsigned char t_cold = 0;
// Set once this thread has given its page back or could not get one.
__attribute__((tls_model("initial-exec"))) thread_local bool t_unbuffered = false;

void wipe(void *p, std::size_t n) noexcept { explicit_bzero(p, n); }

void give_back(void *) noexcept {
    // Runs in the exiting thread, so t_pool is that thread's own. A later
    // thread-exit handler that generates reads the kernel directly, rather
    // than take a page that nothing would give back.
    Pool *pool = t_pool;
    wipe(pool->bytes, pool->left);
    pool->left = 0;
    pool->refill = 0;
    t_pool = nullptr;
    t_unbuffered = true;
    g_pages.push(t_page);
    t_page = Pages::kNone;
#if defined(VARO_UUID_FAULT_INJECTION)
    g_in_use.fetch_sub(1, std::memory_order_relaxed);
#endif
}

void after_fork_in_child() noexcept { g_fork_epoch.fetch_add(1, std::memory_order_relaxed); }

void init_once() noexcept {
    g_key_ok = pthread_key_create(&g_key, give_back) == 0;
    g_atfork_ok = pthread_atfork(nullptr, nullptr, after_fork_in_child) == 0;
}

// True when a fork cannot hand the page's bytes to a child: the page is
// wiped on fork, or the fork handler's epoch guards it. Without wipe-on-fork
// only the epoch protects the page, which a raw clone() bypasses. The advice
// is given again to a reused page: it costs one call per thread.
bool fork_safe(void *page) noexcept {
    if (fault::should_fail(fault::Site::wipe_on_fork)) {
        // As if the kernel had refused the advice, for a reused page too.
        madvise(page, kPageSize, MADV_KEEPONFORK);
        return g_atfork_ok;
    }
    return madvise(page, kPageSize, MADV_WIPEONFORK) == 0 || g_atfork_ok;
}

// A page for this thread: an exited thread's, or a new one.
Pool *take_page() noexcept {
    pthread_once(&g_once, init_once);
    if (!g_key_ok) return nullptr;
    std::uint32_t index = g_pages.pop();
    const bool fresh = index == Pages::kNone;
    void *page = nullptr;
    if (fresh) {
        page = mmap(nullptr, kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) return nullptr;
        madvise(page, kPageSize, MADV_DONTDUMP);
    } else {
        page = g_pages.address(index);
    }
    if (!fork_safe(page)) {
        if (fresh) munmap(page, kPageSize);
        else g_pages.push(index);
        return nullptr;
    }
    if (fresh) {
        index = g_pages.add_chunk(static_cast<std::uint8_t *>(page), 1, kPageSize);
        if (index == Pages::kNone) {
            munmap(page, kPageSize);
            return nullptr;
        }
    }
    if (pthread_setspecific(g_key, page) != 0) {
        g_pages.push(index);
        return nullptr;
    }
#if defined(VARO_UUID_FAULT_INJECTION)
    g_in_use.fetch_add(1, std::memory_order_relaxed);
#endif
    t_page = index;
    return static_cast<Pool *>(page);
}

// Takes 16 bytes from this thread's pool, refilling it when it is empty or
// was filled before a fork.
//
// A signal handler may fork (with _Fork() or a raw clone(), which run no
// fork handler) at any point here. The child's wiped page then reads epoch
// 0, which no fork epoch equals: the epoch is stored before a refill and
// compared again after the copy, so the child never hands out what the
// page held, nor the zeros it holds after the wipe.
bool draw_from(Pool *pool, std::uint8_t *out) noexcept {
    const std::uint32_t epoch = g_fork_epoch.load(std::memory_order_relaxed);
    std::uint32_t left = pool->left;
    if (left < kRandomDraw || pool->epoch != epoch) {
        std::uint32_t size = pool->refill == 0 ? kFirstRefill : pool->refill * 2;
        if (size > sizeof pool->bytes) size = sizeof pool->bytes;
        pool->left = 0;  // empty until the fill is complete
        pool->epoch = epoch;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (!syscall_random(pool->bytes, size)) return false;
        pool->refill = size;
        left = size;
    }
    left -= kRandomDraw;
    pool->left = left;
    std::uint8_t *chunk = pool->bytes + left;
    std::memcpy(out, chunk, kRandomDraw);
    wipe(chunk, kRandomDraw);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return pool->epoch == g_fork_epoch.load(std::memory_order_relaxed);
}

}  // namespace

Draw pool_random16(std::uint8_t *out) noexcept {
    Pool *pool = t_pool;
    if (pool == nullptr) {
        // A thread's first draws, and every draw of a thread that cannot
        // keep a page, go to the system call.
        if (t_unbuffered) return Draw::to_kernel;
        if (t_cold < kColdDraws) {
            ++t_cold;
            return Draw::to_kernel;
        }
        pool = t_pool = take_page();
        if (pool == nullptr) {
            t_unbuffered = true;
            return Draw::to_kernel;
        }
    }
    return draw_from(pool, out) ? Draw::done : Draw::to_kernel;
}

#if defined(VARO_UUID_FAULT_INJECTION)
long pool_pages_in_use() noexcept { return g_in_use.load(); }
long pool_pages() noexcept { return g_pages.chunks(); }
PoolView pool_view() noexcept {
    if (t_pool == nullptr) return {nullptr, 0, 0};
    return {t_pool->bytes, sizeof t_pool->bytes, t_pool->left};
}
#endif

}  // namespace varo::platform
