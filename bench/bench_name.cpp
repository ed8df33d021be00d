// Name-based identifiers (versions 5 and 3), through the shipped shared
// library as an application calls it, beside their peers on the same names
// in the DNS namespace:
//   libuuid - uuid_generate_sha1 and uuid_generate_md5 (raw bytes only,
//             with their own hashes);
//   floor   - nettle's SHA-1 (and MD5) of the same 16 + n bytes alone, from
//             one area: what a version 5 identifier cannot cost less than;
//   split   - the same hash with the namespace and the name in two
//             updates, as the library hands them over.
// Names of 15 bytes (the RFC's "www.example.com" is as long), 64 bytes and
// 1 KiB, a ring of random ones.
//
// Names are "group/who/n": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <uuid/uuid.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "inputs.h"
#include "varo_uuid.h"

namespace {

using benchmark::State;
using varo::bench::kRing;
using varo::bench::kRingMask;

constexpr std::size_t kLengths[] = {15, 64, 1024};

// For each length, a ring of messages: the DNS namespace's 16 bytes in RFC
// order, then a random name of that length. The name alone starts 16 bytes
// in.
struct Ring {
    std::size_t length;
    std::vector<std::uint8_t> bytes;  // kRing messages of 16 + length bytes
    const std::uint8_t *message(std::size_t i) const {
        return bytes.data() + (i & kRingMask) * (16 + length);
    }
    const std::uint8_t *name(std::size_t i) const { return message(i) + 16; }
};
std::vector<Ring> g_rings;
uuid_t g_dns;  // libuuid's DNS namespace, in RFC order

void die(const char *what) {
    std::fprintf(stderr, "bench_name: %s\n", what);
    std::exit(1);
}

// Builds the rings and checks our identifiers against libuuid's once, so a
// broken build shows here rather than as a fast benchmark.
void prepare_inputs() {
    const uuid_t *dns = uuid_get_template("dns");
    if (dns == nullptr) die("libuuid has no DNS namespace");
    std::memcpy(g_dns, *dns, sizeof g_dns);
    for (std::size_t length : kLengths) {
        Ring r{length, std::vector<std::uint8_t>(kRing * (16 + length))};
        varo::bench::fill_random(r.bytes.data(), r.bytes.size());
        for (std::size_t i = 0; i < kRing; ++i) {
            std::memcpy(r.bytes.data() + i * (16 + length), g_dns, 16);
        }
        const struct {
            int (*ours)(const char *, const void *, size_t, char *) noexcept;
            void (*peer)(uuid_t, const uuid_t, const char *, size_t);
        } kinds[] = {{varo_uuid_generate_v5_on_buf, uuid_generate_sha1},
                     {varo_uuid_generate_v3_on_buf, uuid_generate_md5}};
        for (const auto &kind : kinds) {
            for (std::size_t i = 0; i < kRing; ++i) {
                char text[VARO_UUID_TEXT_SIZE], rfc[VARO_UUID_RFC_SIZE], peer[VARO_UUID_RFC_SIZE];
                uuid_t raw;
                if (kind.ours(VARO_UUID_NAMESPACE_DNS, r.name(i), length, text) != 0 ||
                    varo_uuid_to_rfc(text, rfc) != 0) {
                    die("a name-based identifier could not be made");
                }
                kind.peer(raw, g_dns, reinterpret_cast<const char *>(r.name(i)), length);
                uuid_unparse_lower(raw, peer);
                if (std::strcmp(rfc, peer) != 0)
                    die("a name-based identifier differs from libuuid");
            }
        }
        g_rings.push_back(std::move(r));
    }
}

void ours(State &state, int (*make)(const char *, const void *, size_t, char *) noexcept,
          const Ring *ring) {
    const Ring &r = *ring;
    char text[VARO_UUID_TEXT_SIZE];
    std::size_t i = 0;
    for (auto _ : state) {
        const std::uint8_t *name = r.name(i++);
        benchmark::DoNotOptimize(name);
        int rc = make(VARO_UUID_NAMESPACE_DNS, name, r.length, text);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void libuuid(State &state, void (*make)(uuid_t, const uuid_t, const char *, size_t),
             const Ring *ring) {
    const Ring &r = *ring;
    uuid_t raw;
    std::size_t i = 0;
    for (auto _ : state) {
        const char *name = reinterpret_cast<const char *>(r.name(i++));
        benchmark::DoNotOptimize(name);
        make(raw, g_dns, name, r.length);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// nettle alone, over the whole message in one update (`split`: the
// namespace and the name in two).
template <class Context, void (*init)(Context *),
          void (*update)(Context *, size_t, const std::uint8_t *),
          void (*digest)(Context *, size_t, std::uint8_t *)>
void nettle_hash(State &state, bool split, const Ring *ring) {
    const Ring &r = *ring;
    std::uint8_t out[16];
    std::size_t i = 0;
    for (auto _ : state) {
        const std::uint8_t *message = r.message(i++);
        benchmark::DoNotOptimize(message);
        Context c;
        init(&c);
        if (split) {
            update(&c, 16, message);
            update(&c, r.length, message + 16);
        } else {
            update(&c, 16 + r.length, message);
        }
        digest(&c, sizeof out, out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char **argv) {
    prepare_inputs();

    constexpr auto sha1 =
        nettle_hash<sha1_ctx, nettle_sha1_init, nettle_sha1_update, nettle_sha1_digest>;
    constexpr auto md5 =
        nettle_hash<md5_ctx, nettle_md5_init, nettle_md5_update, nettle_md5_digest>;
    for (const Ring &r : g_rings) {
        const auto reg = [&](const char *who, auto fn, auto how) {
            char name[64];
            std::snprintf(name, sizeof name, "name/%s/%zu", who, r.length);
            benchmark::RegisterBenchmark(name, fn, how, &r);
        };
        reg("v5", ours, varo_uuid_generate_v5_on_buf);
        reg("nettle_sha1", sha1, false);
        if (r.length != 15) continue;
        reg("nettle_sha1_split", sha1, true);
        reg("libuuid_sha1", libuuid, uuid_generate_sha1);
        reg("v3", ours, varo_uuid_generate_v3_on_buf);
        reg("libuuid_md5", libuuid, uuid_generate_md5);
        reg("nettle_md5", md5, false);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
