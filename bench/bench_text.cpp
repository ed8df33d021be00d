// The text interface of 1.1, through the shipped shared library as an
// application calls it, each beside the peer that does the same work on the
// same identifiers:
//   text - varo_uuid_is_valid and varo_uuid_to_raw of a 24-character text,
//          against OpenSSL's EVP_DecodeBlock of the same 24 characters in
//          the standard alphabet (which checks and decodes them);
//   rfc  - varo_uuid_to_rfc of a text against libuuid's uuid_unparse of its
//          16 bytes, and varo_uuid_from_rfc of the 36-character form against
//          libuuid's uuid_parse of the same string;
//   inspection - varo_uuid_order of two version 7 texts, varo_uuid_version
//          and varo_uuid_time of one, each against varo_uuid_to_raw of a
//          text, the decoding they all start with;
//   network order - varo_uuid_to_rfc_bytes against varo_uuid_to_raw, and
//          varo_uuid_from_rfc_bytes against varo_uuid_from_raw: the same
//          work but for the order of the first 8 bytes.
//
// Names are "group/who": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "inputs.h"
#include "peers.h"
#include "varo_uuid.h"

namespace {

using benchmark::State;
using varo::bench::kRingMask;
using varo::bench::Raw16;
using varo::bench::Text25;

// An RFC form and its NUL, 48 bytes apart.
struct alignas(16) Rfc37 {
    char c[VARO_UUID_RFC_SIZE];
};

std::vector<Raw16> g_raw;        // random 16-byte values
std::vector<Text25> g_text;      // their identifier texts
std::vector<Text25> g_text_std;  // the same in the standard alphabet
std::vector<Rfc37> g_rfc;        // their RFC forms
std::vector<Text25> g_v7;        // version 7 texts, in the order they were made

void die(const char *what) {
    std::fprintf(stderr, "bench_text: %s\n", what);
    std::exit(1);
}

// Builds the rings and checks each path against its peer once, so a broken
// build shows here rather than as a fast benchmark.
void prepare_inputs() {
    g_raw = varo::bench::random_raw_ring();
    g_text.resize(g_raw.size());
    g_text_std.resize(g_raw.size());
    g_rfc.resize(g_raw.size());
    for (std::size_t i = 0; i < g_raw.size(); ++i) {
        if (varo_uuid_from_raw(g_raw[i].b, g_text[i].c) != 0) die("varo_uuid_from_raw failed");
        auto *std_text = reinterpret_cast<unsigned char *>(g_text_std[i].c);
        if (EVP_EncodeBlock(std_text, g_raw[i].b, 16) != 24) die("EVP_EncodeBlock(16) failed");
        std::string path(g_text_std[i].c);
        std::replace(path.begin(), path.end(), '/', '_');
        if (path != g_text[i].c) die("varo_uuid_from_raw differs from OpenSSL");

        unsigned char raw[16];
        if (varo_uuid_is_valid(g_text[i].c) != 1 || varo_uuid_to_raw(g_text[i].c, raw) != 0 ||
            std::memcmp(raw, g_raw[i].b, 16) != 0) {
            die("varo_uuid_to_raw does not give the bytes back");
        }
        // libuuid prints the 16 bytes in order; the RFC form reads the
        // first three fields little-endian, so give it the bytes as such.
        unsigned char swapped[16];
        const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        for (int k = 0; k < 16; ++k) swapped[k] = g_raw[i].b[order[k]];
        char unparsed[37];
        uuid_unparse_lower(swapped, unparsed);
        if (varo_uuid_to_rfc(g_text[i].c, g_rfc[i].c) != 0 ||
            std::strcmp(unparsed, g_rfc[i].c) != 0) {
            die("varo_uuid_to_rfc differs from libuuid");
        }
        char back[VARO_UUID_TEXT_SIZE];
        if (varo_uuid_from_rfc(g_rfc[i].c, back) != 0 || std::strcmp(back, g_text[i].c) != 0) {
            die("varo_uuid_from_rfc does not give the text back");
        }
        // Network order is what libuuid keeps in a uuid_t.
        unsigned char net[16];
        if (varo_uuid_to_rfc_bytes(g_text[i].c, net) != 0 || std::memcmp(net, swapped, 16) != 0 ||
            varo_uuid_from_rfc_bytes(net, back) != 0 || std::strcmp(back, g_text[i].c) != 0) {
            die("varo_uuid_to_rfc_bytes or _from_rfc_bytes differs from libuuid");
        }
    }
    g_v7.resize(g_raw.size());
    long long ms = 0;
    for (std::size_t i = 0; i < g_v7.size(); ++i) {
        if (varo_uuid_generate_v7_on_buf(g_v7[i].c) != 0 || varo_uuid_version(g_v7[i].c) != 7 ||
            varo_uuid_time(g_v7[i].c, &ms) != 0 ||
            (i > 0 && varo_uuid_order(g_v7[i - 1].c, g_v7[i].c) != -1)) {
            die("version 7 texts do not read back in order");
        }
    }
}

// ---- Inspection ---------------------------------------------------------------

void order_ours(State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const char *a = g_v7[i & kRingMask].c;
        const char *b = g_v7[++i & kRingMask].c;
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        int c = varo_uuid_order(a, b);
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void version_ours(State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_v7[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int v = varo_uuid_version(text);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void time_ours(State &state) {
    long long ms = 0;
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_v7[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int rc = varo_uuid_time(text, &ms);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- Text -> bytes ------------------------------------------------------------

void is_valid_ours(State &state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_text[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int v = varo_uuid_is_valid(text);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void to_raw_ours(State &state) {
    unsigned char raw[16];
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_text[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int rc = varo_uuid_to_raw(text, raw);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- Network order --------------------------------------------------------------

// varo_uuid_to_raw or varo_uuid_to_rfc_bytes of a text.
void text_to_16(State &state, int (*convert)(const char *, unsigned char *)) {
    unsigned char out[16];
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_text[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int rc = convert(text, out);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// varo_uuid_from_raw or varo_uuid_from_rfc_bytes of 16 bytes.
void text_from_16(State &state, int (*convert)(const unsigned char *, char *)) {
    char text[VARO_UUID_TEXT_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        const unsigned char *bytes = g_raw[i++ & kRingMask].b;
        benchmark::DoNotOptimize(bytes);
        int rc = convert(bytes, text);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- RFC form -----------------------------------------------------------------

void to_rfc_ours(State &state) {
    char rfc[VARO_UUID_RFC_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = g_text[i++ & kRingMask].c;
        benchmark::DoNotOptimize(text);
        int rc = varo_uuid_to_rfc(text, rfc);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void unparse_libuuid(State &state) {
    char rfc[VARO_UUID_RFC_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        const unsigned char *raw = g_raw[i++ & kRingMask].b;
        benchmark::DoNotOptimize(raw);
        uuid_unparse(raw, rfc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void from_rfc_ours(State &state) {
    char text[VARO_UUID_TEXT_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        const char *rfc = g_rfc[i++ & kRingMask].c;
        benchmark::DoNotOptimize(rfc);
        int rc = varo_uuid_from_rfc(rfc, text);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void parse_libuuid(State &state) {
    uuid_t raw;
    std::size_t i = 0;
    for (auto _ : state) {
        const char *rfc = g_rfc[i++ & kRingMask].c;
        benchmark::DoNotOptimize(rfc);
        int rc = uuid_parse(rfc, raw);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char **argv) {
    prepare_inputs();

    benchmark::RegisterBenchmark("text/is_valid", is_valid_ours);
    benchmark::RegisterBenchmark("text/to_raw", to_raw_ours);
    benchmark::RegisterBenchmark("text/openssl_decode24", varo::bench::evp_decode24, &g_text_std);
    benchmark::RegisterBenchmark("rfc/to_rfc", to_rfc_ours);
    benchmark::RegisterBenchmark("rfc/libuuid_unparse", unparse_libuuid);
    benchmark::RegisterBenchmark("rfc/from_rfc", from_rfc_ours);
    benchmark::RegisterBenchmark("rfc/libuuid_parse", parse_libuuid);
    benchmark::RegisterBenchmark("text/order", order_ours);
    benchmark::RegisterBenchmark("text/version", version_ours);
    benchmark::RegisterBenchmark("text/time", time_ours);
    benchmark::RegisterBenchmark("text/to_rfc_bytes", text_to_16, varo_uuid_to_rfc_bytes);
    benchmark::RegisterBenchmark("text/from_raw", text_from_16, varo_uuid_from_raw);
    benchmark::RegisterBenchmark("text/from_rfc_bytes", text_from_16, varo_uuid_from_rfc_bytes);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
