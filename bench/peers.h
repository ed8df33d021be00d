// Peer benchmarks that more than one benchmark program runs beside its own
// paths.
#ifndef VARO_UUID_BENCH_PEERS_H
#define VARO_UUID_BENCH_PEERS_H

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "inputs.h"

namespace varo::bench {

// OpenSSL's EVP_DecodeBlock of one 24-character text a call, walking the
// ring `texts` of standard-alphabet texts (it checks and decodes them).
inline void evp_decode24(benchmark::State &state, const std::vector<Text25> *texts) {
    unsigned char raw[18];  // the two '=' decode as two zero bytes
    std::size_t i = 0;
    for (auto _ : state) {
        const auto *text = reinterpret_cast<const unsigned char *>((*texts)[i++ & kRingMask].c);
        benchmark::DoNotOptimize(text);
        int n = EVP_DecodeBlock(raw, text, 24);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace varo::bench

#endif  // VARO_UUID_BENCH_PEERS_H
