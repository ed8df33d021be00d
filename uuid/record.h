// Internal: the GUID record beside RFC 9562's network order, and the last
// touches that the time-based layouts put on 16 fresh bytes.
//
// Every identifier is stored as the GUID record: its first three fields
// (4, 2 and 2 bytes) little-endian, the other 8 bytes as they come. The
// RFC form and other libraries' 16 bytes (libuuid's uuid_t, Python's
// UUID.bytes) hold the same fields big-endian.
#ifndef VARO_UUID_RECORD_H
#define VARO_UUID_RECORD_H

#include <bit>
#include <cstdint>
#include <cstring>

#include "rfc.h"

namespace varo::record {

// 100 ns counts from the Gregorian reform (1582-10-15), where the
// timestamps of versions 1 and 6 begin, to the Unix epoch.
inline constexpr std::int64_t kGregorianToUnix = 0x01B21DD213814000;

// Where byte k of a native 8-byte word lies.
constexpr int shift(int k) {
    return std::endian::native == std::endian::little ? 8 * k : 56 - 8 * k;
}

// Two 8-byte words that the compiler stores as one 16-byte store.
using Words = std::uint64_t __attribute__((vector_size(16)));

// Writes p[kPrintOrder[0]] ... p[kPrintOrder[15]] to `out`: a GUID record's
// bytes in RFC order, and back, since the order is its own inverse. Bytes
// 8-15 stay in place. `out` may be `p`. Read byte by byte, so that each
// load lies within one store of whoever wrote `p` (nettle writes its digest
// a byte at a time), and written with one 16-byte store, which the next
// reader's 16-byte load (nettle's copy into its block, the encoding kernel)
// takes straight from the store buffer: a load that spans two narrower
// stores stalls.
inline void reorder_bytes(const std::uint8_t *p, std::uint8_t *out) noexcept {
    Words w = {0, 0};
    for (int k = 0; k < 16; ++k) {
        w[k / 8] |= std::uint64_t{p[rfc::kPrintOrder[k]]} << shift(k % 8);
    }
    std::memcpy(out, &w, sizeof w);
}

// The first 8 bytes of a GUID record as a native word, and the same of the
// record in RFC order: the 4-byte field's bytes reversed, and each 2-byte
// field's.
inline std::uint64_t reorder_word(std::uint64_t head) noexcept {
    auto swap_halves = [](std::uint32_t x) {
        return (x & 0x00FF00FFu) << 8 | (x >> 8 & 0x00FF00FFu);
    };
    const auto low = static_cast<std::uint32_t>(head);
    const auto high = static_cast<std::uint32_t>(head >> 32);
    if constexpr (std::endian::native == std::endian::little) {
        return __builtin_bswap32(low) | std::uint64_t{swap_halves(high)} << 32;
    } else {
        return std::uint64_t{__builtin_bswap32(high)} << 32 | swap_halves(low);
    }
}

// The same as reorder_bytes() for 16 bytes that were written whole or long
// ago (a caller's uuid_t): two 8-byte loads, one 16-byte store.
inline void reorder(const std::uint8_t *p, std::uint8_t *out) noexcept {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + 8, 8);
    const Words w = {reorder_word(head), tail};
    std::memcpy(out, &w, sizeof w);
}

// The same in place, where only the first 8 bytes change.
inline void reorder_in_place(std::uint8_t *p) noexcept {
    std::uint64_t head;
    std::memcpy(&head, p, 8);
    head = reorder_word(head);
    std::memcpy(p, &head, 8);
}

// Lays a time-based record over the 16 fresh bytes at `raw`. `fields` is
// the record's first 8 bytes as a little-endian word: Data1 | Data2 << 32 |
// Data3 << 48, the three fields as the RFC form prints them. In bytes 8-15
// (r8 first, also as a little-endian word) the bits of `keep` stay as they
// came and `set` is or-ed in. Both words are made in registers and stored
// whole: the kernel wrote the record as 8-byte words, and a narrower store
// into one stalls the encoder's loads.
inline void finish_time_record(unsigned char *raw, std::uint64_t fields, std::uint64_t keep,
                               std::uint64_t set) noexcept {
    std::uint64_t tail;
    std::memcpy(&tail, raw + 8, 8);
    __asm__("" : "+r"(tail));
    if constexpr (std::endian::native == std::endian::big) {
        fields = __builtin_bswap64(fields);
        keep = __builtin_bswap64(keep);
        set = __builtin_bswap64(set);
    }
    tail = (tail & keep) | set;
    std::memcpy(raw, &fields, 8);
    std::memcpy(raw + 8, &tail, 8);
}

}  // namespace varo::record

#endif  // VARO_UUID_RECORD_H
