// Six-bit codec: the alphabets, the classifiers, the encoder and the decoder.
//
// The three built-in alphabets (or copies of them) run through tables
// computed at compile time (base64_tables.h); any other alphabet or
// classifier takes the plain character-by-character path. Both paths give
// the same bytes, the same lengths and the same partial output on failure.
// Texts of the library are at most 24 characters, so neither path has a
// wide loop; the identifier kernels (kernels.h) take the 24-character ones.
#include "base64.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base64_tables.h"
#include "platform/runtime_alloc.h"

namespace {

using namespace varo::base64;

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

inline std::uint64_t load_be64(const unsigned char *p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return big_endian(v);
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

void encode_fast(const unsigned char *in, std::size_t n, char *out, const EncodeTable &t,
                 const char *alphabet) noexcept {
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

bool decode_any(const char *text, std::size_t n, unsigned char *out, const char *alphabet,
                base64_classifier classify) noexcept {
    const DecodeTable *t = decode_table_for(alphabet, classify);
    if (t == nullptr) return decode_plain(text, n, out, alphabet, classify);
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

}  // namespace varo::base64

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
