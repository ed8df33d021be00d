// Six-bit codec: the alphabets, the classifiers, the encoder and the decoder.
//
// The three built-in alphabets (or copies of them) run through tables
// computed at compile time; any other alphabet or classifier takes the plain
// character-by-character path. Both paths give the same bytes, the same lengths and the same
// partial output on failure.
#include "base64.h"

#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/cpu.h"
#include "platform/runtime_alloc.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

extern "C" {
constexpr char BASE64_ALPHABET_STD[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char BASE64_ALPHABET_PATHSAFE[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_";
constexpr char BASE64_ALPHABET_UPPER[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/-)(*&^%$#@!~;.,<>?[]{}|`+_";
}

namespace {

constexpr char kPad = '=';

// Whether characters 22 and 23 of a 24-character text are "==".
inline bool padded24(const char *text) noexcept {
    std::uint16_t pad;
    std::memcpy(&pad, text + 22, sizeof pad);
    return pad == (kPad << 8 | kPad);
}

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

// ---- Tables ---------------------------------------------------------------

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

constexpr EncodeTable kEncodeStd = make_encode_table(BASE64_ALPHABET_STD);
constexpr EncodeTable kEncodePathsafe = make_encode_table(BASE64_ALPHABET_PATHSAFE);
constexpr EncodeTable kEncodeUpper = make_encode_table(BASE64_ALPHABET_UPPER);

constexpr DecodeTable kDecodeStd = make_decode_table(BASE64_ALPHABET_STD, classify_mixed);
constexpr DecodeTable kDecodePathsafe =
    make_decode_table(BASE64_ALPHABET_PATHSAFE, classify_mixed);
constexpr DecodeTable kDecodeUpper = make_decode_table(BASE64_ALPHABET_UPPER, classify_upper);

// Whether `alphabet` is the built-in one, by address or, for a copy, by
// its 64 characters.
bool is(const char *alphabet, const char *builtin) noexcept {
    return alphabet == builtin || std::memcmp(alphabet, builtin, 64) == 0;
}

const EncodeTable *encode_table_for(const char *alphabet) noexcept {
    if (is(alphabet, BASE64_ALPHABET_STD)) return &kEncodeStd;
    if (is(alphabet, BASE64_ALPHABET_PATHSAFE)) return &kEncodePathsafe;
    if (is(alphabet, BASE64_ALPHABET_UPPER)) return &kEncodeUpper;
    return nullptr;
}

// A table stands for a classifier only with the alphabet it was built from.
const DecodeTable *decode_table_for(const char *alphabet, base64_classifier classify) noexcept {
    if (classify == base64_class_mixed) {
        if (is(alphabet, BASE64_ALPHABET_STD)) return &kDecodeStd;
        if (is(alphabet, BASE64_ALPHABET_PATHSAFE)) return &kDecodePathsafe;
    } else if (classify == base64_class_upper && is(alphabet, BASE64_ALPHABET_UPPER)) {
        return &kDecodeUpper;
    }
    return nullptr;
}

// Big-endian order of a 64-bit word, so that byte 0 is its top byte.
inline std::uint64_t big_endian(std::uint64_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

inline std::uint64_t load_be64(const unsigned char *p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return big_endian(v);
}

inline void store_be64(unsigned char *p, std::uint64_t v) noexcept {
    v = big_endian(v);
    std::memcpy(p, &v, sizeof v);
}

// Stores the low 48 bits of v, most significant byte first.
inline void store_be48(unsigned char *p, std::uint64_t v) noexcept {
    v = big_endian(v << 16);
    std::memcpy(p, &v, 6);
}

inline void store3(unsigned char *p, std::uint32_t v) noexcept {
    p[0] = static_cast<unsigned char>(v >> 16);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v);
}

// ---- Encoding -------------------------------------------------------------

// The last one or two bytes: two or three characters, then padding.
void encode_tail(const unsigned char *in, std::size_t left, char *out,
                 const char *alphabet) noexcept {
    if (left == 1) {
        out[0] = alphabet[in[0] >> 2];
        out[1] = alphabet[(in[0] & 3) << 4];
        out[2] = kPad;
        out[3] = kPad;
    } else if (left == 2) {
        out[0] = alphabet[in[0] >> 2];
        out[1] = alphabet[((in[0] & 3) << 4) | (in[1] >> 4)];
        out[2] = alphabet[(in[1] & 15) << 2];
        out[3] = kPad;
    }
}

void encode_plain(const unsigned char *in, std::size_t n, char *out,
                  const char *alphabet) noexcept {
    for (; n >= 3; n -= 3, in += 3, out += 4) {
        const std::uint32_t v = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
        out[0] = alphabet[(v >> 18) & 63];
        out[1] = alphabet[(v >> 12) & 63];
        out[2] = alphabet[(v >> 6) & 63];
        out[3] = alphabet[v & 63];
    }
    encode_tail(in, n, out, alphabet);
}

#if defined(__x86_64__)
#define VARO_AVX2 __attribute__((target("avx2"), always_inline))

// Characters 16k to 16k + 15 of the alphabet, in both halves.
VARO_AVX2 inline __m256i alphabet_quarter(const char *alphabet, int k) noexcept {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(alphabet + 16 * k)));
}

// Encodes 24 bytes into 32 characters a step, for any alphabet, while at
// least 28 bytes remain (the second 16-byte load reaches byte 27). Returns
// the bytes consumed.
__attribute__((target("avx2"))) std::size_t encode_avx2(const unsigned char *in, std::size_t n,
                                                         char *out,
                                                         const char *alphabet) noexcept {
    // Each 32-bit lane takes one group b0 b1 b2 as b1 b0 b2 b1, so that two
    // 16-bit multiplies move all four six-bit fields into their own bytes.
    const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                            1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    const __m256i lut0 = alphabet_quarter(alphabet, 0), lut1 = alphabet_quarter(alphabet, 1),
                  lut2 = alphabet_quarter(alphabet, 2), lut3 = alphabet_quarter(alphabet, 3);
    std::size_t done = 0;
    for (; n - done >= 28; done += 24, out += 32) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + done));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + done + 12));
        const __m256i v = _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), spread);
        const __m256i a = _mm256_mulhi_epu16(_mm256_and_si256(v, _mm256_set1_epi32(0x0fc0fc00)),
                                             _mm256_set1_epi32(0x04000040));
        const __m256i b = _mm256_mullo_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x003f03f0)),
                                             _mm256_set1_epi32(0x01000010));
        const __m256i idx = _mm256_or_si256(a, b);
        // Look each index up in the quarter of the alphabet it falls in.
        __m256i c = _mm256_shuffle_epi8(lut0, idx);
        c = _mm256_blendv_epi8(c, _mm256_shuffle_epi8(lut1, idx),
                               _mm256_cmpgt_epi8(idx, _mm256_set1_epi8(15)));
        c = _mm256_blendv_epi8(c, _mm256_shuffle_epi8(lut2, idx),
                               _mm256_cmpgt_epi8(idx, _mm256_set1_epi8(31)));
        c = _mm256_blendv_epi8(c, _mm256_shuffle_epi8(lut3, idx),
                               _mm256_cmpgt_epi8(idx, _mm256_set1_epi8(47)));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), c);
    }
    return done;
}

#endif

void encode_fast(const unsigned char *in, std::size_t n, char *out, const EncodeTable &t,
                 const char *alphabet) noexcept {
#if defined(__x86_64__)
    if (n >= 28 && varo::platform::cpu_has_avx2()) {
        const std::size_t done = encode_avx2(in, n, out, alphabet);
        in += done;
        n -= done;
        out += done / 3 * 4;
    }
#endif
    // Six bytes per step through one eight-byte load; the loop stops while
    // the load still lies inside the input.
    for (; n >= 8; n -= 6, in += 6, out += 8) {
        const std::uint64_t v = load_be64(in);
        std::memcpy(out + 0, t.pair[(v >> 52) & 0xFFF], 2);
        std::memcpy(out + 2, t.pair[(v >> 40) & 0xFFF], 2);
        std::memcpy(out + 4, t.pair[(v >> 28) & 0xFFF], 2);
        std::memcpy(out + 6, t.pair[(v >> 16) & 0xFFF], 2);
    }
    for (; n >= 3; n -= 3, in += 3, out += 4) {
        const std::uint32_t v = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
        std::memcpy(out + 0, t.pair[v >> 12], 2);
        std::memcpy(out + 2, t.pair[v & 0xFFF], 2);
    }
    encode_tail(in, n, out, alphabet);
}

// ---- Decoding -------------------------------------------------------------

// Decodes `n` characters (padding already removed). On failure the groups
// of four before the bad one are written and nothing after them.
bool decode_plain(const char *text, std::size_t n, unsigned char *out, const char *alphabet,
                  base64_classifier classify) noexcept {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    for (; n >= 4; n -= 4, s += 4, out += 3) {
        std::uint32_t acc = 0;
        for (int i = 0; i < 4; ++i) {
            const int v = classify(s[i], alphabet);
            if (v < 0) return false;
            acc = (acc << 6) | static_cast<std::uint32_t>(v);
        }
        store3(out, acc);
    }
    if (n == 1) return false;
    if (n >= 2) {
        int c[3] = {0, 0, 0};
        for (std::size_t i = 0; i < n; ++i) {
            c[i] = classify(s[i], alphabet);
            if (c[i] < 0) return false;
        }
        if (n == 2) {
            out[0] = static_cast<unsigned char>((c[0] << 2) | (c[1] >> 4));
        } else {
            const int v = (c[0] << 10) | (c[1] << 4) | (c[2] >> 2);
            out[0] = static_cast<unsigned char>(v >> 8);
            out[1] = static_cast<unsigned char>(v & 0xFF);
        }
    }
    return true;
}

inline std::uint32_t group(const DecodeTable &t, const unsigned char *s) noexcept {
    return t.at[0][s[0]] | t.at[1][s[1]] | t.at[2][s[2]] | t.at[3][s[3]];
}

bool decode_fast(const char *text, std::size_t n, unsigned char *out,
                 const DecodeTable &t) noexcept {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    // Two groups per step, checked together; a step with a bad character
    // falls through to the single-group loop, which writes the good group
    // before it and stops at the bad one.
    for (; n >= 8; n -= 8, s += 8, out += 6) {
        const std::uint32_t a = group(t, s);
        const std::uint32_t b = group(t, s + 4);
        if ((a | b) & kInvalid) break;
        store_be48(out, std::uint64_t{a} << 24 | b);
    }
    for (; n >= 4; n -= 4, s += 4, out += 3) {
        const std::uint32_t a = group(t, s);
        if (a & kInvalid) return false;
        store3(out, a);
    }
    if (n == 1) return false;
    if (n >= 2) {
        // The partial group lies in the top bits, as in a full group.
        std::uint32_t v = t.at[0][s[0]] | t.at[1][s[1]];
        if (n == 3) v |= t.at[2][s[2]];
        if (v & kInvalid) return false;
        out[0] = static_cast<unsigned char>(v >> 16);
        if (n == 3) out[1] = static_cast<unsigned char>(v >> 8);
    }
    return true;
}

#if defined(__x86_64__)
// Stores the low 12 bytes of x.
VARO_AVX2 inline void store12(unsigned char *p, __m128i x) noexcept {
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p), x);
    const int last = _mm_extract_epi32(x, 2);
    std::memcpy(p + 8, &last, 4);
}

// 0xFF in each byte of c from lo to hi, else 0.
VARO_AVX2 inline __m256i in_range(__m256i c, char lo, char hi) noexcept {
    return _mm256_and_si256(_mm256_cmpgt_epi8(c, _mm256_set1_epi8(static_cast<char>(lo - 1))),
                            _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(hi + 1)), c));
}

// `add` in each byte where mask is set, else 0.
VARO_AVX2 inline __m256i offset(__m256i mask, int add) noexcept {
    return _mm256_and_si256(mask, _mm256_set1_epi8(static_cast<char>(add)));
}

// Decodes 32 characters a step while all of them are letters, digits or
// the alphabet's positions 62 and 63, which is what base64_class_mixed
// accepts. Stops before the first step that holds anything else, so the
// scalar code decides what a bad group writes. Returns characters consumed.
__attribute__((target("avx2"))) std::size_t decode_mixed_avx2(const unsigned char *s,
                                                               std::size_t n, unsigned char *out,
                                                               char c62, char c63) noexcept {
    // Each 32-bit lane ends as the group's 24 bits; pick its three bytes,
    // most significant first.
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    std::size_t done = 0;
    for (; n - done >= 32; done += 32, out += 24) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + done));
        const __m256i upper = in_range(c, 'A', 'Z');
        const __m256i lower = in_range(c, 'a', 'z');
        const __m256i digit = in_range(c, '0', '9');
        const __m256i is62 = _mm256_cmpeq_epi8(c, _mm256_set1_epi8(c62));
        const __m256i is63 = _mm256_cmpeq_epi8(c, _mm256_set1_epi8(c63));
        const __m256i valid = _mm256_or_si256(_mm256_or_si256(upper, lower),
                                              _mm256_or_si256(digit, _mm256_or_si256(is62, is63)));
        if (_mm256_movemask_epi8(valid) != -1) break;
        const __m256i add = _mm256_or_si256(
            _mm256_or_si256(offset(upper, -'A'), offset(lower, 26 - 'a')),
            _mm256_or_si256(offset(digit, 52 - '0'),
                            _mm256_or_si256(offset(is62, 62 - c62), offset(is63, 63 - c63))));
        const __m256i v = _mm256_add_epi8(c, add);
        // Pairs of six bits into twelve, pairs of twelve into twenty-four.
        const __m256i v12 = _mm256_maddubs_epi16(v, _mm256_set1_epi32(0x01400140));
        const __m256i v24 = _mm256_madd_epi16(v12, _mm256_set1_epi32(0x00011000));
        const __m256i bytes = _mm256_shuffle_epi8(v24, order);
        store12(out, _mm256_castsi256_si128(bytes));
        store12(out + 12, _mm256_extracti128_si256(bytes, 1));
    }
    return done;
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
inline const T *opaque(const T &constants) noexcept {
    const T *p = &constants;
    __asm__("" : "+r"(p));
    return p;
}

VARO_AVX2 inline __m256i at(const Lanes &l) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i *>(l.b));
}

#endif

bool decode_any(const char *text, std::size_t n, unsigned char *out, const char *alphabet,
                base64_classifier classify) noexcept {
    const DecodeTable *t = decode_table_for(alphabet, classify);
    if (t == nullptr) return decode_plain(text, n, out, alphabet, classify);
#if defined(__x86_64__)
    if (classify == base64_class_mixed && n >= 32 && varo::platform::cpu_has_avx2()) {
        const std::size_t done = decode_mixed_avx2(reinterpret_cast<const unsigned char *>(text),
                                                   n, out, alphabet[62], alphabet[63]);
        text += done;
        n -= done;
        out += done / 4 * 3;
    }
#endif
    return decode_fast(text, n, out, *t);
}

}  // namespace

namespace varo::base64 {

DecodedSize measure(const char *text, std::uint64_t n) noexcept {
    constexpr auto size_of = [](std::uint64_t chars) {
        return chars / 4 * 3 + chars % 4 * 3 / 4;
    };
    // Padding can take at most two characters off; when even that leaves a
    // size that does not fit, refuse without reading the text.
    if (n >= 4 && size_of(n - 2) > INT_MAX) return {-1, n};
    if (n != 0 && n % 4 == 0 && text[n - 1] == kPad) n -= text[n - 2] == kPad ? 2 : 1;
    const std::uint64_t size = size_of(n);
    if (size > INT_MAX) return {-1, n};
    return {static_cast<int>(size), n};
}

#if defined(__x86_64__)
// 24 characters into 16 bytes; false, writing nothing, unless they are 22
// path-safe characters (with character 21's low bits zero, if canonical)
// and "==".
__attribute__((target("avx2"))) bool decode24_wide(const char *text, unsigned char *raw,
                                                   bool canonical) noexcept {
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
__attribute__((target("avx2"))) void encode16_wide(const unsigned char *raw, char *text) noexcept {
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
#endif

void encode16_plain(const unsigned char *raw, char *text) noexcept {
    const EncodeTable &t = kEncodePathsafe;
    for (int g = 0; g < 5; ++g, raw += 3, text += 4) {
        const std::uint32_t v = std::uint32_t{raw[0]} << 16 | std::uint32_t{raw[1]} << 8 | raw[2];
        std::memcpy(text + 0, t.pair[v >> 12], 2);
        std::memcpy(text + 2, t.pair[v & 0xFFF], 2);
    }
    encode_tail(raw, 1, text, BASE64_ALPHABET_PATHSAFE);
}

bool decode24_plain(const char *text, unsigned char *raw, bool canonical) noexcept {
    if (!padded24(text)) return false;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    const DecodeTable &t = kDecodePathsafe;
    std::uint32_t g[5];
    std::uint32_t bad = 0;
    for (int i = 0; i < 5; ++i) {
        g[i] = group(t, s + 4 * i);
        bad |= g[i];
    }
    const std::uint32_t last = t.at[0][s[20]] | t.at[1][s[21]];
    if ((bad | last) & kInvalid) return false;
    // Character 21 carries two bits of the last byte; its low four bits
    // land in bits 12 to 15 here.
    if (canonical && (last & 0xF000u) != 0) return false;
    // Five groups of 24 bits and one byte, as two 64-bit words.
    store_be64(raw, std::uint64_t{g[0]} << 40 | std::uint64_t{g[1]} << 16 | g[2] >> 8);
    store_be64(raw + 8, std::uint64_t{g[2]} << 56 | std::uint64_t{g[3]} << 32 |
                            std::uint64_t{g[4]} << 8 | last >> 16);
    return true;
}

}  // namespace varo::base64

extern "C" {

int base64_class_mixed(unsigned char c, const char *alphabet) noexcept {
    return classify_mixed(c, alphabet);
}

int base64_class_upper(unsigned char c, const char *alphabet) noexcept {
    return classify_upper(c, alphabet);
}

char *base64_encode_with(const unsigned char *in, unsigned n, char *out, const char *alphabet,
                         int *out_len) noexcept {
    const std::size_t bytes = n != 0 ? n : std::strlen(reinterpret_cast<const char *>(in));
    if (bytes > UINT_MAX) return nullptr;
    // The length and the terminator must fit an int; refuse before touching
    // anything else.
    const std::uint64_t length = (std::uint64_t{bytes} + 2) / 3 * 4;
    if (length + 1 > INT_MAX) return nullptr;
    if (out_len != nullptr) *out_len = static_cast<int>(length);
    if (out == nullptr) {
        out = static_cast<char *>(varo::platform::runtime_malloc(length + 1));
        if (out == nullptr) return nullptr;
        out[length] = '\0';
    }
    if (const EncodeTable *t = encode_table_for(alphabet)) {
        encode_fast(in, bytes, out, *t, alphabet);
    } else {
        encode_plain(in, bytes, out, alphabet);
    }
    return out;
}

char *base64_encode(const unsigned char *in, unsigned n, char *out) noexcept {
    return base64_encode_with(in, n, out, BASE64_ALPHABET_STD, nullptr);
}

char *base64_encode_pathsafe(const unsigned char *in, unsigned n, char *out,
                             int *out_len) noexcept {
    return base64_encode_with(in, n, out, BASE64_ALPHABET_PATHSAFE, out_len);
}

char *base64_encode_upper(const unsigned char *in, unsigned n, char *out, int *out_len) noexcept {
    return base64_encode_with(in, n, out, BASE64_ALPHABET_UPPER, out_len);
}

unsigned char *base64_decode_with(const char *text, unsigned n, unsigned char *out,
                                  const char *alphabet, int *out_len,
                                  base64_classifier classify) noexcept {
    const std::size_t chars = n != 0 ? n : std::strlen(text);
    if (chars > UINT_MAX) return nullptr;
    const varo::base64::DecodedSize size = varo::base64::measure(text, chars);
    if (size.bytes < 0) return nullptr;
    if (out_len != nullptr) *out_len = size.bytes;
    bool owned = false;
    if (out == nullptr) {
        out = static_cast<unsigned char *>(
            varo::platform::runtime_malloc(static_cast<std::size_t>(size.bytes) + 1));
        if (out == nullptr) return nullptr;
        out[size.bytes] = '\0';
        owned = true;
    }
    if (!decode_any(text, size.chars, out, alphabet, classify)) {
        if (owned) varo::platform::runtime_free(out);
        return nullptr;
    }
    return out;
}

unsigned char *base64_decode(const char *text, unsigned n, unsigned char *out) noexcept {
    return base64_decode_with(text, n, out, BASE64_ALPHABET_STD, nullptr, base64_class_mixed);
}

unsigned char *base64_decode_len(const char *text, unsigned n, unsigned char *out,
                                 int *out_len) noexcept {
    return base64_decode_with(text, n, out, BASE64_ALPHABET_STD, out_len, base64_class_mixed);
}

unsigned char *base64_decode_pathsafe(const char *text, unsigned n, unsigned char *out,
                                      int *out_len) noexcept {
    return base64_decode_with(text, n, out, BASE64_ALPHABET_PATHSAFE, out_len,
                              base64_class_mixed);
}

unsigned char *base64_decode_upper(const char *text, unsigned n, unsigned char *out,
                                   int *out_len) noexcept {
    return base64_decode_with(text, n, out, BASE64_ALPHABET_UPPER, out_len, base64_class_upper);
}

}  // extern "C"
