// Generation on each source of random bytes, forced through the internal
// library's fault seam, so that kernels without the vDSO getrandom are
// measured too: one identifier at a time, whole short-lived threads beside
// threads that make the same number of getrandom(16) calls, and beside a
// thousand live threads that hold states or pages.
//
// Names are "group/who[/source]": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>

#include <climits>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "thread_life.h"
#include "varo_uuid.h"

namespace {

using benchmark::State;
using varo::fault::Site;

// Forces `source` for the whole run of one benchmark.
void force(const char *source) {
    varo::fault::disarm_all();
    if (source[0] == 'v') return;
    varo::fault::arm(Site::vdso, 0, INT_MAX);
    if (source[0] == 's') varo::fault::arm(Site::pool, 0, INT_MAX);
}

void on_buf(State &state, const char *source) {
    force(source);
    char buf[VARO_UUID_TEXT_SIZE];
    for (auto _ : state) {
        if (varo_uuid_generate_on_buf(buf) != 0) {
            state.SkipWithError("varo_uuid_generate_on_buf failed");
            break;
        }
        benchmark::DoNotOptimize(buf);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void thread_life_on(State &state, const char *source) {
    force(source);
    varo::bench::thread_life(state, varo::bench::make_identifiers);
}

// Threads that each hold a state or page of the source in force, alive
// until the crowd is destroyed: a server's worker pool.
class Crowd {
  public:
    explicit Crowd(int threads) {
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, 64 * 1024);
        for (int i = 0; i < threads; ++i) {
            pthread_t thread;
            if (pthread_create(&thread, &attr, hold, this) != 0) break;
            threads_.push_back(thread);
        }
        pthread_attr_destroy(&attr);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return holding_ == threads_.size(); });
    }
    ~Crowd() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        for (pthread_t thread : threads_) pthread_join(thread, nullptr);
    }
    Crowd(const Crowd &) = delete;
    Crowd &operator=(const Crowd &) = delete;

  private:
    static void *hold(void *arg) {
        auto *crowd = static_cast<Crowd *>(arg);
        varo::bench::make_identifiers(8);  // past the pool's first draws
        std::unique_lock lock(crowd->mutex_);
        ++crowd->holding_;
        crowd->changed_.notify_all();
        crowd->changed_.wait(lock, [&] { return crowd->done_; });
        return nullptr;
    }
    std::vector<pthread_t> threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t holding_ = 0;
    bool done_ = false;
};

// A short-lived thread's life beside range(1) live threads that hold slots.
void thread_life_beside(State &state, const char *source) {
    force(source);
    const Crowd crowd(static_cast<int>(state.range(1)));
    varo::bench::thread_life(state, varo::bench::make_identifiers);
}

}  // namespace

int main(int argc, char **argv) {
    for (const char *source : {"pool", "syscall"}) {
        const std::string s = source;
        benchmark::RegisterBenchmark(("generate/on_buf/" + s).c_str(), on_buf, source);
        for (int n : {1, 8}) {
            benchmark::RegisterBenchmark(("thread_life/ours/" + s).c_str(), thread_life_on, source)
                ->Arg(n)
                ->UseRealTime();
        }
    }
    // The whole life of a short-lived thread beside 1,000 live threads that
    // hold slots, and beside none: the vDSO's first draw takes a state, the
    // pool's third a page.
    for (const char *source : {"vdso", "pool"}) {
        const int n = source[0] == 'p' ? 3 : 1;
        for (int live : {0, 1000}) {
            benchmark::RegisterBenchmark(("thread_life/beside/" + std::string(source)).c_str(),
                                         thread_life_beside, source)
                ->Args({n, live})
                ->UseRealTime();
        }
    }
    for (int n : {1, 8}) {
        benchmark::RegisterBenchmark("thread_life/getrandom16/sources", varo::bench::thread_life,
                                     varo::bench::make_getrandom16)
            ->Arg(n)
            ->UseRealTime();
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
