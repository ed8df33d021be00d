// The input, as text, through base64_decode_with for every pairing of
// alphabet and classifier, with and without a caller's area, with the length
// given and measured. Each call must agree with the reference decoder on the
// result, the decoded length and every byte of the caller's area (those that
// must stay untouched included). Where the classifier inverts the alphabet,
// a successful decode must also re-encode to the canonical form of its input.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base64.h"
#include "support.h"

namespace {

struct Pairing {
    const char *alphabet;
    base64_classifier classify;
    ref::Classifier kind;
    bool invertible;  // decode(encode(x)) == x holds for this pairing
};

// Classifier(alphabet[v]) == v for every position, and no '=' in the
// alphabet (an encoded '=' at the end would be read back as padding).
bool inverts(const char *alphabet, ref::Classifier kind) {
    for (int v = 0; v < 64; ++v) {
        if (alphabet[v] == '=' ||
            ref::classify(kind, static_cast<unsigned char>(alphabet[v]), alphabet) != v)
            return false;
    }
    return true;
}

// Copies of the alphabets at other addresses; globals, so ASan still guards
// their ends and nothing is left allocated at exit.
char g_copies[4][65];

const char *copy_alphabet(int slot, const char *alphabet) {
    std::memcpy(g_copies[slot], alphabet, 65);
    return g_copies[slot];
}

// The library's classifiers behind another address: no table stands for
// them, so the decoder calls them character by character.
int plain_mixed(unsigned char c, const char *alphabet) noexcept {
    return base64_class_mixed(c, alphabet);
}
int plain_upper(unsigned char c, const char *alphabet) noexcept {
    return base64_class_upper(c, alphabet);
}

// The built-in alphabets, and copies of them found by their characters,
// take the library's tables; the wrapped classifiers take the plain path.
// The odd alphabet makes '=' and NUL ordinary characters at positions 62
// and 63. Every alphabet is paired with every classifier, the cross pairs
// included.
const std::vector<Pairing> &pairings() {
    static const std::vector<Pairing> all = [] {
        copy_alphabet(3, BASE64_ALPHABET_PATHSAFE);
        g_copies[3][62] = '=';
        g_copies[3][63] = '\0';
        const std::array<const char *, 7> alphabets = {BASE64_ALPHABET_STD,
                                                       BASE64_ALPHABET_PATHSAFE,
                                                       BASE64_ALPHABET_UPPER,
                                                       copy_alphabet(0, BASE64_ALPHABET_STD),
                                                       copy_alphabet(1, BASE64_ALPHABET_PATHSAFE),
                                                       copy_alphabet(2, BASE64_ALPHABET_UPPER),
                                                       g_copies[3]};
        std::vector<Pairing> v;
        for (const char *a : alphabets) {
            v.push_back({a, base64_class_mixed, ref::Classifier::mixed,
                         inverts(a, ref::Classifier::mixed)});
            v.push_back({a, base64_class_upper, ref::Classifier::upper,
                         inverts(a, ref::Classifier::upper)});
            v.push_back({a, plain_mixed, ref::Classifier::mixed, inverts(a, ref::Classifier::mixed)});
            v.push_back({a, plain_upper, ref::Classifier::upper, inverts(a, ref::Classifier::upper)});
        }
        // The three matching pairings, their copies, and both again through
        // the plain path; fewer would quietly skip the re-encoding checks.
        FUZZ_CHECK(
            std::count_if(v.begin(), v.end(), [](const Pairing &p) { return p.invertible; }) == 12);
        return v;
    }();
    return all;
}

// The input's unpadded characters with the unused low bits of the last one
// cleared, padded with '=': what the encoder gives for the decoded bytes.
std::string canonical(const char *text, std::size_t chars, const Pairing &p) {
    std::string s(text, chars);
    if (chars % 4 >= 2) {
        const int mask = chars % 4 == 2 ? 0x30 : 0x3C;
        const int v = ref::classify(p.kind, static_cast<unsigned char>(s.back()), p.alphabet);
        s.back() = p.alphabet[v & mask];
    }
    while (s.size() % 4 != 0) s += '=';
    return s;
}

// Encodes the decoded bytes again and checks the text and its own decode.
void check_reencode(const unsigned char *bytes, std::size_t size, const char *text,
                    std::size_t chars, const Pairing &p) {
    const std::string expected = canonical(text, chars, p);
    FUZZ_CHECK(expected == ref::encode(bytes, size, p.alphabet));

    auto area = ref::heap_area(expected.size(), 0);
    int length = -1;
    char *out = reinterpret_cast<char *>(area.get());
    FUZZ_CHECK(base64_encode_with(bytes, static_cast<unsigned>(size), out, p.alphabet, &length) ==
               out);
    FUZZ_CHECK(static_cast<std::size_t>(length) == expected.size());
    // An input whose last character has no stray low bits and that is
    // padded comes back unchanged.
    FUZZ_CHECK(std::string(out, expected.size()) == expected);

    auto again = ref::heap_area(size, 0);
    FUZZ_CHECK(base64_decode_with(out, static_cast<unsigned>(expected.size()), again.get(),
                                  p.alphabet, nullptr, p.classify) == again.get());
    FUZZ_CHECK(std::memcmp(again.get(), bytes, size) == 0);
}

// One decode into a caller's area prefilled with `fill`, one into a new area.
// `n` is the length handed over: 0 makes the library measure `text`.
void check(const char *text, unsigned n, const Pairing &p, unsigned char fill) {
    const std::size_t given = n != 0 ? n : std::strlen(text);
    const std::size_t chars = ref::unpadded(text, given);
    const std::size_t size = ref::decoded_size(chars);

    auto expected = ref::heap_area(size, fill);
    const bool ok = ref::decode(text, chars, expected.get(), p.alphabet, p.kind);

    // Caller's area: the whole area must match, written bytes and untouched
    // ones alike; the decoded length is stored even on failure.
    auto area = ref::heap_area(size, fill);
    int length = -7;
    const unsigned char *got =
        base64_decode_with(text, n, area.get(), p.alphabet, &length, p.classify);
    FUZZ_CHECK(got == (ok ? area.get() : nullptr));
    FUZZ_CHECK(static_cast<std::size_t>(length) == size);
    FUZZ_CHECK(std::memcmp(area.get(), expected.get(), size) == 0);

    // New area: D bytes and a NUL on success, nothing (and no leak) on failure.
    unsigned char *owned = base64_decode_with(text, n, nullptr, p.alphabet, nullptr, p.classify);
    FUZZ_CHECK((owned != nullptr) == ok);
    if (owned != nullptr) {
        FUZZ_CHECK(std::memcmp(owned, expected.get(), size) == 0);
        FUZZ_CHECK(owned[size] == '\0');
        std::free(owned);
    }

    // A length of 0 would make the encoder measure the bytes, so the empty
    // result has no re-encoding to check.
    if (ok && p.invertible && size != 0) check_reencode(expected.get(), size, text, chars, p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 1u << 16) return 0;
    // The text exactly as given (NUL bytes are characters then), and the same
    // text NUL-terminated for the measured length.
    auto exact = ref::heap_area(size, 0);
    if (size != 0) std::memcpy(exact.get(), data, size);
    const auto terminated = ref::heap_text(data, size);
    const unsigned char fill = size != 0 ? static_cast<unsigned char>(data[0] ^ 0xA5) : 0x5A;

    for (const Pairing &p : pairings()) {
        if (size != 0) {
            check(reinterpret_cast<const char *>(exact.get()), static_cast<unsigned>(size), p,
                  fill);
        }
        check(terminated.get(), 0, p, fill);
    }
    return 0;
}
