// Shared by the fuzz targets: a plain six-bit codec to compare the library
// against, heap copies of the input and the check macro.
//
// The reference decoder works character by character, one group of four at
// a time, so that the library's table-driven and two-groups-per-step paths
// have something independent and obviously correct to agree with. The
// reference encoder runs as a bit stream rather than in groups of three.
#ifndef VARO_UUID_FUZZ_REFERENCE_H
#define VARO_UUID_FUZZ_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// Stops the run on a mismatch. libFuzzer saves the input as a crash; the
// replay main dies with the message, which fails its test.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

// The reference's own branches say nothing about the library; keeping them
// out of libFuzzer's coverage keeps its feedback on the library and saves
// time on every comparison.
#if defined(__clang__)
#define REF_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define REF_NO_COVERAGE
#endif

namespace ref {

// ---- Heap areas -------------------------------------------------------------

struct Free {
    void operator()(void *p) const noexcept { std::free(p); }
};
template <typename T>
using HeapPtr = std::unique_ptr<T[], Free>;

// `size` bytes of `fill` on the heap, exactly `size` long, so that AddressSanitizer catches a
// write one byte past the end. malloc(0) still gives a distinct pointer.
inline HeapPtr<unsigned char> heap_area(std::size_t size, unsigned char fill) {
    auto *p = static_cast<unsigned char *>(std::malloc(size == 0 ? 1 : size));
    if (p == nullptr) std::abort();
    std::memset(p, fill, size);
    return HeapPtr<unsigned char>(p);
}

// The input as a NUL-terminated string on the heap (it ends at its first
// NUL, if it has one).
inline HeapPtr<char> heap_text(const std::uint8_t *data, std::size_t size) {
    auto *p = static_cast<char *>(std::malloc(size + 1));
    if (p == nullptr) std::abort();
    if (size != 0) std::memcpy(p, data, size);
    p[size] = '\0';
    return HeapPtr<char>(p);
}

// ---- Classifiers --------------------------------------------------------------

enum class Classifier { mixed, upper };

// A character's position in `alphabet`, or -1. Letters and digits by their
// codes; the remaining positions (62-63 for mixed, 36-63 for upper) by
// searching the alphabet, first match first.
REF_NO_COVERAGE inline int classify(Classifier kind, unsigned char c, const char *alphabet) {
    const int first = kind == Classifier::mixed ? 62 : 36;
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (kind == Classifier::mixed && c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + (kind == Classifier::mixed ? 52 : 26);
    for (int pos = first; pos < 64; ++pos) {
        if (c == static_cast<unsigned char>(alphabet[pos])) return pos;
    }
    return -1;
}

// ---- Decoder -------------------------------------------------------------------

// The characters left once padding is off: only a length that is a non-zero
// multiple of four can end in "=" or "==".
REF_NO_COVERAGE inline std::size_t unpadded(const char *text, std::size_t n) {
    if (n != 0 && n % 4 == 0 && text[n - 1] == '=') return n - (text[n - 2] == '=' ? 2 : 1);
    return n;
}

// Bytes that `chars` unpadded characters decode to.
inline std::size_t decoded_size(std::size_t chars) {
    return chars * 3 / 4;
}

// Decodes `chars` unpadded characters into `out`, which holds
// decoded_size(chars) bytes. Whole groups are written one at a time; the
// first group with an unknown character fails and writes nothing, and the
// groups before it stay written. A single leftover character fails; two or
// three are all classified before their bytes are written.
REF_NO_COVERAGE inline bool decode(const char *text, std::size_t chars, unsigned char *out,
                                   const char *alphabet, Classifier kind) {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    std::size_t i = 0;
    for (; chars - i >= 4; i += 4) {
        std::uint32_t acc = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = classify(kind, s[i + k], alphabet);
            if (v < 0) return false;
            acc = acc << 6 | static_cast<std::uint32_t>(v);
        }
        *out++ = static_cast<unsigned char>(acc >> 16);
        *out++ = static_cast<unsigned char>(acc >> 8);
        *out++ = static_cast<unsigned char>(acc);
    }
    const std::size_t left = chars - i;
    if (left == 1) return false;
    int c[3] = {0, 0, 0};
    for (std::size_t k = 0; k < left; ++k) {
        c[k] = classify(kind, s[i + k], alphabet);
        if (c[k] < 0) return false;
    }
    if (left >= 2) *out++ = static_cast<unsigned char>(c[0] << 2 | c[1] >> 4);
    if (left == 3) *out++ = static_cast<unsigned char>(c[1] << 4 | c[2] >> 2);
    return true;
}

// ---- Encoder -------------------------------------------------------------------

// Six bits at a time from the front of the byte stream, zero bits after the
// last byte, then '=' up to a multiple of four characters.
REF_NO_COVERAGE inline std::string encode(const unsigned char *in, std::size_t n,
                                          const char *alphabet) {
    std::string out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
        acc = (acc << 8 | in[i]) & 0xFFFF;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += alphabet[(acc >> bits) & 63];
        }
    }
    if (bits != 0) out += alphabet[(acc << (6 - bits)) & 63];
    while (out.size() % 4 != 0) out += '=';
    return out;
}

}  // namespace ref

#endif  // VARO_UUID_FUZZ_REFERENCE_H
