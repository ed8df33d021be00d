// Random GUIDs from the kernel's CSPRNG, drawn in batches.
//
// A getrandom() call per GUID costs far more than everything else in
// generation, so each thread keeps one page of kernel output and hands out
// each of its bytes once, wiping every chunk as it is taken.
//
// Safety of the buffered bytes:
// - The page is MADV_WIPEONFORK: a child made by fork() or a raw clone()
//   sees it zero-filled, which reads as "empty", so it never reuses the
//   parent's bytes. Where the kernel refuses that advice, a pthread_atfork()
//   handler bumps an epoch that every draw compares against instead.
// - The page is MADV_DONTDUMP, so core dumps do not hold unused bytes.
// - A thread's page is unmapped when the thread exits.
// - The hot path takes no lock: each thread touches only its own page. A
//   signal handler that generates while its thread is in the middle of a
//   draw reads the kernel directly instead of the page.
// - When the page cannot be had, each GUID falls back to its own
//   getrandom() call; any failure of the kernel source fails the GUID.
#include "platform/guid.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/fault.h"

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kGuidSize = sizeof(GUID);

// One page: a small header, then kernel output consumed from the end.
struct Pool {
    std::uint32_t left;   // unused bytes at the start of `bytes`
    std::uint32_t epoch;  // fork epoch when filled
    std::uint8_t pad[8];
    std::uint8_t bytes[kPageSize - 16];
};
static_assert(sizeof(Pool) == kPageSize);
static_assert(sizeof(Pool::bytes) % kGuidSize == 0);

// Bumped in the child after every fork(); a pool filled in another epoch is
// treated as empty.
std::atomic<std::uint32_t> g_fork_epoch{1};

pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_key_t g_key;
bool g_key_ok = false;
bool g_atfork_ok = false;

#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<long> g_live_pools{0};
#endif

// initial-exec: one load from the thread pointer on the hot path.
__attribute__((tls_model("initial-exec"))) thread_local Pool *t_pool = nullptr;
// Set once this thread could not get a page, so it stops trying.
__attribute__((tls_model("initial-exec"))) thread_local bool t_unbuffered = false;
// Set while this thread works on its pool.
__attribute__((tls_model("initial-exec"))) thread_local bool t_busy = false;

void wipe(void *p, std::size_t n) noexcept { explicit_bzero(p, n); }

// Reads exactly `n` bytes from the kernel CSPRNG, retrying on EINTR and
// short reads. Returns false on any other failure.
bool read_kernel_random(void *dst, std::size_t n) noexcept {
    if (varo::fault::should_fail(varo::fault::Site::entropy)) return false;
    auto *p = static_cast<std::uint8_t *>(dst);
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

void release_pool(void *pool) noexcept {
    // Runs in the exiting thread, so t_pool is that thread's own. A later
    // thread-exit handler that generates reads the kernel directly, rather
    // than map a page that nothing would release.
    t_pool = nullptr;
    t_unbuffered = true;
    munmap(pool, kPageSize);
#if defined(VARO_UUID_FAULT_INJECTION)
    g_live_pools.fetch_sub(1, std::memory_order_relaxed);
#endif
}

void after_fork_in_child() noexcept { g_fork_epoch.fetch_add(1, std::memory_order_relaxed); }

void init_once() noexcept {
    g_key_ok = pthread_key_create(&g_key, release_pool) == 0;
    g_atfork_ok = pthread_atfork(nullptr, nullptr, after_fork_in_child) == 0;
}

Pool *new_pool() noexcept {
    pthread_once(&g_once, init_once);
    if (!g_key_ok) return nullptr;
    void *page = mmap(nullptr, kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                      -1, 0);
    if (page == MAP_FAILED) return nullptr;
    // Without wipe-on-fork only the atfork epoch protects the page, which a
    // raw clone() bypasses; with neither, the thread does not buffer.
    const bool wiped = !varo::fault::should_fail(varo::fault::Site::wipe_on_fork) &&
                       madvise(page, kPageSize, MADV_WIPEONFORK) == 0;
    madvise(page, kPageSize, MADV_DONTDUMP);
    if ((!wiped && !g_atfork_ok) || pthread_setspecific(g_key, page) != 0) {
        munmap(page, kPageSize);
        return nullptr;
    }
#if defined(VARO_UUID_FAULT_INJECTION)
    g_live_pools.fetch_add(1, std::memory_order_relaxed);
#endif
    return static_cast<Pool *>(page);
}

// Takes 16 bytes from this thread's pool, refilling it when it is empty or
// was filled before a fork.
bool draw_from(Pool *pool, std::uint8_t *out) noexcept {
    const std::uint32_t epoch = g_fork_epoch.load(std::memory_order_relaxed);
    if (pool->left < kGuidSize || pool->epoch != epoch) {
        if (!read_kernel_random(pool->bytes, sizeof pool->bytes)) {
            pool->left = 0;
            return false;
        }
        pool->left = sizeof pool->bytes;
        pool->epoch = epoch;
    }
    pool->left -= kGuidSize;
    std::uint8_t *chunk = pool->bytes + pool->left;
    std::memcpy(out, chunk, kGuidSize);
    wipe(chunk, kGuidSize);
    // A signal handler may have forked between the check above and the
    // copy: in the child the page is wiped or stale, so the copy is not used.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (pool->epoch != g_fork_epoch.load(std::memory_order_relaxed)) {
        return read_kernel_random(out, kGuidSize);
    }
    return true;
}

// Takes 16 fresh bytes, from this thread's pool when it has one.
bool draw(std::uint8_t *out) noexcept {
    // A signal handler that generates while this thread is inside the pool
    // code would find it half-updated; it reads the kernel directly.
    if (t_busy) return read_kernel_random(out, kGuidSize);
    t_busy = true;
    std::atomic_signal_fence(std::memory_order_seq_cst);

    Pool *pool = t_pool;
    if (pool == nullptr && !t_unbuffered) {
        pool = t_pool = new_pool();
        t_unbuffered = pool == nullptr;
    }
    const bool ok = pool != nullptr ? draw_from(pool, out) : read_kernel_random(out, kGuidSize);

    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_busy = false;
    return ok;
}

}  // namespace

#if defined(VARO_UUID_FAULT_INJECTION)
long varo::platform::guid_live_pools() noexcept { return g_live_pools.load(); }
#endif

extern "C" HRESULT CoCreateGuid(GUID *guid) noexcept {
    if (varo::fault::should_fail(varo::fault::Site::guid)) return E_FAIL;
    std::uint8_t bytes[kGuidSize];
    if (!draw(bytes)) return E_FAIL;
    // RFC 9562 version 4 in the top nibble of Data3, variant 10 in the top
    // bits of Data4[0]. Data3 is little-endian, so its top nibble is byte 7
    // whatever the host's byte order.
    bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    std::memcpy(guid, bytes, sizeof *guid);
    return S_OK;
}
