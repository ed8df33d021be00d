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
//   is in the middle of a draw reads the kernel directly instead of the page.
// - Any failure of the kernel source fails the draw.
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
// Set while this thread works on its pool.
__attribute__((tls_model("initial-exec"))) thread_local bool t_busy = false;

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
// only the epoch protects the page, which a raw clone() bypasses.
bool fork_safe(void *page, bool fresh) noexcept {
    if (fault::should_fail(fault::Site::wipe_on_fork)) {
        // As if the kernel had refused the advice, for a reused page too.
        if (!fresh) madvise(page, kPageSize, MADV_KEEPONFORK);
        return g_atfork_ok;
    }
    return !fresh || madvise(page, kPageSize, MADV_WIPEONFORK) == 0 || g_atfork_ok;
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
    if (!fork_safe(page, fresh)) {
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
bool draw_from(Pool *pool, std::uint8_t *out) noexcept {
    const std::uint32_t epoch = g_fork_epoch.load(std::memory_order_relaxed);
    if (pool->left < kRandomDraw || pool->epoch != epoch) {
        std::uint32_t size = pool->refill == 0 ? kFirstRefill : pool->refill * 2;
        if (size > sizeof pool->bytes) size = sizeof pool->bytes;
        if (!syscall_random(pool->bytes, size)) {
            pool->left = 0;
            return false;
        }
        pool->refill = size;
        pool->left = size;
        pool->epoch = epoch;
    }
    pool->left -= kRandomDraw;
    std::uint8_t *chunk = pool->bytes + pool->left;
    std::memcpy(out, chunk, kRandomDraw);
    wipe(chunk, kRandomDraw);
    // A signal handler may have forked between the check above and the
    // copy: in the child the page is wiped or stale, so the copy is not used.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (pool->epoch != g_fork_epoch.load(std::memory_order_relaxed)) {
        return syscall_random(out, kRandomDraw);
    }
    return true;
}

}  // namespace

bool pool_random16(std::uint8_t *out) noexcept {
    // A signal handler that generates while this thread is inside the pool
    // code would find it half-updated; it reads the kernel directly.
    if (t_busy) return syscall_random(out, kRandomDraw);
    t_busy = true;
    std::atomic_signal_fence(std::memory_order_seq_cst);

    Pool *pool = t_pool;
    if (pool == nullptr && !t_unbuffered && t_cold >= kColdDraws) {
        pool = t_pool = take_page();
        t_unbuffered = pool == nullptr;
    }
    bool ok;
    if (pool != nullptr) {
        ok = draw_from(pool, out);
    } else {
        if (t_cold < kColdDraws) ++t_cold;
        ok = syscall_random(out, kRandomDraw);
    }

    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_busy = false;
    return ok;
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
