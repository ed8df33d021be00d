// A whole short-lived thread as one benchmark iteration: create it, let it
// do `work(n)`, let it exit, join it. Its cost is wall-clock time, since the
// thread's own CPU time is not the benchmark thread's.
#ifndef VARO_UUID_BENCH_THREAD_LIFE_H
#define VARO_UUID_BENCH_THREAD_LIFE_H

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/random.h>

#include <cstdint>

#include "varo_uuid.h"

namespace varo::bench {

struct ThreadWork {
    bool (*work)(int n);  // false on failure
    int n;
    bool ok;
};

inline void *run_thread_work(void *arg) {
    auto *w = static_cast<ThreadWork *>(arg);
    w->ok = w->work(w->n);
    return nullptr;
}

// Registered with ->Arg(n)->UseRealTime().
inline void thread_life(benchmark::State &state, bool (*work)(int n)) {
    ThreadWork w{work, static_cast<int>(state.range(0)), true};
    for (auto _ : state) {
        pthread_t thread;
        if (pthread_create(&thread, nullptr, run_thread_work, &w) != 0 ||
            pthread_join(thread, nullptr) != 0 || !w.ok) {
            state.SkipWithError("thread or its work failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The two kinds of work: n identifiers, or n getrandom(16) system calls.
inline bool make_identifiers(int n) {
    char buf[VARO_UUID_TEXT_SIZE];
    for (int i = 0; i < n; ++i) {
        if (varo_uuid_generate_on_buf(buf) != 0) return false;
    }
    benchmark::DoNotOptimize(buf);
    return true;
}

inline bool make_getrandom16(int n) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    for (int i = 0; i < n; ++i) {
        if (getrandom(raw, sizeof raw, 0) != static_cast<ssize_t>(sizeof raw)) return false;
    }
    benchmark::DoNotOptimize(raw);
    return true;
}

}  // namespace varo::bench

#endif  // VARO_UUID_BENCH_THREAD_LIFE_H
