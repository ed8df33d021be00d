// The clock of version 7 identifiers.
//
// Order across threads comes from the clock, not from a shared word: a word
// that every generation writes moves between cores on every identifier, and
// two threads then make fewer identifiers than one. Each timestamp is
// CLOCK_MONOTONIC plus a process-wide offset to CLOCK_REALTIME, in ticks of
// 2^-18 ms. CLOCK_MONOTONIC is consistent across CPUs where its source is
// the TSC, and one generation takes longer than a tick, so of two
// generations where one returns before the other starts, the second reads
// a later clock. The offset is only ever raised, so it cannot undo that:
// a wall clock stepped back leaves the timestamps running on from where
// they were, one stepped forward moves them forward at the next measure.
//
// A thread's own last timestamp breaks ties (a coarse or frozen clock):
// the timestamp is the clock or the last one plus a tick, whichever is
// greater, and a used-up millisecond carries into the next one.
//
// The tick counts are signed 64-bit numbers, and every sum and product of
// them saturates at the ends of that range instead of wrapping: a wall
// clock past the last tick reads as the end, where next_ticks() fails.
// The library is built with a 64-bit time_t (_TIME_BITS=64), so a 32-bit
// host reads the clocks past 2038 too.
#include "v7_clock.h"

#include <time.h>

#include <atomic>
#include <cstdint>

#if defined(VARO_UUID_FAULT_INJECTION)
#include "v7_clock_testing.h"
#endif

namespace varo::v7 {
namespace {

constexpr std::int64_t kUnset = INT64_MIN;
constexpr std::int64_t kTicksPerSecond = 1000 * static_cast<std::int64_t>(kTicksPerMs);
static_assert(sizeof(time_t) == 8, "the clocks need a 64-bit time_t (_TIME_BITS=64)");
// The shared offset and deadline are read in signal handlers: a 64-bit
// atomic that needs a lock (i386 without cmpxchg8b) could deadlock there.
static_assert(std::atomic<std::int64_t>::is_always_lock_free, "64-bit atomics must be lock-free");

// Read by every generation, written about once a second: the line stays
// shared in every core's cache. Constant-initialised, so nothing runs at
// load; the first generation measures the offset.
struct alignas(64) Shared {
    std::atomic<std::int64_t> offset{kUnset};  // CLOCK_REALTIME - CLOCK_MONOTONIC
    std::atomic<std::int64_t> deadline{0};     // CLOCK_MONOTONIC at which to measure again
};
Shared g_shared;

// This thread's last timestamp; a forked child inherits its parent
// thread's and goes on from it.
__attribute__((tls_model("initial-exec"))) thread_local std::uint64_t t_last = 0;

#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<bool> g_fake{false};
std::atomic<std::int64_t> g_fake_mono{0}, g_fake_real{0}, g_fake_real_s{0};
#endif

// What a result that does not fit is taken as: the end of the range on
// its side. INT64_MIN is left to kUnset alone.
std::int64_t saturated(bool negative) noexcept { return negative ? INT64_MIN + 1 : INT64_MAX; }

std::int64_t add(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? saturated(b < 0) : sum;
}

std::int64_t ticks_of(const timespec &ts) noexcept {
    std::int64_t ticks;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(ts.tv_sec), kTicksPerSecond, &ticks)) {
        return saturated(ts.tv_sec < 0);
    }
    // tv_nsec << 18 stays below 2^48: no overflow.
    return add(ticks, static_cast<std::int64_t>(
                          (static_cast<std::uint64_t>(ts.tv_nsec) << kFractionBits) / 1000000u));
}

std::int64_t clock_ticks(clockid_t id) noexcept {
    timespec ts;
#if defined(VARO_UUID_FAULT_INJECTION)
    if (g_fake.load(std::memory_order_relaxed)) {
        const std::int64_t ns = (id == CLOCK_REALTIME ? g_fake_real : g_fake_mono).load();
        ts.tv_sec = ns / 1000000000 + (id == CLOCK_REALTIME ? g_fake_real_s.load() : 0);
        ts.tv_nsec = ns % 1000000000;
        return ticks_of(ts);
    }
#endif
    clock_gettime(id, &ts);
    return ticks_of(ts);
}

// Measures the offset and raises the shared one to it. The wall clock is
// read first: a pause between the two reads then makes the measure too
// small, which the next one mends, never too great, which would stay.
void measure() noexcept {
    const std::int64_t real = clock_ticks(CLOCK_REALTIME);
    const std::int64_t offset = add(real, -clock_ticks(CLOCK_MONOTONIC));
    std::int64_t seen = g_shared.offset.load(std::memory_order_relaxed);
    while (seen < offset &&
           !g_shared.offset.compare_exchange_weak(seen, offset, std::memory_order_relaxed)) {
    }
}

// When the deadline has passed, and while no offset is known: at first use,
// and in a thread that finds the first measure claimed by another that has
// not stored it yet. The thread whose compare-and-swap moves the deadline
// on measures; a thread that finds no offset measures too (the greatest
// stays). Returns the offset to use.
__attribute__((noinline, cold)) std::int64_t remeasure(std::int64_t mono,
                                                       std::int64_t deadline) noexcept {
    const bool mine = mono >= deadline &&
                      g_shared.deadline.compare_exchange_strong(deadline, mono + kTicksPerSecond,
                                                                std::memory_order_relaxed);
    if (mine || g_shared.offset.load(std::memory_order_relaxed) == kUnset) measure();
    return g_shared.offset.load(std::memory_order_relaxed);
}

// Replaces *word by `desired` when it still holds `expected`; else loads
// it into `expected`. Only this thread and its signal handlers touch the
// word, so it needs to be atomic against a signal only: on x86-64 one
// cmpxchg without the lock prefix, which a signal cannot split.
inline bool replace_if_unchanged(std::uint64_t *word, std::uint64_t &expected,
                                 std::uint64_t desired) noexcept {
#if defined(__x86_64__)
    bool done;
    __asm__ volatile("cmpxchgq %3, %1"
                     : "=@ccz"(done), "+m"(*word), "+a"(expected)
                     : "r"(desired)
                     : "memory");
    return done;
#else
    return __atomic_compare_exchange_n(word, &expected, desired, false, __ATOMIC_RELAXED,
                                       __ATOMIC_RELAXED);
#endif
}

}  // namespace

std::uint64_t next_ticks() noexcept {
    const std::int64_t mono = clock_ticks(CLOCK_MONOTONIC);
    const std::int64_t deadline = g_shared.deadline.load(std::memory_order_relaxed);
    std::int64_t offset = g_shared.offset.load(std::memory_order_relaxed);
    if (mono >= deadline || offset == kUnset) [[unlikely]]
        offset = remeasure(mono, deadline);
    const std::int64_t wall = add(mono, offset);
    const std::uint64_t now = wall < 0 ? 0 : static_cast<std::uint64_t>(wall);
    // A signal handler that generates between the load and the replacement
    // makes the replacement fail; the loop then goes on from the handler's
    // timestamp, so neither repeats nor goes back.
    std::uint64_t last = __atomic_load_n(&t_last, __ATOMIC_RELAXED);
    std::uint64_t next;
    do {
        next = now > last ? now : last + 1;
        // A saturated clock reads INT64_MAX, kEndTicks: past the end.
        if (next >= kEndTicks) [[unlikely]]
            return kNoTicks;
    } while (!replace_if_unchanged(&t_last, last, next));
    return next;
}

#if defined(VARO_UUID_FAULT_INJECTION)
namespace testing {

void set_clocks(std::int64_t mono_ns, std::int64_t real_ns, std::int64_t real_s) noexcept {
    g_fake_mono.store(mono_ns);
    g_fake_real.store(real_ns);
    g_fake_real_s.store(real_s);
    g_fake.store(true);
}

void use_system_clocks() noexcept {
    g_fake.store(false);
}

void forget_offset() noexcept { g_shared.offset.store(kUnset); }

void reset() noexcept {
    g_shared.offset.store(kUnset);
    g_shared.deadline.store(0);
    t_last = 0;
}

}  // namespace testing
#endif

}  // namespace varo::v7
