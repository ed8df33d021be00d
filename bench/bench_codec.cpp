// The codec and the identifier conversions, which the shared library does
// not export, through the internal static library (the same code, plus a
// fault-injection check that is one relaxed atomic load on the allocation
// paths, none of which runs here): 16 bytes -> 24 characters and back,
// beside OpenSSL's EVP_EncodeBlock of 16 bytes and EVP_DecodeBlock of 24
// characters.
//
// Names are "group/who": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "identifier.h"
#include "inputs.h"
#include "peers.h"

namespace {

using benchmark::State;
using varo::bench::kRingMask;
using varo::bench::Raw16;
using varo::bench::Text25;

std::vector<Raw16> g_raw;          // random 16-byte values
std::vector<Text25> g_text_path;   // their identifier texts
std::vector<Text25> g_text_std;    // the same with the standard alphabet

void die(const char *what) {
    std::fprintf(stderr, "bench_codec: %s\n", what);
    std::exit(1);
}

// Builds the inputs and checks every path once against OpenSSL or a round
// trip, so a broken build shows here rather than as a fast benchmark.
void prepare_inputs() {
    g_raw = varo::bench::random_raw_ring();
    g_text_path.resize(g_raw.size());
    g_text_std.resize(g_raw.size());
    for (std::size_t i = 0; i < g_raw.size(); ++i) {
        varo_uuid_from_bytes(g_raw[i].b, g_text_path[i].c);
        auto *std_text = reinterpret_cast<unsigned char *>(g_text_std[i].c);
        if (EVP_EncodeBlock(std_text, g_raw[i].b, 16) != 24) die("EVP_EncodeBlock(16) failed");
        std::string expect(g_text_std[i].c);
        std::replace(expect.begin(), expect.end(), '/', '_');
        if (expect != g_text_path[i].c) die("varo_uuid_from_bytes differs from OpenSSL");
        unsigned char back[16];
        if (varo_uuid_to_bytes(g_text_path[i].c, back) != back ||
            std::memcmp(back, g_raw[i].b, 16) != 0) {
            die("varo_uuid_to_bytes does not give the bytes back");
        }
    }
}

// ---- Identifier conversions -------------------------------------------------

void from_bytes_ours(State &state) {
    char text[25];
    std::size_t i = 0;
    for (auto _ : state) {
        const unsigned char *raw = g_raw[i++ & kRingMask].b;
        benchmark::DoNotOptimize(raw);
        char *r = varo_uuid_from_bytes(raw, text);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void from_bytes_openssl(State &state) {
    unsigned char text[25];
    std::size_t i = 0;
    for (auto _ : state) {
        const unsigned char *raw = g_raw[i++ & kRingMask].b;
        benchmark::DoNotOptimize(raw);
        int n = EVP_EncodeBlock(text, raw, 16);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void to_bytes_ours(State &state) {
    unsigned char raw[16];
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_text_path[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        unsigned char *r = varo_uuid_to_bytes(text, raw);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char **argv) {
    prepare_inputs();

    benchmark::RegisterBenchmark("from_bytes/ours", from_bytes_ours);
    benchmark::RegisterBenchmark("from_bytes/openssl", from_bytes_openssl);
    benchmark::RegisterBenchmark("to_bytes/ours", to_bytes_ours);
    benchmark::RegisterBenchmark("to_bytes/openssl", varo::bench::evp_decode24, &g_text_std);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
