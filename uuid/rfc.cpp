// The RFC 9562 string form of an identifier, both ways, and its two
// exported functions.
#include "rfc.h"

#include <cstddef>
#include <cstring>

#include "identifier.h"
#include "kernels.h"
#include "varo_uuid.h"

namespace {

using varo::rfc::kDashedAt;
using varo::rfc::kDashes;
using varo::rfc::kPrintOrder;

constexpr int kRfcChars = VARO_UUID_RFC_SIZE - 1;
static_assert(kRfcChars == 36);

// Where the two digits of each printed byte start in 32 digits alone.
constexpr unsigned char kPlainAt[VARO_UUID_RAW_SIZE] = {0,  2,  4,  6,  8,  10, 12, 14,
                                                        16, 18, 20, 22, 24, 26, 28, 30};

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
    if (!varo::decode_canonical(text, raw)) return -1;
    varo::kernels::format_rfc(raw, buf);
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
