// The RFC 9562 string form of an identifier, both ways, and its two
// exported functions.
#include "rfc.h"

#include <cstddef>
#include <cstring>

#include "identifier.h"
#include "platform/cpu.h"
#include "varo_uuid.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr int kRfcChars = VARO_UUID_RFC_SIZE - 1;

// The raw byte printed at each of the 16 places of the RFC form: the GUID
// record's first three fields (4, 2 and 2 bytes) are little-endian. The
// order is its own inverse.
constexpr unsigned char kPrintOrder[VARO_UUID_RAW_SIZE] = {3, 2, 1,  0,  5,  4,  7,  6,
                                                           8, 9, 10, 11, 12, 13, 14, 15};
// Where the two digits of each printed byte start, in the 36-character
// form and in 32 digits alone.
constexpr unsigned char kDashedAt[VARO_UUID_RAW_SIZE] = {0,  2,  4,  6,  9,  11, 14, 16,
                                                         19, 21, 24, 26, 28, 30, 32, 34};
constexpr unsigned char kPlainAt[VARO_UUID_RAW_SIZE] = {0,  2,  4,  6,  8,  10, 12, 14,
                                                        16, 18, 20, 22, 24, 26, 28, 30};
constexpr int kDashes[] = {8, 13, 18, 23};

constexpr char kDigits[] = "0123456789abcdef";

// Two lower-case digits for every byte value.
struct HexPairs {
    char pair[256][2];
};
constexpr HexPairs make_pairs() {
    HexPairs t{};
    for (int v = 0; v < 256; ++v) {
        t.pair[v][0] = kDigits[v >> 4];
        t.pair[v][1] = kDigits[v & 15];
    }
    return t;
}
constexpr HexPairs kPairs = make_pairs();

// The value of each hex digit, in either case; kNotHex for any other byte.
constexpr unsigned char kNotHex = 0xF0;
struct HexValues {
    unsigned char of[256];
};
constexpr HexValues make_values() {
    HexValues t{};
    for (int c = 0; c < 256; ++c) {
        t.of[c] = kNotHex;
        if (c >= '0' && c <= '9') t.of[c] = static_cast<unsigned char>(c - '0');
        if (c >= 'a' && c <= 'f') t.of[c] = static_cast<unsigned char>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') t.of[c] = static_cast<unsigned char>(c - 'A' + 10);
    }
    return t;
}
constexpr HexValues kValues = make_values();

void format_plain(const unsigned char *raw, char *out) noexcept {
    for (int k = 0; k < VARO_UUID_RAW_SIZE; ++k) {
        std::memcpy(out + kDashedAt[k], kPairs.pair[raw[kPrintOrder[k]]], 2);
    }
    for (const int at : kDashes) out[at] = '-';
    out[kRfcChars] = '\0';
}

#if defined(__x86_64__)
// The same with three 16-byte stores (at 0, 16 and 21) that end exactly at
// the NUL.
__attribute__((target("avx2"))) void format_avx2(const unsigned char *raw, char *out) noexcept {
    const __m128i r =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(raw)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(kPrintOrder)));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i hi = _mm_and_si128(_mm_srli_epi16(r, 4), nibble);
    const __m128i lo = _mm_and_si128(r, nibble);
    const __m128i digits = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kDigits));
    // Digits 0-15 and 16-31, each byte's high nibble first.
    const __m128i d0 = _mm_shuffle_epi8(digits, _mm_unpacklo_epi8(hi, lo));
    const __m128i d1 = _mm_shuffle_epi8(digits, _mm_unpackhi_epi8(hi, lo));
    const char z = -1;  // a zero byte, for the dashes and the NUL
    const __m128i out0 = _mm_or_si128(
        _mm_shuffle_epi8(d0, _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, z, 8, 9, 10, 11, z, 12, 13)),
        _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, '-', 0, 0, 0, 0, '-', 0, 0));
    const __m128i out16 = _mm_or_si128(
        _mm_or_si128(
            _mm_shuffle_epi8(d0, _mm_setr_epi8(14, 15, z, z, z, z, z, z, z, z, z, z, z, z, z, z)),
            _mm_shuffle_epi8(d1, _mm_setr_epi8(z, z, z, 0, 1, 2, 3, z, 4, 5, 6, 7, 8, 9, 10, 11))),
        _mm_setr_epi8(0, 0, '-', 0, 0, 0, 0, '-', 0, 0, 0, 0, 0, 0, 0, 0));
    const __m128i out21 = _mm_or_si128(
        _mm_shuffle_epi8(d1, _mm_setr_epi8(2, 3, z, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, z)),
        _mm_setr_epi8(0, 0, '-', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), out0);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16), out16);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 21), out21);
}
#endif

// 32 hex digits, the two of printed byte k at s + at[k].
bool parse_digits(const unsigned char *s, const unsigned char *at, unsigned char *raw) noexcept {
    unsigned char bytes[VARO_UUID_RAW_SIZE];
    unsigned bad = 0;
    for (int k = 0; k < VARO_UUID_RAW_SIZE; ++k) {
        const unsigned hi = kValues.of[s[at[k]]];
        const unsigned lo = kValues.of[s[at[k] + 1]];
        bad |= hi | lo;
        bytes[kPrintOrder[k]] = static_cast<unsigned char>(hi << 4 | lo);
    }
    if (bad & kNotHex) return false;
    std::memcpy(raw, bytes, sizeof bytes);
    return true;
}

// The 36-character form at s.
bool parse_dashed(const unsigned char *s, unsigned char *raw) noexcept {
    for (const int at : kDashes) {
        if (s[at] != '-') return false;
    }
    return parse_digits(s, kDashedAt, raw);
}

// "urn:uuid:" in either case, as URNs compare their scheme and namespace.
bool has_urn_prefix(const unsigned char *s) noexcept {
    constexpr char kPrefix[] = "urn:uuid:";
    for (std::size_t i = 0; i + 1 < sizeof kPrefix; ++i) {
        const unsigned char c = s[i] >= 'A' && s[i] <= 'Z' ? s[i] + ('a' - 'A') : s[i];
        if (c != static_cast<unsigned char>(kPrefix[i])) return false;
    }
    return true;
}

}  // namespace

namespace varo::rfc {

void format(const unsigned char *raw, char *out) noexcept {
#if defined(__x86_64__)
    if (platform::cpu_has_avx2()) return format_avx2(raw, out);
#endif
    format_plain(raw, out);
}

bool parse(const char *text, unsigned char *raw) noexcept {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    // The longest form has 45 characters; strnlen stops at 46.
    switch (strnlen(text, 46)) {
        case 32:
            return parse_digits(s, kPlainAt, raw);
        case 36:
            return parse_dashed(s, raw);
        case 38:
            return s[0] == '{' && s[37] == '}' && parse_dashed(s + 1, raw);
        case 45:
            return has_urn_prefix(s) && parse_dashed(s + 9, raw);
        default:
            return false;
    }
}

}  // namespace varo::rfc

extern "C" {

int varo_uuid_to_rfc(const char *text, char *buf) noexcept {
    if (text == nullptr || buf == nullptr) return -1;
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!varo::canonical_to_raw(text, raw)) return -1;
    varo::rfc::format(raw, buf);
    return 0;
}

int varo_uuid_from_rfc(const char *rfc, char *buf) noexcept {
    if (rfc == nullptr || buf == nullptr) return -1;
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!varo::rfc::parse(rfc, raw)) return -1;
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

}  // extern "C"
