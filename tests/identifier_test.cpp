// Identifier generation, text form, comparison and the text <-> bytes
// conversions.
#include "identifier.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base64.h"
#include "platform/fault.h"
#include "tests/support/reference_codec.h"
#include "varo_uuid.h"

namespace {

using Raw = std::vector<std::uint8_t>;

std::string text_of(const Raw &raw) {
    char buf[VARO_UUID_TEXT_SIZE];
    EXPECT_EQ(varo_uuid_from_bytes(raw.data(), buf), buf);
    return std::string(buf, VARO_UUID_TEXT_SIZE);
}

// The form every identifier text has, whatever its bytes.
void expect_well_formed(const char *text) {
    ASSERT_EQ(std::strlen(text), 24u) << text;
    for (int i = 0; i < 22; ++i) {
        const char c = text[i];
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '_') << text;
    }
    EXPECT_NE(std::strchr("AQgw", text[21]), nullptr) << text;
    EXPECT_EQ(std::string(text + 22), "==");
}

Raw from_hex(const char *hex) {
    Raw out;
    for (; hex[0] != '\0' && hex[1] != '\0'; hex += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex, 2), nullptr, 16)));
    }
    return out;
}

// Fixed identifiers, their texts, and the bytes an XDR stream carries for
// {int 42; identifier}: the same on hosts of either byte order (the suite
// also runs on s390x). The int goes most significant byte first; the 16
// bytes of the identifier go as they lie in memory. The bytes differ within
// every 2-, 4- and 8-byte word, so a word loaded or stored in host order
// shows, and the texts use both '+' and '_'.
TEST(Text, KnownVectorsOnEitherByteOrder) {
    struct Vector {
        const char *raw;
        const char *text;
        const char *wire;
    } vectors[] = {
        {"000102030405060708090a0b0c0d0e0f", "AAECAwQFBgcICQoLDA0ODw==",
         "0000002a000102030405060708090a0b0c0d0e0f"},
        {"ffffffffffffffffffffffffffffffff", "_____________________w==",
         "0000002affffffffffffffffffffffffffffffff"},
        {"f81d4fae7dec11d0a76500a0c91e6bf6", "+B1Prn3sEdCnZQCgyR5r9g==",
         "0000002af81d4fae7dec11d0a76500a0c91e6bf6"},
        {"1032547698badcfe0123456789abcdef", "EDJUdpi63P4BI0VniavN7w==",
         "0000002a1032547698badcfe0123456789abcdef"},
        {"fbefbeffffff00000080fbefbe7fffff", "++++____AAAAgPvvvn___w==",
         "0000002afbefbeffffff00000080fbefbe7fffff"},
        {"0102040810204080fe7fbfdfeff7fbfd", "AQIECBAgQID+f7_f7_f7_Q==",
         "0000002a0102040810204080fe7fbfdfeff7fbfd"},
    };
    for (const Vector &v : vectors) {
        const Raw raw = from_hex(v.raw);
        EXPECT_EQ(text_of(raw), std::string(v.text, VARO_UUID_TEXT_SIZE)) << v.raw;
        Raw back(16);
        ASSERT_NE(varo_uuid_to_bytes(v.text, back.data()), nullptr) << v.text;
        EXPECT_EQ(back, raw) << v.text;

        Raw wire(20);
        XDR enc;
        xdrmem_create(&enc, reinterpret_cast<char *>(wire.data()), 20, XDR_ENCODE);
        int seq = 42;
        varo_uuid_t id = const_cast<char *>(v.text);
        EXPECT_TRUE(xdr_int(&enc, &seq) && xdr_varo_uuid_t(&enc, &id)) << v.text;
        EXPECT_EQ(XDR_GETPOS(&enc), 20u);
        XDR_DESTROY(&enc);
        EXPECT_EQ(wire, from_hex(v.wire)) << v.text;

        Raw in = from_hex(v.wire);
        XDR dec;
        xdrmem_create(&dec, reinterpret_cast<char *>(in.data()), 20, XDR_DECODE);
        seq = 0;
        varo_uuid_t got = nullptr;
        EXPECT_TRUE(xdr_int(&dec, &seq) && xdr_varo_uuid_t(&dec, &got)) << v.wire;
        XDR_DESTROY(&dec);
        EXPECT_EQ(seq, 42);
        EXPECT_STREQ(got, v.text);
        xdr_free_varo_uuid_t(&got);
    }
}

// Every byte value at every position, and random identifiers: the text is
// standard Base64 with '_' for '/', and converts back to the same bytes.
TEST(Text, RoundTripsEveryByteAtEveryPosition) {
    std::mt19937 rng(99);
    std::vector<Raw> cases;
    for (int pos = 0; pos < 16; ++pos) {
        for (int v = 0; v < 256; ++v) {
            Raw raw(16);
            for (auto &b : raw) b = static_cast<std::uint8_t>(rng());
            raw[static_cast<std::size_t>(pos)] = static_cast<std::uint8_t>(v);
            cases.push_back(raw);
        }
    }
    for (const Raw &raw : cases) {
        const std::string text = text_of(raw);
        expect_well_formed(text.c_str());
        std::string want = ref::encode(raw, BASE64_ALPHABET_STD);
        for (char &c : want) c = c == '/' ? '_' : c;
        ASSERT_EQ(text.substr(0, 24), want);
        std::vector<std::uint8_t> back(16);  // exactly 16 bytes on the heap
        ASSERT_EQ(varo_uuid_to_bytes(text.c_str(), back.data()), back.data());
        ASSERT_EQ(back, raw);
    }
}

TEST(Text, FromBytesWritesExactly25Bytes) {
    char buf[27];
    std::memset(buf, 'x', sizeof buf);
    const std::uint8_t raw[16] = {};
    varo_uuid_from_bytes(raw, buf);
    EXPECT_STREQ(buf, "AAAAAAAAAAAAAAAAAAAAAA==");
    EXPECT_EQ(buf[25], 'x');
}

// What varo_uuid_to_bytes does with texts that are not clean identifiers,
// compared with the reference decoder; the 16-byte area starts as 0xA5. A
// text that would decode past 16 bytes is refused before anything is
// written. Once with the AVX2 kernel, once with the scalar one.
TEST(Text, ToBytesOfOtherTexts) {
    const std::string good = "AAECAwQFBgcICQoLDA0ODw==";
    std::vector<std::string> texts = {
        "", "QQ", "QUJD", "Q", "AAECAwQFBgcICQoLDA0ODw",  // unpadded: still 16 bytes
        "AAECAwQFBgcICQoLDA0ODx==",                       // unused bits set: still 16 bytes
        "AAECAwQFBgcICQoLDA0ODw=",  "AAECAwQFBgcICQoLDA0ODw=A", "AAECAwQFBgcICQoLDA0O/w==",
    };
    for (std::size_t pos = 0; pos < 24; ++pos) {  // a bad character in each position
        for (const char bad : {'/', '=', '-', '\x80'}) {
            std::string t = good;
            t[pos] = bad;
            texts.push_back(t);
        }
    }
    for (const bool wide : {true, false}) {
        if (!wide) varo::fault::arm(varo::fault::Site::avx2, 0, INT_MAX);
        for (const std::string &text : texts) {
            ref::Decoded want = ref::decode(text, BASE64_ALPHABET_PATHSAFE, false);
            if (want.size > 16) want = {};  // refused before a byte is written
            std::vector<std::uint8_t> raw(16, 0xA5);
            const bool ok = varo_uuid_to_bytes(text.c_str(), raw.data()) != nullptr;
            ASSERT_EQ(ok, want.ok) << text << (wide ? " wide" : " scalar");
            Raw expected = want.bytes;
            expected.resize(16, 0xA5);
            ASSERT_EQ(raw, expected) << text << (wide ? " wide" : " scalar");
        }
    }
    varo::fault::disarm_all();
}

// A text that decodes past 16 bytes is refused with the area untouched.
TEST(Text, ToBytesRefusesTextsLongerThanAnIdentifier) {
    for (const char *text : {"AAECAwQFBgcICQoLDA0ODxAR", "AAECAwQFBgcICQoLDA0ODxA=",
                             "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIj"}) {
        std::vector<std::uint8_t> raw(16, 0xA5);
        EXPECT_EQ(varo_uuid_to_bytes(text, raw.data()), nullptr) << text;
        EXPECT_EQ(raw, Raw(16, 0xA5)) << text;
    }
}

TEST(Generate, GivesWellFormedDistinctVersion4Identifiers) {
    std::set<std::string> seen;
    int bit_count[128] = {};
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i) {
        char *id = varo_uuid_generate_alloc();
        ASSERT_NE(id, nullptr);
        expect_well_formed(id);
        EXPECT_EQ(id[24], '\0');
        ASSERT_TRUE(seen.insert(id).second) << "repeated " << id;
        std::uint8_t raw[16];
        ASSERT_NE(varo_uuid_to_bytes(id, raw), nullptr);
        for (int b = 0; b < 128; ++b) bit_count[b] += raw[b / 8] >> (7 - b % 8) & 1;
        varo_uuid_generate_free(id);
    }
    // Version 4 in the high nibble of byte 7 (the little-endian Data3) and
    // variant 10 in the top bits of byte 8, on every host.
    const int fixed[6][2] = {{56, 0}, {57, 1}, {58, 0}, {59, 0}, {64, 1}, {65, 0}};
    for (const auto &f : fixed) EXPECT_EQ(bit_count[f[0]], f[1] * kCount) << "bit " << f[0];
    // Every other bit is random: each is set in about half the identifiers
    // (45% to 55% is more than ten standard deviations wide).
    for (int b = 0; b < 128; ++b) {
        if (b >= 56 && b <= 59) continue;
        if (b == 64 || b == 65) continue;
        EXPECT_GT(bit_count[b], kCount * 45 / 100) << "bit " << b;
        EXPECT_LT(bit_count[b], kCount * 55 / 100) << "bit " << b;
    }
}

TEST(Generate, OnBufWritesTheCallersAreaAndRefusesNull) {
    char buf[VARO_UUID_TEXT_SIZE + 1];
    std::memset(buf, 'x', sizeof buf);
    ASSERT_EQ(varo_uuid_generate_on_buf(buf), 0);
    expect_well_formed(buf);
    EXPECT_EQ(buf[25], 'x');
    char other[VARO_UUID_TEXT_SIZE];
    ASSERT_EQ(varo_uuid_generate_to_buf(other), 0);
    EXPECT_EQ(varo_uuid_compare(buf, other), 0);
    EXPECT_EQ(varo_uuid_generate_on_buf(nullptr), -1);
    varo_uuid_generate_free(nullptr);
}

TEST(Compare, IsAnEqualityTestOnAnyStrings) {
    const char *id = "AAECAwQFBgcICQoLDA0ODw==";
    const std::string copy = id;
    struct Case {
        const char *a;
        const char *b;
        int want;
    } cases[] = {
        {id, copy.c_str(), 1},
        {id, "AAECAwQFBgcICQoLDA0ODw=A", 0},
        {id, "AAECAwQFBgcICQoLDA0ODw=", 0},
        {"AAECAwQFBgcICQoLDA0ODw=", id, 0},
        {"", "", 1},
        {"", id, 0},
        {"b", "a", 0},  // no ordering: both directions are just "different"
        {"a", "b", 0},
        {id, nullptr, -1},
        {nullptr, id, -1},
        {nullptr, nullptr, -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(varo_uuid_compare(c.a, c.b), c.want)
            << (c.a ? c.a : "(null)") << " vs " << (c.b ? c.b : "(null)");
    }
}

}  // namespace
