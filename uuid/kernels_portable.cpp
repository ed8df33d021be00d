// The portable identifier kernels: table-driven, for any processor.
#include <cstdint>
#include <cstring>

#include "base64_tables.h"
#include "kernels.h"
#include "rfc.h"

namespace varo::kernels {
namespace {

using base64::big_endian;

// Whether characters 22 and 23 of a 24-character text are "==".
inline bool padded24(const char *text) noexcept {
    std::uint16_t pad;
    std::memcpy(&pad, text + 22, sizeof pad);
    return pad == (base64::kPad << 8 | base64::kPad);
}

// Two lower-case hex digits for every byte value.
struct HexPairs {
    char pair[256][2];
};
constexpr HexPairs make_pairs() {
    HexPairs t{};
    for (int v = 0; v < 256; ++v) {
        t.pair[v][0] = rfc::kDigits[v >> 4];
        t.pair[v][1] = rfc::kDigits[v & 15];
    }
    return t;
}
constexpr HexPairs kPairs = make_pairs();

}  // namespace

void encode16_portable(const unsigned char *raw, char *text) noexcept {
    // All 16 bytes are read, as two words, before the first character is
    // written: the text may start where the bytes do.
    std::uint64_t hi, lo;
    std::memcpy(&hi, raw, 8);
    std::memcpy(&lo, raw + 8, 8);
    hi = big_endian(hi);
    lo = big_endian(lo);
    // Five groups of 24 bits, then the last byte.
    const std::uint64_t g[5] = {hi >> 40, hi >> 16, hi << 8 | lo >> 56, lo >> 32, lo >> 8};
    const base64::EncodeTable &t = base64::kEncodePathsafe;
    for (int i = 0; i < 5; ++i) {
        std::memcpy(text + 4 * i, t.pair[(g[i] >> 12) & 0xFFF], 2);
        std::memcpy(text + 4 * i + 2, t.pair[g[i] & 0xFFF], 2);
    }
    // The last byte's six top bits, then its two low ones and four zeros.
    std::memcpy(text + 20, t.pair[(lo & 0xFF) << 4], 2);
    text[22] = base64::kPad;
    text[23] = base64::kPad;
}

bool decode24_portable(const char *text, unsigned char *raw, bool canonical) noexcept {
    if (!padded24(text)) return false;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    const base64::DecodeTable &t = base64::kDecodePathsafe;
    std::uint32_t g[5];
    std::uint32_t bad = 0;
    for (int i = 0; i < 5; ++i) {
        g[i] = base64::group(t, s + 4 * i);
        bad |= g[i];
    }
    const std::uint32_t last = t.at[0][s[20]] | t.at[1][s[21]];
    if ((bad | last) & base64::kInvalid) return false;
    // Character 21 carries two bits of the last byte; its low four bits
    // land in bits 12 to 15 here.
    if (canonical && (last & 0xF000u) != 0) return false;
    // Five groups of 24 bits and one byte, as two 64-bit words, stored only
    // once every character is read.
    const std::uint64_t hi =
        big_endian(std::uint64_t{g[0]} << 40 | std::uint64_t{g[1]} << 16 | g[2] >> 8);
    const std::uint64_t lo = big_endian(std::uint64_t{g[2]} << 56 | std::uint64_t{g[3]} << 32 |
                                        std::uint64_t{g[4]} << 8 | last >> 16);
    std::memcpy(raw, &hi, 8);
    std::memcpy(raw + 8, &lo, 8);
    return true;
}

void format_rfc_portable(const unsigned char *raw, char *out) noexcept {
    unsigned char bytes[16];
    std::memcpy(bytes, raw, sizeof bytes);
    for (int k = 0; k < 16; ++k) {
        std::memcpy(out + rfc::kDashedAt[k], kPairs.pair[bytes[rfc::kPrintOrder[k]]], 2);
    }
    for (const int at : rfc::kDashes) out[at] = '-';
    out[36] = '\0';
}

}  // namespace varo::kernels
