// One-time set-up of a random source without a lock.
#ifndef VARO_UUID_PLATFORM_RANDOM_ONCE_H
#define VARO_UUID_PLATFORM_RANDOM_ONCE_H

#include <atomic>

namespace varo::platform {

// The first caller runs the set-up; a caller that comes while it runs is
// told "not yet" instead of waiting for it, so a signal handler that draws
// while its own thread is setting up never waits on that thread. A child
// forked in the middle of a set-up keeps "not yet" for good, and draws by
// system call.
class Once {
  public:
    enum Result { ready, not_yet, failed };

    template <class Setup>
    Result run(Setup setup) noexcept {
        int state = state_.load(std::memory_order_acquire);
        if (state == kUnknown &&
            state_.compare_exchange_strong(state, kRunning, std::memory_order_acquire)) {
            state = setup() ? kReady : kFailed;
            state_.store(state, std::memory_order_release);
        }
        return state == kReady ? ready : state == kFailed ? failed : not_yet;
    }

    bool done() const noexcept { return state_.load(std::memory_order_acquire) == kReady; }

  private:
    enum : int { kUnknown, kRunning, kReady, kFailed };
    std::atomic<int> state_{kUnknown};
};

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_ONCE_H
