// Fault injection counters; compiled only into the internal test library.
#include "platform/fault.h"

#include <atomic>

namespace varo::fault {
namespace {

constexpr int kSites = static_cast<int>(Site::avx2) + 1;  // the last site

struct Plan {
    std::atomic<int> skip{0};
    std::atomic<int> times{0};
    std::atomic<long> calls{0};
};

Plan g_plans[kSites];

Plan &plan(Site site) noexcept { return g_plans[static_cast<int>(site)]; }

}  // namespace

void arm(Site site, int skip, int times) noexcept {
    plan(site).skip.store(skip);
    plan(site).times.store(times);
}

void disarm_all() noexcept {
    for (Plan &p : g_plans) {
        p.times.store(0);
        p.skip.store(0);
    }
}

bool should_fail(Site site) noexcept {
    Plan &p = plan(site);
    p.calls.fetch_add(1, std::memory_order_relaxed);
    if (p.times.load(std::memory_order_relaxed) <= 0) return false;
    if (p.skip.fetch_sub(1) > 0) return false;
    return p.times.fetch_sub(1) > 0;
}

long calls(Site site) noexcept { return plan(site).calls.load(std::memory_order_relaxed); }

}  // namespace varo::fault
