// A plain six-bit codec written straight from the algorithm, character by
// character, as an oracle for the library's table-driven one.
#ifndef VARO_UUID_TESTS_REFERENCE_CODEC_H
#define VARO_UUID_TESTS_REFERENCE_CODEC_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ref {

inline std::string encode(const std::vector<std::uint8_t> &in, std::string_view alphabet) {
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const std::uint32_t v = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(v >> shift) & 63];
    }
    if (in.size() - i == 1) {
        out += alphabet[in[i] >> 2];
        out += alphabet[(in[i] & 3) << 4];
        out += "==";
    } else if (in.size() - i == 2) {
        out += alphabet[in[i] >> 2];
        out += alphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out += alphabet[(in[i + 1] & 15) << 2];
        out += "=";
    }
    return out;
}

// Position of c in the alphabet as the library's classifiers define it:
// letters and digits by code, then the remaining positions by search.
inline int classify(unsigned char c, std::string_view alphabet, bool upper) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (!upper && c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + (upper ? 26 : 52);
    for (std::size_t pos = upper ? 36 : 62; pos < 64; ++pos) {
        if (static_cast<unsigned char>(alphabet[pos]) == c) return static_cast<int>(pos);
    }
    return -1;
}

struct Decoded {
    bool ok = false;
    int size = 0;                     // the decoded length reported
    std::vector<std::uint8_t> bytes;  // what reaches a caller's area, in order
};

inline Decoded decode(std::string_view text, std::string_view alphabet, bool upper) {
    std::size_t n = text.size();
    if (n != 0 && n % 4 == 0 && text[n - 1] == '=') n -= text[n - 2] == '=' ? 2 : 1;
    Decoded d;
    d.size = static_cast<int>(n * 3 / 4);
    std::size_t i = 0;
    for (; n - i >= 4; i += 4) {
        std::uint32_t acc = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = classify(static_cast<unsigned char>(text[i + k]), alphabet, upper);
            if (v < 0) return d;
            acc = acc << 6 | static_cast<std::uint32_t>(v);
        }
        d.bytes.push_back(static_cast<std::uint8_t>(acc >> 16));
        d.bytes.push_back(static_cast<std::uint8_t>(acc >> 8));
        d.bytes.push_back(static_cast<std::uint8_t>(acc));
    }
    const std::size_t left = n - i;
    if (left == 1) return d;
    int c[3] = {};
    for (std::size_t k = 0; k < left; ++k) {
        c[k] = classify(static_cast<unsigned char>(text[i + k]), alphabet, upper);
        if (c[k] < 0) return d;
    }
    if (left == 2) d.bytes.push_back(static_cast<std::uint8_t>(c[0] << 2 | c[1] >> 4));
    if (left == 3) {
        const int v = c[0] << 10 | c[1] << 4 | c[2] >> 2;
        d.bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        d.bytes.push_back(static_cast<std::uint8_t>(v));
    }
    d.ok = true;
    return d;
}

}  // namespace ref

#endif  // VARO_UUID_TESTS_REFERENCE_CODEC_H
