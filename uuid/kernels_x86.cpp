// The x86 identifier kernels: AVX2 for 16 bytes <-> 24 characters, SSSE3
// (which every AVX2 processor has) for the RFC form. The chooser in
// kernels.h calls them only where the processor has AVX2.
//
// This whole unit is compiled with -mavx2 (cmake/library.cmake). So that
// no AVX2 code can reach a caller on another processor, it instantiates no
// shared inline code: it includes only the compiler's intrinsics (always
// inlined, never emitted on their own), <cstdint>, <cstring> and headers
// of declarations and constant data (kernels_x86.h, rfc.h); its own helpers
// have internal linkage. An inline function with external linkage used
// here would be emitted as a COMDAT copy built for AVX2, which the linker
// may keep for every caller, and those on a processor without AVX2 would
// die of SIGILL.
#if defined(__x86_64__)
#include "kernels_x86.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "rfc.h"

namespace varo::kernels {
namespace {

// The helpers are always inlined, in unoptimised builds too: then no code
// of this unit but the three kernels exists on its own.

// Whether characters 22 and 23 of a 24-character text are "==".
[[gnu::always_inline]] inline bool padded24(const char *text) noexcept {
    std::uint16_t pad;
    std::memcpy(&pad, text + 22, sizeof pad);
    return pad == ('=' << 8 | '=');
}

// ---- Identifier texts: 16 bytes <-> 24 characters -----------------------
//
// The identifier's text is exactly six groups: five full ones and the last
// byte with "==". Both kernels keep to the 16 raw bytes and the 24
// characters: the loads are 16 bytes at text + 0 and text + 8, never past
// the text's 25-byte block, and the stores end at the last character.
//
// Each call does little work, so what bounds it is the number of
// instructions and how many of them need the one shuffle port: the
// constants are operands in memory, found from one base address, and each
// kernel has five shuffles at most.

// One 32-byte constant.
struct alignas(32) Lanes {
    unsigned char b[32];
};
constexpr Lanes both_halves(const unsigned char (&x)[16]) {
    Lanes l{};
    for (int i = 0; i < 32; ++i) l.b[i] = x[i % 16];
    return l;
}
constexpr Lanes splat(unsigned char v) {
    Lanes l{};
    for (auto &b : l.b) b = v;
    return l;
}
constexpr unsigned char kZ = 0x80;  // a shuffle index that gives a zero byte

struct DecodeConstants {
    // Path-safe characters by their nibbles: a character is in the alphabet
    // when low_class[low nibble] & high_class[high nibble] is 0. Each bit
    // of high_class names one high nibble's set of refused low nibbles:
    //   0x01 '+' row (2): all but B      0x02 digit row (3): A-F
    //   0x04 'A'/'a' rows (4, 6): 0      0x08 'P' row (5): B-E ('_' is F)
    //   0x10 'p' row (7): B-F            0xFF every other row
    Lanes low_class = both_halves({0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x03,
                                   0x1A, 0x1B, 0x1B, 0x1B, 0x13});
    Lanes high_class = both_halves({0xFF, 0xFF, 0x01, 0x02, 0x04, 0x08, 0x04, 0x10, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    // What to add to a character to get its six bits, by high nibble; '_'
    // looks up row 0, where every other character is refused.
    Lanes roll = both_halves({256 + 63 - '_', 0, 62 - '+', 52 - '0', 256 - 'A', 256 - 'A',
                              256 + 26 - 'a', 256 + 26 - 'a', 0, 0, 0, 0, 0, 0, 0, 0});
    Lanes nibble = splat(0x0F);
    Lanes underscore = splat('_');
    // The low half holds characters 0-15, the high half 8-23. Bytes that
    // carry data: all of the low half, and characters 8-21 of the high one
    // (8-15 are the low half's again, and decode to bytes that are not
    // kept); "==" is checked on its own, and weighs nothing below.
    Lanes data = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0}};
    // Character 21 may carry only the top two bits of its six.
    Lanes low_bits_21 = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0F, 0, 0}};
    Lanes six_bit_pairs = both_halves({0x40, 0x01, 0x40, 0x01, 0x40, 0x01, 0x40, 0x01, 0x40, 0x01,
                                       0x40, 0x01, 0x40, 0x01, 0x40, 0x01});
    // Characters 22 and 23 ("==") get weight 0, so they add nothing to the
    // last group.
    Lanes twelve_bit_pairs = {{0x00, 0x10, 0x01, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x10, 0x01,
                               0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x10,
                               0x01, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00}};
    // Each group's three bytes, most significant first: groups 0-3 from
    // the low half into bytes 0-11, groups 4 and 5 (high-half dwords 2 and
    // 3) into the start of the high half, as bytes 12-15.
    Lanes group_bytes = {{2,  1, 0, 6,  5,  4,  10, 9,  8,  14, 13, 12, kZ, kZ, kZ, kZ,
                          10, 9, 8, 14, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ}};
    // Dwords 0-2 and 4, the sixteen bytes in order.
    Lanes join = {{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0,
                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
};
constexpr DecodeConstants kDecode24;

struct EncodeConstants {
    // Each group b0 b1 b2 laid out as b1 b0 b2 b1: groups 0-3 in the low
    // half, group 4 and the last byte (as b15 0 0) in the high half.
    Lanes spread = {{1,  0,  2,  1,  4,  3,  5,  4,  7,  6,  8,  7,  10, 9,  11, 10,
                     13, 12, 14, 13, kZ, 15, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ}};
    // Two 16-bit multiplies move the four six-bit fields of each group
    // into their own bytes.
    Lanes fields_hi = both_halves({0x00, 0xFC, 0xC0, 0x0F, 0x00, 0xFC, 0xC0, 0x0F, 0x00, 0xFC, 0xC0,
                                   0x0F, 0x00, 0xFC, 0xC0, 0x0F});
    Lanes shift_hi = both_halves({0x40, 0x00, 0x00, 0x04, 0x40, 0x00, 0x00, 0x04, 0x40, 0x00, 0x00,
                                  0x04, 0x40, 0x00, 0x00, 0x04});
    Lanes fields_lo = both_halves({0xF0, 0x03, 0x3F, 0x00, 0xF0, 0x03, 0x3F, 0x00, 0xF0, 0x03, 0x3F,
                                   0x00, 0xF0, 0x03, 0x3F, 0x00});
    Lanes shift_lo = both_halves({0x10, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00,
                                  0x01, 0x10, 0x00, 0x00, 0x01});
    // Six bits to a character through an offset picked by range: 0-25
    // 'A'.., 26-51 'a'.., 52-61 '0'.., 62 '+', 63 '_'.
    Lanes above51 = splat(51);
    Lanes letters = splat(26);
    Lanes upper_row = splat(13);
    Lanes offsets =
        both_halves({'a' - 26, 256 + '0' - 52, 256 + '0' - 52, 256 + '0' - 52, 256 + '0' - 52,
                     256 + '0' - 52, 256 + '0' - 52, 256 + '0' - 52, 256 + '0' - 52, 256 + '0' - 52,
                     256 + '0' - 52, 256 + '+' - 62, '_' - 63, 'A', 0, 0});
    // Characters 22 and 23 come out as 'A' (six zero bits); this makes
    // them '='.
    Lanes make_pad = {{0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       256 + '=' - 'A',
                       256 + '=' - 'A',
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0}};
};
constexpr EncodeConstants kEncode16;

// The constants' address, hidden from the optimizer, which would otherwise
// build the repeated bytes in registers through the shuffle port rather
// than take them as memory operands.
template <typename T>
[[gnu::always_inline]] inline const T *opaque(const T &constants) noexcept {
    const T *p = &constants;
    __asm__("" : "+r"(p));
    return p;
}

[[gnu::always_inline]] inline __m256i at(const Lanes &l) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i *>(l.b));
}

}  // namespace

// 24 characters into 16 bytes; false, writing nothing, unless they are 22
// path-safe characters (with character 21's low bits zero, if canonical)
// and "==".
bool decode24_avx2(const char *text, unsigned char *raw, bool canonical) noexcept {
    if (!padded24(text)) return false;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    const DecodeConstants *k = opaque(kDecode24);
    const __m256i c = _mm256_loadu2_m128i(reinterpret_cast<const __m128i *>(s + 8),
                                          reinterpret_cast<const __m128i *>(s));
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi32(c, 4), at(k->nibble));
    const __m256i lo = _mm256_and_si256(c, at(k->nibble));
    __m256i bad = _mm256_and_si256(_mm256_shuffle_epi8(at(k->low_class), lo),
                                   _mm256_shuffle_epi8(at(k->high_class), hi));
    const __m256i row = _mm256_andnot_si256(_mm256_cmpeq_epi8(c, at(k->underscore)), hi);
    const __m256i v = _mm256_add_epi8(c, _mm256_shuffle_epi8(at(k->roll), row));
    if (canonical) bad = _mm256_or_si256(bad, _mm256_and_si256(v, at(k->low_bits_21)));
    if (!_mm256_testz_si256(bad, at(k->data))) return false;
    // Pairs of six bits into twelve, pairs of twelve into twenty-four, then
    // the bytes in order and the high half's four next to the low half's
    // twelve.
    const __m256i v24 =
        _mm256_madd_epi16(_mm256_maddubs_epi16(v, at(k->six_bit_pairs)), at(k->twelve_bit_pairs));
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v24, at(k->group_bytes)), at(k->join));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(raw), _mm256_castsi256_si128(bytes));
    return true;
}

// 16 bytes into 24 characters ending in "==".
void encode16_avx2(const unsigned char *raw, char *text) noexcept {
    const EncodeConstants *k = opaque(kEncode16);
    // Two 8-byte loads, not one of 16: bytes just written as two words (a
    // fresh GUID) then reach the load straight from the store buffer, which
    // a load spanning two stores waits for.
    std::uint64_t lo, hi;
    std::memcpy(&lo, raw, 8);
    std::memcpy(&hi, raw + 8, 8);
    const __m256i r = _mm256_broadcastsi128_si256(
        _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo)));
    const __m256i v = _mm256_shuffle_epi8(r, at(k->spread));
    const __m256i idx =
        _mm256_or_si256(_mm256_mulhi_epu16(_mm256_and_si256(v, at(k->fields_hi)), at(k->shift_hi)),
                        _mm256_mullo_epi16(_mm256_and_si256(v, at(k->fields_lo)), at(k->shift_lo)));
    const __m256i range =
        _mm256_or_si256(_mm256_subs_epu8(idx, at(k->above51)),
                        _mm256_and_si256(_mm256_cmpgt_epi8(at(k->letters), idx), at(k->upper_row)));
    const __m256i chars = _mm256_add_epi8(
        _mm256_add_epi8(idx, _mm256_shuffle_epi8(at(k->offsets), range)), at(k->make_pad));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(text), _mm256_castsi256_si128(chars));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(text + 16), _mm256_extracti128_si256(chars, 1));
}

// The same with three 16-byte stores (at 0, 16 and 21) that end exactly at
// the NUL.
void format_rfc_avx2(const unsigned char *raw, char *out) noexcept {
    const __m128i r =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(raw)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(rfc::kPrintOrder)));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i hi = _mm_and_si128(_mm_srli_epi16(r, 4), nibble);
    const __m128i lo = _mm_and_si128(r, nibble);
    const __m128i digits = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rfc::kDigits));
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

}  // namespace varo::kernels
#endif  // __x86_64__
