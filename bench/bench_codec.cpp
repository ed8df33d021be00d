// The codec and the identifier conversions, which the shared library does
// not export, through the internal static library (the same code, plus a
// fault-injection check that is one relaxed atomic load on the allocation
// paths, none of which runs here). Each beside OpenSSL doing the same work:
//   convert  - 16 bytes -> 24 characters and back, against EVP_EncodeBlock
//              of 16 bytes and EVP_DecodeBlock of 24 characters;
//   codec    - 1 MiB into a caller's area, against EVP_EncodeBlock and
//              EVP_DecodeBlock of the same data; the path-safe and upper
//              alphabets are measured for information.
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

#include "base64.h"
#include "identifier.h"
#include "inputs.h"
#include "peers.h"

namespace {

using benchmark::State;
using varo::bench::kRingMask;
using varo::bench::Raw16;
using varo::bench::Text25;

constexpr unsigned kBulk = 1u << 20;  // 1 MiB of raw bytes
constexpr unsigned kBulkText = (kBulk + 2) / 3 * 4;

std::vector<Raw16> g_raw;          // random 16-byte values
std::vector<Text25> g_text_path;   // their identifier texts
std::vector<Text25> g_text_std;    // the same with the standard alphabet

std::vector<unsigned char> g_bulk;  // 1 MiB of random bytes
std::string g_bulk_std;             // its encodings, one per alphabet
std::string g_bulk_path;
std::string g_bulk_upper;

void die(const char *what) {
    std::fprintf(stderr, "bench_codec: %s\n", what);
    std::exit(1);
}

std::string encode_bulk(const char *alphabet) {
    std::string text(kBulkText, '\0');
    int len = 0;
    if (base64_encode_with(g_bulk.data(), kBulk, text.data(), alphabet, &len) == nullptr ||
        len != static_cast<int>(kBulkText)) {
        die("base64_encode_with failed on 1 MiB");
    }
    return text;
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

    g_bulk.resize(kBulk);
    varo::bench::fill_random(g_bulk.data(), g_bulk.size());
    g_bulk_std = encode_bulk(BASE64_ALPHABET_STD);
    g_bulk_path = encode_bulk(BASE64_ALPHABET_PATHSAFE);
    g_bulk_upper = encode_bulk(BASE64_ALPHABET_UPPER);

    std::vector<unsigned char> evp(kBulkText + 1);
    if (EVP_EncodeBlock(evp.data(), g_bulk.data(), static_cast<int>(kBulk)) !=
            static_cast<int>(kBulkText) ||
        std::memcmp(evp.data(), g_bulk_std.data(), kBulkText) != 0) {
        die("base64_encode_with differs from OpenSSL on 1 MiB");
    }
    const struct {
        const std::string *text;
        const char *alphabet;
        base64_classifier classify;
    } round_trips[] = {
        {&g_bulk_std, BASE64_ALPHABET_STD, base64_class_mixed},
        {&g_bulk_path, BASE64_ALPHABET_PATHSAFE, base64_class_mixed},
        {&g_bulk_upper, BASE64_ALPHABET_UPPER, base64_class_upper},
    };
    std::vector<unsigned char> back(kBulk);
    for (const auto &rt : round_trips) {
        int len = 0;
        if (base64_decode_with(rt.text->data(), kBulkText, back.data(), rt.alphabet, &len,
                               rt.classify) == nullptr ||
            len != static_cast<int>(kBulk) || back != g_bulk) {
            die("base64_decode_with does not give 1 MiB back");
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

// ---- 1 MiB ------------------------------------------------------------------

// Throughput is counted in raw bytes on both sides, encode and decode alike.
void set_bulk_bytes(State &state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBulk);
}

void encode_bulk_ours(State &state, const char *alphabet) {
    std::vector<char> out(kBulkText);
    for (auto _ : state) {
        const unsigned char *in = g_bulk.data();
        benchmark::DoNotOptimize(in);
        char *r = base64_encode_with(in, kBulk, out.data(), alphabet, nullptr);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    set_bulk_bytes(state);
}

void encode_bulk_openssl(State &state) {
    std::vector<unsigned char> out(kBulkText + 1);
    for (auto _ : state) {
        const unsigned char *in = g_bulk.data();
        benchmark::DoNotOptimize(in);
        int n = EVP_EncodeBlock(out.data(), in, static_cast<int>(kBulk));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    set_bulk_bytes(state);
}

void decode_bulk_ours(State &state, const std::string *text, const char *alphabet,
                      base64_classifier classify) {
    std::vector<unsigned char> out(kBulk);
    for (auto _ : state) {
        const char *in = text->data();
        benchmark::DoNotOptimize(in);
        int len = 0;
        unsigned char *r = base64_decode_with(in, kBulkText, out.data(), alphabet, &len, classify);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(len);
        benchmark::ClobberMemory();
    }
    set_bulk_bytes(state);
}

void decode_bulk_openssl(State &state) {
    std::vector<unsigned char> out(kBulk + 3);  // padding decodes as zero bytes
    for (auto _ : state) {
        const auto *in = reinterpret_cast<const unsigned char *>(g_bulk_std.data());
        benchmark::DoNotOptimize(in);
        int n = EVP_DecodeBlock(out.data(), in, static_cast<int>(kBulkText));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    set_bulk_bytes(state);
}

}  // namespace

int main(int argc, char **argv) {
    prepare_inputs();

    benchmark::RegisterBenchmark("from_bytes/ours", from_bytes_ours);
    benchmark::RegisterBenchmark("from_bytes/openssl", from_bytes_openssl);
    benchmark::RegisterBenchmark("to_bytes/ours", to_bytes_ours);
    benchmark::RegisterBenchmark("to_bytes/openssl", varo::bench::evp_decode24, &g_text_std);

    // The alphabets go in as pointers, as callers pass them: the codec
    // finds its tables by address first, and RegisterBenchmark() would
    // capture an array argument by copy.
    const char *const std_alphabet = BASE64_ALPHABET_STD;
    const char *const path_alphabet = BASE64_ALPHABET_PATHSAFE;
    const char *const upper_alphabet = BASE64_ALPHABET_UPPER;

    benchmark::RegisterBenchmark("encode_1MiB/ours_std", encode_bulk_ours, std_alphabet);
    benchmark::RegisterBenchmark("encode_1MiB/openssl", encode_bulk_openssl);
    benchmark::RegisterBenchmark("encode_1MiB/ours_pathsafe", encode_bulk_ours, path_alphabet);
    benchmark::RegisterBenchmark("encode_1MiB/ours_upper", encode_bulk_ours, upper_alphabet);

    benchmark::RegisterBenchmark("decode_1MiB/ours_std", decode_bulk_ours, &g_bulk_std,
                                 std_alphabet, base64_class_mixed);
    benchmark::RegisterBenchmark("decode_1MiB/openssl", decode_bulk_openssl);
    benchmark::RegisterBenchmark("decode_1MiB/ours_pathsafe", decode_bulk_ours, &g_bulk_path,
                                 path_alphabet, base64_class_mixed);
    benchmark::RegisterBenchmark("decode_1MiB/ours_upper", decode_bulk_ours, &g_bulk_upper,
                                 upper_alphabet, base64_class_upper);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
