// Versions 6 and 1: RFC 9562's layouts of a 60-bit count of 100 ns since
// the Gregorian reform (1582-10-15 00:00:00 UTC), a 14-bit clock sequence
// and a 48-bit node. In RFC byte order:
//   version 6  time_high (32) time_mid (16) 0110 time_low (12)
//   version 1  time_low (32)  time_mid (16) 0001 time_high (12)
//   both       10 clock_seq (14), node (48)
//
// The count comes from the clock of version 7 (v7_clock.h), whose ticks of
// 2^-18 ms (3.8 ns) increase strictly in each thread and are ordered across
// threads. A 100 ns count alone is too coarse for that: two threads can
// each make an identifier within one count. So the top 5 bits of the clock
// sequence carry the tick's fraction of the 100 ns in steps of 1/32 (3.125
// ns). The step is finer than a tick, so distinct ticks give distinct
// (count, fraction) pairs in the same order: version 6 in its RFC bytes,
// version 1 in its count, then its clock sequence.
//
// The other 56 bits are fresh from the kernel for every identifier: the 9
// low bits of the clock sequence and 47 of the node. The node's 48th bit,
// the multicast bit (the lowest of its first byte), is set, as for a node
// that is no network card's address.
#include <cstdint>

#include "identifier.h"
#include "platform/random/random.h"
#include "record.h"
#include "v7_clock.h"

namespace {

using varo::v7::kFractionBits;
using varo::v7::kTicksPerMs;

constexpr std::uint64_t kCountsPerMs = 10000;
constexpr int kStepBits = 5;  // the fraction of a count in the clock sequence

struct Stamp {
    std::uint64_t count;  // 100 ns since 1582-10-15, below 2^60 while the clock runs
    std::uint64_t step;   // the fraction of that 100 ns, in 1/32
};

// The next stamp of this thread; false past the end of the clock's range.
bool next_stamp(Stamp *stamp) noexcept {
    const std::uint64_t ticks = varo::v7::next_ticks();
    if (ticks == varo::v7::kNoTicks) [[unlikely]]
        return false;
    const std::uint64_t ms = ticks >> kFractionBits;
    // Steps of 3.125 ns since the millisecond began: below 2^37, no overflow.
    const std::uint64_t steps =
        ((ticks & (kTicksPerMs - 1)) * (kCountsPerMs << kStepBits)) >> kFractionBits;
    *stamp = {varo::record::kGregorianToUnix + ms * kCountsPerMs + (steps >> kStepBits),
              steps & ((1u << kStepBits) - 1)};
    return true;
}

// Writes a version 6 or 1 GUID record to `raw`. Returns false when the
// kernel source fails (no timestamp is spent then) or the clock is past the
// end of its range.
template <int version>
bool make_gregorian(unsigned char *raw) noexcept {
    Stamp now;
    if (!varo::platform::random16(raw) || !next_stamp(&now)) return false;
    const std::uint64_t t = now.count;
    // The record's first three fields, as the RFC form prints them.
    std::uint64_t data1, data2, data3;
    if constexpr (version == 6) {
        data1 = t >> 28 & 0xFFFFFFFF;
        data2 = t >> 12 & 0xFFFF;
        data3 = 0x6000 | (t & 0xFFF);
    } else {
        static_assert(version == 1);
        data1 = t & 0xFFFFFFFF;
        data2 = t >> 32 & 0xFFFF;
        data3 = 0x1000 | (t >> 48 & 0xFFF);
    }
    // r8: the variant 10, the fraction, and one fresh bit; r10: the
    // multicast bit, or-ed in.
    constexpr std::uint64_t kKeep = ~std::uint64_t{0xFE};
    const std::uint64_t set = 0x80 | now.step << 1 | std::uint64_t{0x01} << 16;
    varo::record::finish_time_record(raw, data1 | data2 << 32 | data3 << 48, kKeep, set);
    return true;
}

template <int version>
int gregorian_on_buf(char *buf) noexcept {
    if (buf == nullptr) return -1;
    alignas(8) unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!make_gregorian<version>(raw)) return -1;
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

}  // namespace

extern "C" {

int varo_uuid_generate_v6_on_buf(char *buf) noexcept { return gregorian_on_buf<6>(buf); }

char *varo_uuid_generate_v6_alloc(void) noexcept {
    return varo::alloc_text(gregorian_on_buf<6>);
}

int varo_uuid_generate_v1_on_buf(char *buf) noexcept { return gregorian_on_buf<1>(buf); }

char *varo_uuid_generate_v1_alloc(void) noexcept {
    return varo::alloc_text(gregorian_on_buf<1>);
}

}  // extern "C"
