// Internal six-bit codec: three alphabets, an encoder and a decoder. C++
// linkage: only the library and its C++ tests, fuzzers and benchmarks call it.
//
// Not exported from the shared library. Conventions shared by every call:
// - an input length of 0 means "measure the NUL-terminated input";
// - with a null output area the result is a new area of length + 1 bytes
//   from malloc(), NUL-terminated, that the caller releases with free();
// - with a caller's area exactly the output length is written, and no NUL;
// - lengths are unsigned 32-bit; an input is refused with null, before
//   anything is allocated or written, when its output would not fit an int:
//   an encoded length plus the NUL, or a decoded length.
#ifndef VARO_UUID_BASE64_H
#define VARO_UUID_BASE64_H

#include <cstdint>

// The three alphabets, 64 characters each plus a NUL. Position 62 is '+'
// in all three; the path-safe alphabet differs from the standard one only
// at position 63 ('_' instead of '/'). Inline: one copy, the same address
// in every unit.
inline constexpr char BASE64_ALPHABET_STD[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char BASE64_ALPHABET_PATHSAFE[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_";
inline constexpr char BASE64_ALPHABET_UPPER[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/-)(*&^%$#@!~;.,<>?[]{}|`+_";

// Maps a character (its unsigned byte value) to its position 0-63 in
// `alphabet`, or -1 when it is not in it.
using base64_classifier = int (*)(unsigned char c, const char *alphabet) noexcept;

// For the standard and path-safe alphabets: letters and digits by their
// codes, then the alphabet's positions 62 and 63.
int base64_class_mixed(unsigned char c, const char *alphabet) noexcept;
// For the upper-case alphabet: 'A'-'Z' and '0'-'9' by their codes, then the
// first match among the alphabet's positions 36 to 63.
int base64_class_upper(unsigned char c, const char *alphabet) noexcept;

// Encodes n bytes of `in` into ((n + 2) / 3) * 4 characters, '=' padded.
// Stores that length in *out_len (if not null) before allocating.
// Returns `out` (or the new area), or null when allocation fails or the
// length does not fit.
char *base64_encode_with(const unsigned char *in, unsigned n, char *out, const char *alphabet,
                         int *out_len) noexcept;
char *base64_encode(const unsigned char *in, unsigned n, char *out) noexcept;
char *base64_encode_pathsafe(const unsigned char *in, unsigned n, char *out, int *out_len) noexcept;
char *base64_encode_upper(const unsigned char *in, unsigned n, char *out, int *out_len) noexcept;

// Decodes n characters of `text`. A length that is a non-zero multiple of 4
// may end in "=" or "=="; other '=' are invalid. The decoded length
// D = (n * 3) / 4 (n without padding) is stored in *out_len (if not null)
// before allocating; it stays there even when decoding fails.
// Returns `out` (or the new area) on success. On failure returns null: a
// new area is released, while a caller's area keeps the groups of four
// decoded before the bad one. Failures: a character that `classify` does
// not know, a single character left in the last group, no memory, a decoded
// length that does not fit.
unsigned char *base64_decode_with(const char *text, unsigned n, unsigned char *out,
                                  const char *alphabet, int *out_len,
                                  base64_classifier classify) noexcept;
unsigned char *base64_decode(const char *text, unsigned n, unsigned char *out) noexcept;
unsigned char *base64_decode_len(const char *text, unsigned n, unsigned char *out,
                                 int *out_len) noexcept;
unsigned char *base64_decode_pathsafe(const char *text, unsigned n, unsigned char *out,
                                      int *out_len) noexcept;
unsigned char *base64_decode_upper(const char *text, unsigned n, unsigned char *out,
                                   int *out_len) noexcept;

namespace varo::base64 {

// The decoded size of `n` characters of `text` once padding is removed, as
// the decoder computes it: `bytes` is -1 when it does not fit an int, and
// `chars` is the length without padding. Reads at most text[n - 2] and
// text[n - 1], and nothing when even two characters of padding would leave
// a size that cannot fit. `n` is the measured length: 0 means no characters.
struct DecodedSize {
    int bytes;
    std::uint64_t chars;
};
DecodedSize measure(const char *text, std::uint64_t n) noexcept;

}  // namespace varo::base64

#endif  // VARO_UUID_BASE64_H
