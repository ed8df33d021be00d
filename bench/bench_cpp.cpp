// The C++ layer's value type (varo_uuid.hpp) against what a C++ user
// would write without it, each beside its peer in the same run:
//   generation - uuid_value::generate() against varo_uuid_generate_on_buf()
//                into a stack buffer: the layer adds one conversion of the
//                text to its 16 bytes;
//   look-ups   - a find in an std::unordered_map of 1,000,000 values keyed
//                by uuid_value (std::hash<uuid_value>), against the same
//                keys as std::array<std::byte, 16> hashed by 64-bit FNV-1a
//                or by std::hash<std::string_view> over the 16 bytes; and a
//                find by text through uuid_hash and uuid_equal against a
//                find by value in the same map.
// Every key looked up is in the map: 65,536 of them, drawn at random and
// read in turn, so each find pays the cache misses of a large map alike for
// ours and for the peer. Before the benchmarks run,
// the program prints to stderr the longest bucket chain of each map.
//
// Names are "group/who": scripts/bench pairs them up by these names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "inputs.h"
#include "varo_uuid.hpp"

namespace {

using benchmark::State;
using varo::uuid_value;
using Key = std::array<std::byte, 16>;

constexpr std::size_t kKeys = 1'000'000;
constexpr std::size_t kWalk = 1 << 16;  // keys looked up, a power of two

void die(const char *what) {
    std::fprintf(stderr, "bench_cpp: %s\n", what);
    std::exit(1);
}

// 64-bit FNV-1a over the 16 bytes: the plain hash a user would write.
struct Fnv1a {
    std::size_t operator()(const Key &k) const noexcept {
        std::uint64_t h = 0xcbf29ce484222325ULL;
        for (std::byte b : k) {
            h ^= std::to_integer<std::uint64_t>(b);
            h *= 0x100000001b3ULL;
        }
        return static_cast<std::size_t>(h);
    }
};

// libstdc++'s hash of a string, over the 16 bytes.
struct BytesAsString {
    std::size_t operator()(const Key &k) const noexcept {
        return std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char *>(k.data()), k.size()));
    }
};

struct Maps {
    std::vector<uuid_value> values;      // the keys, half version 4, half version 7
    std::vector<uuid_value> walk;        // keys to look up, drawn at random
    std::vector<varo::uuid_text> texts;  // their texts, in the same order
    std::unordered_map<uuid_value, int> by_value;
    std::unordered_map<uuid_value, int, varo::uuid_hash, varo::uuid_equal> transparent;
    std::unordered_map<Key, int, Fnv1a> by_fnv;
    std::unordered_map<Key, int, BytesAsString> by_string_hash;
};

template <class Map>
std::size_t longest_chain(const Map &m) {
    std::size_t longest = 0;
    for (std::size_t b = 0; b < m.bucket_count(); ++b) longest = std::max(longest, m.bucket_size(b));
    return longest;
}

const Maps &maps() {
    static const Maps m = [] {
        Maps built;
        built.values.reserve(kKeys);
        for (std::size_t i = 0; i < kKeys; ++i) {
            auto v = i % 2 ? uuid_value::generate_v7() : uuid_value::generate();
            if (!v) die("generation failed");
            built.values.push_back(v.value);
        }
        for (std::size_t i = 0; i < kKeys; ++i) {
            const int n = static_cast<int>(i);
            built.by_value.emplace(built.values[i], n);
            built.transparent.emplace(built.values[i], n);
            built.by_fnv.emplace(built.values[i].bytes(), n);
            built.by_string_hash.emplace(built.values[i].bytes(), n);
        }
        if (built.by_value.size() != kKeys) die("two keys are the same");
        std::uint64_t seed = 0;
        varo::bench::fill_random(&seed, sizeof seed);
        std::mt19937_64 rng(seed);
        std::uniform_int_distribution<std::size_t> pick(0, kKeys - 1);
        for (std::size_t i = 0; i < kWalk; ++i) {
            built.walk.push_back(built.values[pick(rng)]);
            built.texts.push_back(built.walk.back().text());
        }
        std::fprintf(stderr,
                     "bench_cpp: longest bucket chain of %zu keys: uuid_value %zu, "
                     "transparent %zu, FNV-1a %zu, std::hash<string_view> %zu (buckets: %zu)\n",
                     kKeys, longest_chain(built.by_value), longest_chain(built.transparent),
                     longest_chain(built.by_fnv), longest_chain(built.by_string_hash),
                     built.by_value.bucket_count());
        return built;
    }();
    return m;
}

// ---- Generation -------------------------------------------------------------

void value_generate(State &state) {
    for (auto _ : state) {
        auto v = uuid_value::generate();
        benchmark::DoNotOptimize(v);
        benchmark::ClobberMemory();
        if (!v) {
            state.SkipWithError("uuid_value::generate failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void c_generate_on_buf(State &state) {
    char buf[VARO_UUID_TEXT_SIZE];
    for (auto _ : state) {
        int rc = varo_uuid_generate_on_buf(buf);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
        if (rc != 0) {
            state.SkipWithError("varo_uuid_generate_on_buf failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- Look-ups ---------------------------------------------------------------

// A find of each key of the walk in `map`, by the key `key_of(i)` gives;
// every key is there, so a miss is a broken build.
template <class Map, class KeyOf>
void find_all(State &state, const Map &map, KeyOf key_of) {
    std::size_t i = 0;
    for (auto _ : state) {
        const auto it = map.find(key_of(i++ & (kWalk - 1)));
        benchmark::DoNotOptimize(it);
        if (it == map.end()) {
            state.SkipWithError("a key was not found");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void find_value(State &state) {
    const Maps &m = maps();
    find_all(state, m.by_value, [&m](std::size_t i) { return m.walk[i]; });
}
void find_fnv(State &state) {
    const Maps &m = maps();
    find_all(state, m.by_fnv, [&m](std::size_t i) { return m.walk[i].bytes(); });
}
void find_string_hash(State &state) {
    const Maps &m = maps();
    find_all(state, m.by_string_hash, [&m](std::size_t i) { return m.walk[i].bytes(); });
}
void find_transparent_value(State &state) {
    const Maps &m = maps();
    find_all(state, m.transparent, [&m](std::size_t i) { return m.walk[i]; });
}
void find_transparent_text(State &state) {
    const Maps &m = maps();
    find_all(state, m.transparent, [&m](std::size_t i) { return m.texts[i].view(); });
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::RegisterBenchmark("value_generate/ours", value_generate);
    benchmark::RegisterBenchmark("value_generate/on_buf", c_generate_on_buf);
    benchmark::RegisterBenchmark("find/value", find_value);
    benchmark::RegisterBenchmark("find/bytes_fnv1a", find_fnv);
    benchmark::RegisterBenchmark("find/bytes_string_hash", find_string_hash);
    benchmark::RegisterBenchmark("find/transparent_value", find_transparent_value);
    benchmark::RegisterBenchmark("find/transparent_text", find_transparent_text);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    maps();  // built once, before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
