// Internal: the codec's classifiers and its tables, computed at compile
// time, shared by the codec (base64.cpp) and the portable identifier kernel.
#ifndef VARO_UUID_BASE64_TABLES_H
#define VARO_UUID_BASE64_TABLES_H

#include <bit>
#include <cstdint>

#include "base64.h"

namespace varo::base64 {

constexpr char kPad = '=';

constexpr int classify_mixed(unsigned char c, const char *alphabet) noexcept {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == static_cast<unsigned char>(alphabet[62])) return 62;
    if (c == static_cast<unsigned char>(alphabet[63])) return 63;
    return -1;
}

constexpr int classify_upper(unsigned char c, const char *alphabet) noexcept {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '0' && c <= '9') return c - '0' + 26;
    for (int pos = 36; pos < 64; ++pos) {
        if (c == static_cast<unsigned char>(alphabet[pos])) return pos;
    }
    return -1;
}

// Two output characters for every 12-bit value.
struct EncodeTable {
    char pair[4096][2];
};

constexpr EncodeTable make_encode_table(const char *alphabet) {
    EncodeTable t{};
    for (int v = 0; v < 4096; ++v) {
        t.pair[v][0] = alphabet[v >> 6];
        t.pair[v][1] = alphabet[v & 63];
    }
    return t;
}

// For each of the four positions in a group, the character's six bits
// already shifted into place; a character outside the alphabet sets bits
// above the 24 data bits, so one test covers a whole group.
constexpr std::uint32_t kInvalid = 0xFF000000u;

struct DecodeTable {
    std::uint32_t at[4][256];
};

template <typename Classify>
constexpr DecodeTable make_decode_table(const char *alphabet, Classify classify) {
    DecodeTable t{};
    for (int c = 0; c < 256; ++c) {
        const int v = classify(static_cast<unsigned char>(c), alphabet);
        for (int pos = 0; pos < 4; ++pos) {
            t.at[pos][c] = v < 0 ? kInvalid : static_cast<std::uint32_t>(v) << (18 - 6 * pos);
        }
    }
    return t;
}

// Inline variables: one copy of each table in the library, whichever units
// read it.
inline constexpr EncodeTable kEncodeStd = make_encode_table(BASE64_ALPHABET_STD);
inline constexpr EncodeTable kEncodePathsafe = make_encode_table(BASE64_ALPHABET_PATHSAFE);
inline constexpr EncodeTable kEncodeUpper = make_encode_table(BASE64_ALPHABET_UPPER);

inline constexpr DecodeTable kDecodeStd = make_decode_table(BASE64_ALPHABET_STD, classify_mixed);
inline constexpr DecodeTable kDecodePathsafe =
    make_decode_table(BASE64_ALPHABET_PATHSAFE, classify_mixed);
inline constexpr DecodeTable kDecodeUpper =
    make_decode_table(BASE64_ALPHABET_UPPER, classify_upper);

// The 24 bits of the group of four characters at s, or a value with
// kInvalid bits set when one is not in the table's alphabet.
inline std::uint32_t group(const DecodeTable &t, const unsigned char *s) noexcept {
    return t.at[0][s[0]] | t.at[1][s[1]] | t.at[2][s[2]] | t.at[3][s[3]];
}

// Big-endian order of a 64-bit word, so that byte 0 is its top byte.
inline std::uint64_t big_endian(std::uint64_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

}  // namespace varo::base64

#endif  // VARO_UUID_BASE64_TABLES_H
