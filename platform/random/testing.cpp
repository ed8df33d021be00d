// The state of the random engine's seams; compiled only into the internal
// test library.
#include "platform/random/testing.h"

#include <atomic>

namespace varo::platform {
namespace {

std::atomic<long> g_draws[3];
std::atomic<std::size_t> g_syscall_cap{0};
std::atomic<long> g_vdso_result{0};
std::atomic<int> g_vdso_rewrites{0};
std::atomic<void (*)()> g_race_hook{nullptr};
std::atomic<void (*)()> g_popped_hook{nullptr};
std::atomic<long> g_slots[4];
std::atomic<long> g_holders_asked{0};
std::atomic<bool> g_ignore_advice{false};

}  // namespace

long random_draws(RandomSource source) noexcept {
    return g_draws[static_cast<int>(source)].load(std::memory_order_relaxed);
}

void cap_syscall_length(std::size_t most) noexcept { g_syscall_cap.store(most); }

void rewrite_vdso_results(long result, int times) noexcept {
    g_vdso_result.store(result);
    g_vdso_rewrites.store(times);
}

long slots_taken(SlotOrigin origin) noexcept {
    return g_slots[static_cast<int>(origin)].load(std::memory_order_relaxed);
}

long holders_asked() noexcept { return g_holders_asked.load(std::memory_order_relaxed); }

void on_slot_stack_race(void (*hook)()) noexcept { g_race_hook.store(hook); }

void on_slot_popped(void (*hook)()) noexcept { g_popped_hook.store(hook); }

void ignore_advice() noexcept { g_ignore_advice.store(true); }

namespace seam {

void served(RandomSource source) noexcept {
    g_draws[static_cast<int>(source)].fetch_add(1, std::memory_order_relaxed);
}

std::size_t syscall_length(std::size_t n) noexcept {
    const std::size_t cap = g_syscall_cap.load(std::memory_order_relaxed);
    return cap != 0 && n > cap ? cap : n;
}

long vdso_result(long got) noexcept {
    if (g_vdso_rewrites.load(std::memory_order_relaxed) <= 0) return got;
    return g_vdso_rewrites.fetch_sub(1) > 0 ? g_vdso_result.load() : got;
}

void slot_stack_between() noexcept {
    if (void (*hook)() = g_race_hook.load(std::memory_order_relaxed)) hook();
}

void slot_taken(SlotOrigin origin) noexcept {
    g_slots[static_cast<int>(origin)].fetch_add(1, std::memory_order_relaxed);
}

void slot_popped() noexcept {
    if (void (*hook)() = g_popped_hook.load(std::memory_order_relaxed)) hook();
}

void holder_asked() noexcept { g_holders_asked.fetch_add(1, std::memory_order_relaxed); }

bool advice_applied() noexcept { return !g_ignore_advice.load(std::memory_order_relaxed); }

}  // namespace seam
}  // namespace varo::platform
