// Inputs shared by the benchmark programs.
//
// Every input is drawn at run time, so no compiler can fold it into the
// code under test, and each benchmark walks a small ring of different
// inputs, so no branch predictor learns a single value. A ring fits in L1:
// its cost is the same for our function and for its peer.
#ifndef VARO_UUID_BENCH_INPUTS_H
#define VARO_UUID_BENCH_INPUTS_H

#include <sys/random.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace varo::bench {

constexpr std::size_t kRing = 256;  // a power of two
constexpr std::size_t kRingMask = kRing - 1;

// Fills `n` bytes from the kernel; the benchmarks cannot run without them.
inline void fill_random(void *dst, std::size_t n) {
    auto *p = static_cast<unsigned char *>(dst);
    while (n > 0) {
        const std::size_t step = n < 256 ? n : 256;
        const ssize_t got = getrandom(p, step, 0);
        if (got <= 0) {
            std::perror("getrandom");
            std::exit(1);
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
}

// 16-byte records, each 16-aligned as a caller's GUID or wire area would be.
struct alignas(16) Raw16 {
    unsigned char b[16];
};

// 25-byte text blocks (24 characters and a NUL), 32 bytes apart.
struct alignas(32) Text25 {
    char c[25];
};

inline std::vector<Raw16> random_raw_ring() {
    std::vector<Raw16> ring(kRing);
    fill_random(ring.data(), ring.size() * sizeof(Raw16));
    return ring;
}

}  // namespace varo::bench

#endif  // VARO_UUID_BENCH_INPUTS_H
