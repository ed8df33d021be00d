// The reference codec of the tests and the fuzz targets: a plain six-bit
// codec to compare the library against.
//
// The reference decoder works character by character, one group of four at
// a time, so that the library's table-driven and two-groups-per-step paths
// have something independent and obviously correct to agree with. The
// reference encoder runs as a bit stream rather than in groups of three.
#ifndef VARO_UUID_TESTS_SUPPORT_REFERENCE_CODEC_H
#define VARO_UUID_TESTS_SUPPORT_REFERENCE_CODEC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The reference's own branches say nothing about the library; keeping them
// out of libFuzzer's coverage keeps its feedback on the library and saves
// time on every comparison.
#if defined(__clang__)
#define REF_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define REF_NO_COVERAGE
#endif

namespace ref {

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
// three are all classified before their bytes are written. `*written`, if
// given, counts the bytes written.
REF_NO_COVERAGE inline bool decode(const char *text, std::size_t chars, unsigned char *out,
                                   const char *alphabet, Classifier kind,
                                   std::size_t *written = nullptr) {
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    std::size_t w = 0;
    const auto stop = [&](bool ok) {
        if (written != nullptr) *written = w;
        return ok;
    };
    std::size_t i = 0;
    for (; chars - i >= 4; i += 4) {
        std::uint32_t acc = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = classify(kind, s[i + k], alphabet);
            if (v < 0) return stop(false);
            acc = acc << 6 | static_cast<std::uint32_t>(v);
        }
        out[w++] = static_cast<unsigned char>(acc >> 16);
        out[w++] = static_cast<unsigned char>(acc >> 8);
        out[w++] = static_cast<unsigned char>(acc);
    }
    const std::size_t left = chars - i;
    if (left == 1) return stop(false);
    int c[3] = {0, 0, 0};
    for (std::size_t k = 0; k < left; ++k) {
        c[k] = classify(kind, s[i + k], alphabet);
        if (c[k] < 0) return stop(false);
    }
    if (left >= 2) out[w++] = static_cast<unsigned char>(c[0] << 2 | c[1] >> 4);
    if (left == 3) out[w++] = static_cast<unsigned char>(c[1] << 4 | c[2] >> 2);
    return stop(true);
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

// The same on whole texts: the decoded length reported (padding off) and
// the bytes that reach a caller's area, in order, even when it fails.
struct Decoded {
    bool ok = false;
    int size = 0;
    std::vector<std::uint8_t> bytes;
};
inline Decoded decode(std::string_view text, std::string_view alphabet, bool upper) {
    const std::size_t chars = unpadded(text.data(), text.size());
    Decoded d;
    d.size = static_cast<int>(decoded_size(chars));
    d.bytes.resize(decoded_size(chars));
    std::size_t written = 0;
    d.ok = decode(text.data(), chars, d.bytes.data(), alphabet.data(),
                  upper ? Classifier::upper : Classifier::mixed, &written);
    d.bytes.resize(written);
    return d;
}

inline std::string encode(const std::vector<std::uint8_t> &in, std::string_view alphabet) {
    return encode(in.data(), in.size(), alphabet.data());
}

}  // namespace ref

#endif  // VARO_UUID_TESTS_SUPPORT_REFERENCE_CODEC_H
