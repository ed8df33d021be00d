// The six-bit codec: alphabets, classifiers, encoder, decoder, allocation
// conventions and length limits, checked against a plain reference.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base64.h"
#include "platform/fault.h"
#include "tests/support/reference_codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Alphabet {
    const char *name;
    const char *chars;
    base64_classifier classify;
    bool upper;
};

const Alphabet kAlphabets[] = {
    {"std", BASE64_ALPHABET_STD, base64_class_mixed, false},
    {"pathsafe", BASE64_ALPHABET_PATHSAFE, base64_class_mixed, false},
    {"upper", BASE64_ALPHABET_UPPER, base64_class_upper, true},
};

class Codec : public ::testing::TestWithParam<Alphabet> {};
INSTANTIATE_TEST_SUITE_P(Alphabets, Codec, ::testing::ValuesIn(kAlphabets),
                         [](const auto &p) { return std::string(p.param.name); });

Bytes bytes_of(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::string encode(const Bytes &in, const char *alphabet) {
    int len = -1;
    // Length 0 measures a NUL-terminated input, so the empty input is "".
    const unsigned char *data = in.empty() ? reinterpret_cast<const unsigned char *>("") : in.data();
    char *out = base64_encode_with(data, static_cast<unsigned>(in.size()), nullptr, alphabet, &len);
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return {};
    std::string s(out);
    EXPECT_EQ(static_cast<int>(s.size()), len);
    std::free(out);
    return s;
}

// Decodes `text` (an exactly sized heap copy, so over-reads are caught) into
// a caller's area of D + 8 bytes filled with 0xA5 beforehand.
struct CallerDecode {
    bool ok;
    int size;
    Bytes area;
};

CallerDecode decode_into_area(const std::string &text, const char *alphabet,
                              base64_classifier classify) {
    std::vector<char> heap_text(text.begin(), text.end());
    heap_text.push_back('\0');  // only read when the length is 0
    const int d = ref::decode(text, BASE64_ALPHABET_STD, false).size;
    Bytes area(static_cast<std::size_t>(d) + 8, 0xA5);
    int size = -1;
    const unsigned char *r = base64_decode_with(heap_text.data(),
                                                static_cast<unsigned>(text.size()),
                                                area.data(), alphabet, &size, classify);
    EXPECT_TRUE(r == nullptr || r == area.data());
    return {r != nullptr, size, area};
}

// What a caller's area must hold after a decode: the reference's bytes, then
// the fill untouched.
void expect_matches_reference(const std::string &text, const Alphabet &a,
                              const char *alphabet_ptr, base64_classifier classify) {
    const ref::Decoded want = ref::decode(text, a.chars, a.upper);
    const CallerDecode got = decode_into_area(text, alphabet_ptr, classify);
    ASSERT_EQ(got.ok, want.ok) << '"' << text << '"';
    ASSERT_EQ(got.size, want.size) << '"' << text << '"';
    Bytes expected = want.bytes;
    expected.resize(got.area.size(), 0xA5);
    ASSERT_EQ(got.area, expected) << '"' << text << '"';
}

TEST(Alphabets, HoldSixtyFourDistinctCharactersWithPlusAt62) {
    EXPECT_STREQ(BASE64_ALPHABET_STD,
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    EXPECT_STREQ(BASE64_ALPHABET_PATHSAFE,
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_");
    EXPECT_STREQ(BASE64_ALPHABET_UPPER,
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/-)(*&^%$#@!~;.,<>?[]{}|`+_");
    for (const Alphabet &a : kAlphabets) {
        const std::string s(a.chars);
        EXPECT_EQ(s.size(), 64u);
        EXPECT_EQ(s[62], '+');
        for (char c : s) EXPECT_EQ(s.find(c), s.rfind(c)) << a.name << " repeats " << c;
    }
}

TEST_P(Codec, ClassifierGivesEachCharactersPositionAndRefusesTheRest) {
    const Alphabet &a = GetParam();
    const std::string s(a.chars);
    for (int c = 0; c < 256; ++c) {
        const auto pos = s.find(static_cast<char>(c));
        const int want = c == 0 || pos == std::string::npos ? -1 : static_cast<int>(pos);
        EXPECT_EQ(a.classify(static_cast<unsigned char>(c), a.chars), want) << c;
    }
}

TEST(Encoder, KnownVectors) {
    struct Case {
        std::string in;
        const char *alphabet;
        const char *out;
    };
    const Case cases[] = {
        {"", BASE64_ALPHABET_STD, ""},  // n = 0 measures the empty string
        {"f", BASE64_ALPHABET_STD, "Zg=="},
        {"fo", BASE64_ALPHABET_STD, "Zm8="},
        {"foo", BASE64_ALPHABET_STD, "Zm9v"},
        {"foob", BASE64_ALPHABET_STD, "Zm9vYg=="},
        {"fooba", BASE64_ALPHABET_STD, "Zm9vYmE="},
        {"foobar", BASE64_ALPHABET_STD, "Zm9vYmFy"},
        {"abc", BASE64_ALPHABET_STD, "YWJj"},
        {"abc", BASE64_ALPHABET_UPPER, "YWJ9"},
        {"\xff\xff\xff", BASE64_ALPHABET_STD, "////"},
        {"\xff\xff\xff", BASE64_ALPHABET_PATHSAFE, "____"},
        {"\xff\xff\xff", BASE64_ALPHABET_UPPER, "____"},
    };
    for (const Case &c : cases) EXPECT_EQ(encode(bytes_of(c.in), c.alphabet), c.out) << c.in;
    for (const Alphabet &a : kAlphabets) {
        EXPECT_EQ(encode(bytes_of("a"), a.chars), "YQ==") << a.name;
        EXPECT_EQ(encode(bytes_of("ab"), a.chars), "YWI=") << a.name;
    }
}

TEST(Encoder, LengthZeroMeasuresTheString) {
    int len = -1;
    char *out = base64_encode_pathsafe(reinterpret_cast<const unsigned char *>("abc"), 0,
                                       nullptr, &len);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "YWJj");
    EXPECT_EQ(len, 4);
    std::free(out);
    out = base64_encode(reinterpret_cast<const unsigned char *>(""), 0, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out[0], '\0');  // a one-byte area holding only the NUL
    std::free(out);
}

TEST_P(Codec, EncodeRoundTripsEveryLengthAndLeavesTheCallersAreaAlone) {
    const Alphabet &a = GetParam();
    std::mt19937 rng(7);
    // Every length twice: with the wide loops, then with the scalar ones.
    for (std::size_t i = 1; i <= 200; ++i) {
        const std::size_t n = i <= 100 ? i : i - 100;
        if (i == 101) varo::fault::arm(varo::fault::Site::avx2, 0, INT_MAX);
        Bytes in(n);
        for (auto &b : in) b = static_cast<std::uint8_t>(rng());
        const std::string want = ref::encode(in, a.chars);
        // Into a caller's area: exactly L characters, no terminator.
        std::vector<char> area(want.size() + 1, '#');
        int len = -1;
        ASSERT_EQ(base64_encode_with(in.data(), static_cast<unsigned>(n), area.data(), a.chars,
                                     &len),
                  area.data());
        EXPECT_EQ(len, static_cast<int>((n + 2) / 3 * 4));
        EXPECT_EQ(std::string(area.data(), want.size()), want) << n;
        EXPECT_EQ(area.back(), '#');
        // And back, through the fixed entry points as well.
        const ref::Decoded back = ref::decode(want, a.chars, a.upper);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.bytes, in);
        expect_matches_reference(want, a, a.chars, a.classify);
    }
    varo::fault::disarm_all();
}

TEST(Encoder, EveryByteValueAtEveryOffsetOfAGroup) {
    for (const Alphabet &a : kAlphabets) {
        for (int offset = 0; offset < 3; ++offset) {
            for (int v = 0; v < 256; ++v) {
                Bytes in(5, 0x5A);
                in[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(v);
                ASSERT_EQ(encode(in, a.chars), ref::encode(in, a.chars)) << a.name << v;
            }
        }
    }
}

TEST(Decoder, KnownVectorsAndRefusals) {
    struct Case {
        const char *text;
        bool ok;
        const char *bytes;
        int size;
    };
    const Case cases[] = {
        {"QUJD", true, "ABC", 3},  {"QUI=", true, "AB", 2},   {"QQ==", true, "A", 1},
        {"QUI", true, "AB", 2},    {"QQ", true, "A", 1},      {"", true, "", 0},
        {"Q", false, "", 0},       {"QQ=", false, "", 2},     {"QQ=A", false, "", 3},
        {"====", false, "", 1},    {"QUJDQ", false, "ABC", 3}, {"QUJD=QQ=", false, "ABC", 5},
    };
    for (const Case &c : cases) {
        int size = -1;
        unsigned char *out = base64_decode_len(c.text, 0, nullptr, &size);
        EXPECT_EQ(out != nullptr, c.ok) << c.text;
        EXPECT_EQ(size, c.size) << c.text;
        if (out != nullptr) {
            EXPECT_EQ(std::memcmp(out, c.bytes, static_cast<std::size_t>(size) + 1), 0) << c.text;
            std::free(out);
        }
        expect_matches_reference(c.text, kAlphabets[0], BASE64_ALPHABET_STD, base64_class_mixed);
    }
}

TEST(Decoder, EachAlphabetTakesOnlyItsOwnCharacters) {
    unsigned char out[3];
    EXPECT_NE(base64_decode_pathsafe("+__+", 4, out, nullptr), nullptr);
    EXPECT_EQ(base64_decode_pathsafe("+//+", 4, out, nullptr), nullptr);
    EXPECT_NE(base64_decode("+//+", 4, out), nullptr);
    EXPECT_EQ(base64_decode("+__+", 4, out), nullptr);
    EXPECT_EQ(base64_decode_upper("abcd", 4, out, nullptr), nullptr);
    // '0' is 26, '9' is 35, ':' 36, '`' 61, '_' 63 in the upper alphabet.
    ASSERT_NE(base64_decode_upper("09:`", 4, out, nullptr), nullptr);
    const std::uint32_t v = 26u << 18 | 35u << 12 | 36u << 6 | 61u;
    EXPECT_EQ(out[0], v >> 16);
    EXPECT_EQ(out[1], (v >> 8) & 0xFF);
    EXPECT_EQ(out[2], v & 0xFF);
    // A NUL inside the given length is an ordinary bad character.
    EXPECT_EQ(base64_decode_upper(std::string("AB\0D", 4).c_str(), 4, out, nullptr), nullptr);
}

TEST_P(Codec, BadCharacterAtEveryPositionStopsAtItsGroup) {
    const Alphabet &a = GetParam();
    // Long enough for the widest bulk step of the decoder, twice over.
    const std::string good =
        ref::encode(bytes_of("identifiers travel as sixteen raw bytes on the wire, and as text "
                             "in memory"), a.chars);
    const std::string s(a.chars);
    std::vector<unsigned char> bad;
    for (int c = 0; c < 256; ++c) {
        if (c == 0 || s.find(static_cast<char>(c)) == std::string::npos) {
            bad.push_back(static_cast<unsigned char>(c));
        }
    }
    for (std::size_t pos = 0; pos < good.size(); ++pos) {
        for (unsigned char c : bad) {
            std::string text = good;
            text[pos] = static_cast<char>(c);
            expect_matches_reference(text, a, a.chars, a.classify);
            // The same text with a classifier the tables do not know.
            expect_matches_reference(text, a, a.chars, [](unsigned char ch, const char *al) noexcept {
                return ch != 0 && std::strchr(al, ch) != nullptr
                           ? static_cast<int>(std::strchr(al, ch) - al)
                           : -1;
            });
        }
    }
}

void agrees_with_reference_on_random_text(const Alphabet &a);

// The library's classifiers behind another address, which no table stands
// for: the decoder calls them character by character.
int plain_mixed(unsigned char c, const char *alphabet) noexcept {
    return base64_class_mixed(c, alphabet);
}
int plain_upper(unsigned char c, const char *alphabet) noexcept {
    return base64_class_upper(c, alphabet);
}

// Random and adversarial texts: valid characters mixed with padding, bad
// characters and NULs, at every length, through the table path (with the
// built-in alphabet and with a copy of it) and the plain path; and again
// with the wide loops switched off, so the scalar loops see long texts.
TEST_P(Codec, AgreesWithTheReferenceOnRandomText) {
    const Alphabet &a = GetParam();
    for (const bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "wide loops" : "scalar loops");
        if (!wide) varo::fault::arm(varo::fault::Site::avx2, 0, INT_MAX);
        agrees_with_reference_on_random_text(a);
        varo::fault::disarm_all();
    }
}

void agrees_with_reference_on_random_text(const Alphabet &a) {
    const std::string copy(a.chars);
    const base64_classifier plain = a.upper ? plain_upper : plain_mixed;
    std::mt19937 rng(2024);
    const std::string pool = std::string(a.chars) + "====\x01\xff\x80 /_-.\n";
    for (int round = 0; round < 20000; ++round) {
        const std::size_t n = 1 + rng() % (round % 2 ? 40 : 160);
        std::string text;
        const bool mostly_valid = rng() % 4 != 0;
        for (std::size_t i = 0; i < n; ++i) {
            text += mostly_valid && rng() % 16 != 0 ? a.chars[rng() % 64]
                                                    : pool[rng() % (pool.size() + 1)];
        }
        expect_matches_reference(text, a, a.chars, a.classify);
        expect_matches_reference(text, a, copy.c_str(), a.classify);
        expect_matches_reference(text, a, a.chars, plain);
    }
}

TEST(Decoder, EmptyTextAllocatesOnlyTheTerminator) {
    int size = -1;
    unsigned char *out = base64_decode_upper("", 0, nullptr, &size);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(out[0], 0);
    std::free(out);
}

// Lengths whose output would not fit an int are refused before the input
// is read: the text here is far shorter than the length claims.
TEST(LengthLimits, OversizedLengthsAreRefusedUntouched) {
    const char small[4] = {'Q', 'U', 'J', 'D'};
    unsigned char area[4] = {1, 2, 3, 4};
    int size = 12345;
    EXPECT_EQ(base64_decode_len(small, UINT_MAX, area, &size), nullptr);
    EXPECT_EQ(base64_decode_len(small, 2863311536u, area, &size), nullptr);  // D >= 2^31 + 2
    EXPECT_EQ(size, 12345);
    EXPECT_EQ(area[0], 1);

    char out[4] = {'x', 'x', 'x', 'x'};
    const auto *in = reinterpret_cast<const unsigned char *>(small);
    EXPECT_EQ(base64_encode_pathsafe(in, UINT_MAX, out, &size), nullptr);
    EXPECT_EQ(base64_encode_pathsafe(in, 1610612734u, out, &size), nullptr);  // L = 2^31
    EXPECT_EQ(size, 12345);
    EXPECT_EQ(out[0], 'x');
}

// Those lengths, those about UINT_MAX / 4 * 3 (SIZE_MAX / 4 * 3 on a 32-bit
// host, where an encoded length and its NUL wrap to a few bytes) and the
// first ones refused, with the codec to allocate the output: refused before
// any allocation. An allocation that comes anyway fails, and is counted.
TEST(LengthLimits, OversizedLengthsAllocateNothing) {
    using varo::fault::Site;
    constexpr unsigned kQuarters = UINT_MAX / 4 * 3;
    const unsigned encoded[] = {1610612734u, kQuarters - 1, kQuarters, kQuarters + 1,
                                kQuarters + 2, kQuarters + 3, UINT_MAX};
    const unsigned decoded[] = {2863311531u, 2863311536u, kQuarters, kQuarters + 3, UINT_MAX};
    const char small[4] = {'Q', 'U', 'J', 'D'};
    const auto *in = reinterpret_cast<const unsigned char *>(small);
    varo::fault::arm(Site::runtime_malloc, 0, INT_MAX);
    const long before = varo::fault::calls(Site::runtime_malloc);
    for (const Alphabet &a : kAlphabets) {
        int size = 12345;
        for (unsigned n : encoded) {
            EXPECT_EQ(base64_encode_with(in, n, nullptr, a.chars, &size), nullptr) << n;
        }
        for (unsigned n : decoded) {
            EXPECT_EQ(base64_decode_with(small, n, nullptr, a.chars, &size, a.classify), nullptr)
                << n;
        }
        EXPECT_EQ(size, 12345) << a.name;
    }
    EXPECT_EQ(varo::fault::calls(Site::runtime_malloc) - before, 0) << "allocations";
    varo::fault::disarm_all();
}

TEST(LengthLimits, MeasureStopsReadingWhenTheSizeCannotFit) {
    EXPECT_EQ(varo::base64::measure("QQ==", 4).bytes, 1);
    EXPECT_EQ(varo::base64::measure("QQ==", 4).chars, 2u);
    EXPECT_EQ(varo::base64::measure("", 0).bytes, 0);
    EXPECT_EQ(varo::base64::measure("QUJ", 3).bytes, 2);
    EXPECT_EQ(varo::base64::measure(nullptr, 4ull << 30).bytes, -1);
}

}  // namespace
