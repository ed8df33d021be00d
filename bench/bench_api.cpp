// The exported functions, called through the shipped shared library as an
// application calls them, each beside the peer that does the same work:
//   generation     - one getrandom(16) per identifier, as a system call and
//                    straight from the vDSO (the kernel's own fast path,
//                    the floor for a source that survives VM snapshots);
//                    libuuid's uuid_generate_random() + uuid_unparse();
//                    version 7 against version 4 and against its own
//                    floor, one clock_gettime(CLOCK_MONOTONIC) and one vDSO
//                    getrandom(16); versions 6 and 1 against the same floor
//                    (they read the clock of version 7), and version 1
//                    against libuuid's uuid_generate_time() + uuid_unparse();
//   thread life    - a short-lived thread that makes 1 or 8 identifiers,
//                    against one that makes 1 or 8 getrandom(16) calls;
//   2 threads      - generation throughput (versions 4, 7, 6 and 1) from 1
//                    and from 2 threads, with
//                    the same measure taken of getrandom(16) and of a pure
//                    arithmetic loop, which tell how much of the second core
//                    this machine had free during the run;
//   XDR            - bare libtirpc moving the same 16 bytes through the same
//                    kind of memory stream.
//
// Names are "group/who": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <rpc/xdr.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "inputs.h"
#include "thread_life.h"
#include "varo_uuid.h"

namespace {

using benchmark::State;
using varo::bench::kRingMask;
using varo::bench::Raw16;
using varo::bench::Text25;

// Identifier texts, and their raw bytes as the wire carries them.
std::vector<Text25> g_texts;
std::vector<Raw16> g_wire;

void die(const char *what) {
    std::fprintf(stderr, "bench_api: %s\n", what);
    std::exit(1);
}

// Draws the rings with the library itself and checks that they round-trip,
// so a broken build shows here rather than as a fast benchmark.
void prepare_inputs() {
    g_texts.resize(varo::bench::kRing);
    g_wire.resize(varo::bench::kRing);
    for (std::size_t i = 0; i < g_texts.size(); ++i) {
        if (varo_uuid_generate_on_buf(g_texts[i].c) != 0) die("varo_uuid_generate_on_buf failed");
        varo_uuid_t id = g_texts[i].c;
        char wire[VARO_UUID_RAW_SIZE];
        if (xdr_encode_varo_uuid_t(&id, wire, sizeof wire) != VARO_UUID_RAW_SIZE) {
            die("xdr_encode_varo_uuid_t failed");
        }
        std::memcpy(g_wire[i].b, wire, sizeof wire);
        varo_uuid_t back = nullptr;
        if (xdr_decode_varo_uuid_t(wire, sizeof wire, &back) != VARO_UUID_RAW_SIZE ||
            back == nullptr || std::strcmp(back, g_texts[i].c) != 0) {
            die("xdr_decode_varo_uuid_t does not give the text back");
        }
        xdr_free_varo_uuid_t(&back);
    }
}

// ---- Generation -------------------------------------------------------------

// varo_uuid_generate_on_buf (version 4), or _v7_on_buf, _v6_on_buf,
// _v1_on_buf.
using OnBuf = int (*)(char *);

void generate_on_buf(State &state, OnBuf generate) {
    char buf[VARO_UUID_TEXT_SIZE];
    for (auto _ : state) {
        int rc = generate(buf);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
        if (rc != 0) {
            state.SkipWithError("generation failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void generate_alloc_free(State &state) {
    for (auto _ : state) {
        char *p = varo_uuid_generate_alloc();
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
        if (p == nullptr) {
            state.SkipWithError("varo_uuid_generate_alloc failed");
            break;
        }
        varo_uuid_generate_free(p);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void getrandom16(State &state) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    for (auto _ : state) {
        ssize_t got = getrandom(raw, sizeof raw, 0);
        benchmark::DoNotOptimize(got);
        benchmark::ClobberMemory();
        if (got != static_cast<ssize_t>(sizeof raw)) {
            state.SkipWithError("getrandom failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The vDSO's getrandom, found the way a program would find it through the
// dynamic loader, with one state of its own (the kernel says how to map it);
// with `clock`, each draw after a clock_gettime(CLOCK_MONOTONIC), the floor
// of version 7 generation.
using VdsoGetrandom = ssize_t (*)(void *, std::size_t, unsigned, void *, std::size_t);

void vdso_getrandom16(State &state, bool clock) {
    void *vdso = dlopen("linux-vdso.so.1", RTLD_NOW | RTLD_NOLOAD);
    auto fn = vdso == nullptr ? nullptr
                              : reinterpret_cast<VdsoGetrandom>(
                                    dlvsym(vdso, "__vdso_getrandom", "LINUX_2.6"));
    struct {
        std::uint32_t size, prot, flags, reserved[13];
    } params{};
    if (fn == nullptr || fn(nullptr, 0, 0, &params, ~std::size_t{0}) != 0) {
        state.SkipWithError("the vDSO has no getrandom");
        return;
    }
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void *states = mmap(nullptr, page, static_cast<int>(params.prot),
                        static_cast<int>(params.flags), -1, 0);
    if (states == MAP_FAILED) {
        state.SkipWithError("cannot map a vDSO getrandom state");
        return;
    }
    unsigned char raw[VARO_UUID_RAW_SIZE];
    timespec now{};
    for (auto _ : state) {
        if (clock) {
            clock_gettime(CLOCK_MONOTONIC, &now);
            benchmark::DoNotOptimize(now);
        }
        ssize_t got = fn(raw, sizeof raw, 0, states, params.size);
        benchmark::DoNotOptimize(got);
        benchmark::ClobberMemory();
        if (got != static_cast<ssize_t>(sizeof raw)) {
            state.SkipWithError("vDSO getrandom failed");
            break;
        }
    }
    munmap(states, page);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// libuuid's generator (random, or version 1, whose clock state is a locked
// file or the uuidd daemon for every identifier) and its text.
void libuuid_unparse(State &state, void (*make)(uuid_t)) {
    uuid_t u;
    char text[37];
    for (auto _ : state) {
        make(u);
        uuid_unparse(u, text);
        benchmark::DoNotOptimize(text[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// A dependent chain of xorshift steps: no memory, no system call, so from
// two threads it shows what two cores of this machine give right now.
void spin64(State &state) {
    std::uint64_t x = 0;
    varo::bench::fill_random(&x, sizeof x);
    x |= 1;
    for (auto _ : state) {
        for (int k = 0; k < 64; ++k) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
        }
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- XDR --------------------------------------------------------------------

void xdr_encode_ours(State &state) {
    char out[VARO_UUID_RAW_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        varo_uuid_t id = g_texts[i++ & kRingMask].c;
        benchmark::DoNotOptimize(id);
        int n = xdr_encode_varo_uuid_t(&id, out, sizeof out);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void xdr_encode_bare(State &state) {
    char out[VARO_UUID_RAW_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        auto *raw = reinterpret_cast<char *>(g_wire[i++ & kRingMask].b);
        benchmark::DoNotOptimize(raw);
        XDR xdrs;
        xdrmem_create(&xdrs, out, sizeof out, XDR_ENCODE);
        bool_t ok = xdr_opaque(&xdrs, raw, VARO_UUID_RAW_SIZE);
        int n = ok ? static_cast<int>(XDR_GETPOS(&xdrs)) : -1;
        XDR_DESTROY(&xdrs);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void xdr_decode_free_ours(State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const auto *wire = reinterpret_cast<const char *>(g_wire[i++ & kRingMask].b);
        benchmark::DoNotOptimize(wire);
        varo_uuid_t id = nullptr;
        int n = xdr_decode_varo_uuid_t(wire, VARO_UUID_RAW_SIZE, &id);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(id);
        benchmark::ClobberMemory();
        xdr_free_varo_uuid_t(&id);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void xdr_decode_bare_malloc_free(State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        auto *wire = reinterpret_cast<char *>(g_wire[i++ & kRingMask].b);
        benchmark::DoNotOptimize(wire);
        char raw[VARO_UUID_RAW_SIZE];
        XDR xdrs;
        xdrmem_create(&xdrs, wire, VARO_UUID_RAW_SIZE, XDR_DECODE);
        bool_t ok = xdr_opaque(&xdrs, raw, VARO_UUID_RAW_SIZE);
        int n = ok ? static_cast<int>(XDR_GETPOS(&xdrs)) : -1;
        XDR_DESTROY(&xdrs);
        void *block = std::malloc(VARO_UUID_TEXT_SIZE);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        std::free(block);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char **argv) {
    prepare_inputs();

    benchmark::RegisterBenchmark("generate/on_buf", generate_on_buf, varo_uuid_generate_on_buf);
    benchmark::RegisterBenchmark("generate/alloc_free", generate_alloc_free);
    benchmark::RegisterBenchmark("generate/getrandom16", getrandom16);
    benchmark::RegisterBenchmark("generate/libuuid_random_unparse", libuuid_unparse,
                                 uuid_generate_random);
    benchmark::RegisterBenchmark("generate/vdso_getrandom16", vdso_getrandom16, false);
    benchmark::RegisterBenchmark("generate/v7_on_buf", generate_on_buf,
                                 varo_uuid_generate_v7_on_buf);
    benchmark::RegisterBenchmark("generate/clock_vdso_getrandom16", vdso_getrandom16, true);
    benchmark::RegisterBenchmark("generate/v6_on_buf", generate_on_buf,
                                 varo_uuid_generate_v6_on_buf);
    benchmark::RegisterBenchmark("generate/v1_on_buf", generate_on_buf,
                                 varo_uuid_generate_v1_on_buf);
    benchmark::RegisterBenchmark("generate/libuuid_time_unparse", libuuid_unparse,
                                 uuid_generate_time);

    for (int n : {1, 8}) {
        benchmark::RegisterBenchmark("thread_life/ours", varo::bench::thread_life,
                                     varo::bench::make_identifiers)
            ->Arg(n)
            ->UseRealTime();
        benchmark::RegisterBenchmark("thread_life/getrandom16", varo::bench::thread_life,
                                     varo::bench::make_getrandom16)
            ->Arg(n)
            ->UseRealTime();
    }

    // Throughput by wall-clock time: items/s from N threads is the sum over
    // the threads divided by the time they took together.
    benchmark::RegisterBenchmark("threads/on_buf", generate_on_buf, varo_uuid_generate_on_buf)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark("threads/v7_on_buf", generate_on_buf,
                                 varo_uuid_generate_v7_on_buf)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark("threads/v6_on_buf", generate_on_buf,
                                 varo_uuid_generate_v6_on_buf)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark("threads/v1_on_buf", generate_on_buf,
                                 varo_uuid_generate_v1_on_buf)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark("threads/getrandom16", getrandom16)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark("threads/spin64", spin64)->Threads(1)->Threads(2)->UseRealTime();

    benchmark::RegisterBenchmark("xdr_encode/ours", xdr_encode_ours);
    benchmark::RegisterBenchmark("xdr_encode/bare", xdr_encode_bare);
    benchmark::RegisterBenchmark("xdr_decode/ours_free", xdr_decode_free_ours);
    benchmark::RegisterBenchmark("xdr_decode/bare_malloc_free", xdr_decode_bare_malloc_free);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
