// Generation on each source of random bytes, forced through the internal
// library's fault seam, so that kernels without the vDSO getrandom are
// measured too: one identifier at a time, and whole short-lived threads
// beside threads that make the same number of getrandom(16) calls.
//
// Names are "group/who[/source]": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/fault.h"
#include "thread_life.h"
#include "varo_uuid.h"

namespace {

using benchmark::State;
using varo::fault::Site;

// Forces `source` for the whole run of one benchmark.
void force(const char *source) {
    varo::fault::disarm_all();
    const bool pool = source[0] == 'p';
    varo::fault::arm(Site::vdso, 0, INT_MAX);
    if (!pool) varo::fault::arm(Site::pool, 0, INT_MAX);
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
