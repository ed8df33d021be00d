// The text interface of 1.1: varo_uuid_is_valid, _to_raw, _from_raw, _to_rfc
// and _from_rfc, of 1.2: varo_uuid_version, _time, _order and _parse_alloc,
// of 1.3 the name-based identifiers (their namespace is a text), and of 1.4
// the network-order bytes, version 8 and varo_uuid_timestamp, against
// plain references written here and vectors from Python's uuid module, with
// the AVX2 and the scalar kernels alike. Inputs and outputs lie in heap areas of exactly
// their size, so AddressSanitizer sees a byte read or written past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(VARO_UUID_TEST_LIBUUID)
#include <uuid/uuid.h>
#endif

#include "platform/fault.h"
#include "tests/support/reference_codec.h"
#include "varo_uuid.h"

namespace {

using Raw = std::vector<unsigned char>;
constexpr unsigned char kFill = 0xA5;
const std::string kPathSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_";

// The canonical text of 16 bytes: their Base64 with '_' for '/'.
std::string text_of(const Raw &raw) {
    return ref::encode(std::vector<std::uint8_t>(raw.begin(), raw.end()), kPathSafe);
}

// Whether a string is canonical, straight from the rule.
bool canonical(const std::string &t) {
    if (t.size() != 24 || t.find('\0') != std::string::npos) return false;
    for (std::size_t i = 0; i < 21; ++i) {
        if (kPathSafe.find(t[i]) == std::string::npos) return false;
    }
    return std::string("AQgw").find(t[21]) != std::string::npos && t.substr(22) == "==";
}

// The RFC form: bytes 3 2 1 0 - 5 4 - 7 6 - 8 9 - 10 to 15, lower-case hex.
std::string rfc_of(const Raw &raw) {
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string s;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) s += '-';
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", raw[static_cast<std::size_t>(order[k])]);
        s += hex;
    }
    return s;
}

// The same 16 bytes in RFC (network) order, as libuuid and Python hold them.
Raw rfc_bytes_of(const Raw &raw) {
    return {raw[3], raw[2], raw[1], raw[0], raw[5], raw[4], raw[7], raw[6],
            raw[8], raw[9], raw[10], raw[11], raw[12], raw[13], raw[14], raw[15]};
}

// The version nibble when the variant is 10, else -1; the time of version 7.
int version_of(const Raw &raw) { return (raw[8] & 0xC0) == 0x80 ? raw[7] >> 4 : -1; }
long long ms_of(const Raw &raw) {
    long long ms = 0;
    for (int i : {3, 2, 1, 0, 5, 4}) ms = ms << 8 | raw[static_cast<std::size_t>(i)];
    return ms;
}

// The time of versions 1, 6 and 7 from their RFC fields, in Unix seconds
// and nanoseconds; false for any other version.
bool timestamp_of(const Raw &raw, long long *s, int *ns) {
    const Raw b = rfc_bytes_of(raw);
    auto field = [&](int from, int n) {
        std::uint64_t v = 0;
        for (int i = from; i < from + n; ++i) v = v << 8 | b[static_cast<std::size_t>(i)];
        return v;
    };
    const int version = version_of(raw);
    if (version == 7) {
        *s = static_cast<long long>(field(0, 6) / 1000);
        *ns = static_cast<int>(field(0, 6) % 1000 * 1000000);
        return true;
    }
    std::uint64_t count;  // 100 ns since 1582-10-15
    if (version == 6) {
        count = field(0, 4) << 28 | field(4, 2) << 12 | (field(6, 2) & 0xFFF);
    } else if (version == 1) {
        count = (field(6, 2) & 0xFFF) << 48 | field(4, 2) << 32 | field(0, 4);
    } else {
        return false;
    }
    // 141,427 days from 1582-10-15 to 1970-01-01.
    const long long since_1970 = static_cast<long long>(count) - 141427LL * 86400 * 10000000;
    long long seconds = since_1970 / 10000000, rest = since_1970 % 10000000;
    if (rest < 0) {
        seconds -= 1;
        rest += 10000000;
    }
    *s = seconds;
    *ns = static_cast<int>(rest * 100);
    return true;
}

// The version, time and copy of a text, checked against the rule: for a
// canonical text the version and time of its bytes; for any other -1,
// nothing written, nothing allocated.
void expect_inspected(const char *t, const Raw *raw) {
    const int version = raw == nullptr ? -1 : version_of(*raw);
    EXPECT_EQ(varo_uuid_version(t), version) << t;
    long long ms = -7;
    EXPECT_EQ(varo_uuid_time(t, &ms), version == 7 ? 0 : -1) << t;
    EXPECT_EQ(ms, version == 7 ? ms_of(*raw) : -7) << t;
    long long s = -7, want_s = -7;
    int ns = -7, want_ns = -7;
    const bool timed = raw != nullptr && timestamp_of(*raw, &want_s, &want_ns);
    EXPECT_EQ(varo_uuid_timestamp(t, &s, &ns), timed ? 0 : -1) << t;
    EXPECT_EQ(s, want_s) << t;
    EXPECT_EQ(ns, want_ns) << t;
    char *copy = varo_uuid_parse_alloc(t);
    EXPECT_EQ(copy != nullptr, raw != nullptr) << t;
    if (copy != nullptr) {
        EXPECT_EQ(std::memcmp(copy, t, VARO_UUID_TEXT_SIZE), 0) << t;
    }
    varo_uuid_generate_free(copy);
}

// The name-based identifiers of a namespace text: version 5 and 3 of the
// name "x", into an area of 26 bytes (one past the text) and a new block.
// For a text that is not canonical: -1 and null, nothing written. Returns
// the two texts, or empty ones.
struct NameBased {
    std::string v5, v3;
};
NameBased name_based(const char *ns, const void *name = "x", std::size_t len = 1) {
    NameBased got;
    const struct {
        int (*on_buf)(const char *, const void *, std::size_t, char *);
        char *(*alloc)(const char *, const void *, std::size_t);
        std::string *out;
    } kinds[] = {{varo_uuid_generate_v5_on_buf, varo_uuid_generate_v5_alloc, &got.v5},
                 {varo_uuid_generate_v3_on_buf, varo_uuid_generate_v3_alloc, &got.v3}};
    for (const auto &k : kinds) {
        std::vector<char> buf(26, 'x');
        const int status = k.on_buf(ns, name, len, buf.data());
        char *block = k.alloc(ns, name, len);
        EXPECT_EQ(status == 0, block != nullptr) << (ns ? ns : "(null)");
        if (status == 0) {
            EXPECT_EQ(buf[24], '\0');
            EXPECT_EQ(buf[25], 'x');
            *k.out = buf.data();
            if (block != nullptr) {
                EXPECT_STREQ(block, buf.data());
            }
        } else {
            EXPECT_EQ(status, -1);
            EXPECT_EQ(buf, std::vector<char>(26, 'x')) << (ns ? ns : "(null)");
        }
        varo_uuid_generate_free(block);
    }
    return got;
}

// The order the library promises, by its rule: null first, then
// canonical texts by their RFC form, then every other string byte by byte.
int reference_order(const char *a, const char *b) {
    auto rank = [](const char *t) { return t == nullptr ? 0 : canonical(t) ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
    if (a == nullptr) return 0;
    std::string ka = a, kb = b;
    if (rank(a) == 1) {
        auto raw = [](const char *t) {
            const auto bytes = ref::decode(t, kPathSafe, false).bytes;
            return Raw(bytes.begin(), bytes.end());
        };
        ka = rfc_of(raw(a));
        kb = rfc_of(raw(b));
    }
    const int c = ka.compare(kb);
    return (c > 0) - (c < 0);
}

// A heap copy of `s` with its NUL and nothing more.
std::vector<char> c_string(const std::string &s) {
    return {s.c_str(), s.c_str() + s.size() + 1};
}

unsigned char *as_raw(char *area) {
    return reinterpret_cast<unsigned char *>(area);
}

// Every test runs with the AVX2 kernels (where the processor has them) and
// with the scalar ones.
class Text : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (!GetParam()) varo::fault::arm(varo::fault::Site::avx2, 0, INT_MAX);
    }
    void TearDown() override { varo::fault::disarm_all(); }
};
INSTANTIATE_TEST_SUITE_P(Kernels, Text, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &p) {
                             return p.param ? "wide" : "scalar";
                         });

// Every byte value at every position: bytes -> text -> bytes, text -> RFC
// form -> text through each accepted spelling, and each output exactly its
// size.
TEST_P(Text, EveryByteAtEveryPositionRoundTrips) {
    std::mt19937 rng(10);
    for (int pos = 0; pos < 16; ++pos) {
        for (int v = 0; v < 256; ++v) {
            Raw raw(16);
            for (auto &b : raw) b = static_cast<unsigned char>(rng());
            raw[static_cast<std::size_t>(pos)] = static_cast<unsigned char>(v);
            const std::string text = text_of(raw);
            const std::string rfc = rfc_of(raw);

            std::vector<char> buf(26, 'x');
            ASSERT_EQ(varo_uuid_from_raw(raw.data(), buf.data()), 0);
            ASSERT_EQ(std::string(buf.data()), text);
            ASSERT_EQ(buf[25], 'x');

            const std::vector<char> t = c_string(text);
            ASSERT_EQ(varo_uuid_is_valid(t.data()), 1) << text;
            Raw back(16, kFill);
            ASSERT_EQ(varo_uuid_to_raw(t.data(), back.data()), 0);
            ASSERT_EQ(back, raw) << text;

            // The bytes in network order, each way, and version 8 of them.
            const Raw net = rfc_bytes_of(raw);
            Raw net_out(17, kFill);
            ASSERT_EQ(varo_uuid_to_rfc_bytes(t.data(), net_out.data()), 0);
            ASSERT_EQ(Raw(net_out.begin(), net_out.begin() + 16), net) << text;
            ASSERT_EQ(net_out[16], kFill);
            const Raw net_in(net);  // exactly 16 bytes on the heap
            std::vector<char> from_net(26, 'x');
            ASSERT_EQ(varo_uuid_from_rfc_bytes(net_in.data(), from_net.data()), 0);
            ASSERT_EQ(std::string(from_net.data()), text);
            Raw v8 = raw;
            v8[7] = static_cast<unsigned char>((v8[7] & 0x0F) | 0x80);
            v8[8] = static_cast<unsigned char>((v8[8] & 0x3F) | 0x80);
            std::vector<char> v8_out(26, 'x');
            ASSERT_EQ(varo_uuid_generate_v8_on_buf(net_in.data(), v8_out.data()), 0);
            ASSERT_EQ(std::string(v8_out.data()), text_of(v8));
            ASSERT_EQ(v8_out[25], 'x');

            std::vector<char> r(38, 'x');
            ASSERT_EQ(varo_uuid_to_rfc(t.data(), r.data()), 0);
            ASSERT_EQ(std::string(r.data()), rfc) << text;
            ASSERT_EQ(r[37], 'x');
            expect_inspected(t.data(), &raw);
            // The order against the previous text, as the RFC forms order.
            static Raw previous = raw;
            const int cmp = rfc_of(previous).compare(rfc);
            ASSERT_EQ(varo_uuid_order(text_of(previous).c_str(), t.data()), (cmp > 0) - (cmp < 0))
                << text;
            previous = raw;

            std::string upper = rfc;
            for (char &c : upper) c = static_cast<char>(std::toupper(c));
            std::string plain = rfc;
            plain.erase(std::remove(plain.begin(), plain.end(), '-'), plain.end());
            for (const std::string &form :
                 {rfc, upper, "{" + rfc + "}", "urn:uuid:" + rfc, "URN:UUID:" + upper, plain}) {
                const std::vector<char> f = c_string(form);
                std::vector<char> out(26, 'x');
                ASSERT_EQ(varo_uuid_from_rfc(f.data(), out.data()), 0) << form;
                ASSERT_EQ(std::string(out.data()), text) << form;
                ASSERT_EQ(out[25], 'x');
            }
        }
    }
}

// Every byte value in every position of a canonical text, and texts of
// other lengths: valid exactly when the rule says so, and a refused text
// leaves both output areas alone.
TEST_P(Text, OnlyCanonicalTextsAreValid) {
    const std::string good = "AAECAwQFBgcICQoLDA0ODw==";
    std::vector<std::string> texts = {
        "",
        "A",
        good.substr(0, 22),
        good.substr(0, 23),
        good + "=",
        good + good,
        "AAECAwQFBgcICQoLDA0ODx==",  // same bytes as `good`, stray low bits
        "AAECAwQFBgcICQoLDA0ODw=A",
        " " + good,
        good + " ",
        good + "\n",
    };
    for (std::size_t pos = 0; pos < 24; ++pos) {
        for (int c = 0; c < 256; ++c) {
            std::string t = good;
            t[pos] = static_cast<char>(c);
            texts.push_back(t);
        }
    }
    for (const std::string &text : texts) {
        const std::vector<char> t = c_string(text);
        const bool want = canonical(text);
        EXPECT_EQ(varo_uuid_is_valid(t.data()), want ? 1 : 0) << text;
        Raw raw(16, kFill);
        EXPECT_EQ(varo_uuid_to_raw(t.data(), raw.data()), want ? 0 : -1) << text;
        std::vector<char> rfc(37, 'x');
        EXPECT_EQ(varo_uuid_to_rfc(t.data(), rfc.data()), want ? 0 : -1) << text;
        if (!want) {
            EXPECT_EQ(raw, Raw(16, kFill)) << text;
            EXPECT_EQ(rfc, std::vector<char>(37, 'x')) << text;
        }
        expect_inspected(t.data(), want ? &raw : nullptr);
        // The same text as the namespace of a name-based identifier.
        const NameBased made = name_based(t.data());
        EXPECT_EQ(made.v5.empty(), !want) << text;
        EXPECT_EQ(made.v3.empty(), !want) << text;
    }
}

// Version 5 and 3 against the RFC's vectors and Python's uuid5, uuid3 (and
// for names that are not text, hashlib over the namespace's RFC bytes and
// the name): each of the RFC namespaces, nil and max, the empty name from
// a null pointer and from a real one, NULs inside a name, and names that
// end just before and after the last hash block holds 16 + n bytes with its
// padding. Each identifier reads back its version and no time.
TEST_P(Text, NameBasedMatchTheRfcAndPython) {
    std::string ascending;
    for (int i = 0; i < 48; ++i) ascending += static_cast<char>(i);
    const struct {
        const char *ns;
        std::string name;
        const char *v5, *v3;
    } cases[] = {
        {VARO_UUID_NAMESPACE_DNS, "www.example.com", "2ed6657d-e927-568b-95e1-2665a8aea6a2",
         "5df41881-3aed-3515-88a7-2f4a814cf09e"},
        {VARO_UUID_NAMESPACE_DNS, "", "4ebd0208-8328-5d69-8c44-ec50939c0967",
         "c87ee674-4ddc-3efe-a74e-dfe25da5d7b3"},
        {VARO_UUID_NAMESPACE_URL, "https://example.com/a?b=c",
         "c33ae727-a88e-54fd-83c1-eb80bc195938", "0b463593-886f-39bb-be0c-5c3a95d64448"},
        {VARO_UUID_NAMESPACE_OID, "1.3.6.1.4.1", "106dd502-8b3e-50db-80ed-1134f5c18eae",
         "ef89b4fd-cc82-39f4-8098-b58dd72a496c"},
        {VARO_UUID_NAMESPACE_X500, "CN=Example,O=Org", "3294c428-b46f-5a42-8993-26f1bd1dedf0",
         "ea8993eb-87f6-3576-94e2-1a421679a046"},
        {VARO_UUID_NIL, std::string("a\0b", 3), "a7650b9f-f19f-5300-8a13-91160ea8de2c",
         "8156568e-4ae6-3f34-a93e-18e2c6cbbf78"},
        {VARO_UUID_MAX, std::string(1, '\0'), "3b1d7d76-9192-51b6-b44b-54fd2158f5df",
         "f1095350-07d8-3f09-9074-324842d8dd9f"},
        {"AAECAwQFBgcICQoLDA0ODw==", ascending, "e8aaf5c6-446a-544b-a67a-259372ea0c7e",
         "3293a32e-adbd-328b-b05d-8b4f1870034e"},
        {"AAECAwQFBgcICQoLDA0ODw==", std::string(39, 'x'), "b1d68387-8138-56a9-8c06-c24c08caefab",
         "e6a6f98e-ed6c-3181-ad1a-ea66b03056ae"},
        {"AAECAwQFBgcICQoLDA0ODw==", std::string(40, 'x'), "396ddb71-8c8d-5f82-a2f8-4d3f8f6ba5f0",
         "f07ee504-cc70-3dc1-ad6a-7dc9ae07b862"},
    };
    auto rfc_of_text = [](const std::string &t) {
        const auto bytes = ref::decode(t, kPathSafe, false).bytes;
        return rfc_of(Raw(bytes.begin(), bytes.end()));
    };
    for (const auto &c : cases) {
        // The name in a heap area of exactly its size.
        const std::vector<char> name(c.name.begin(), c.name.end());
        const NameBased made = name_based(c.ns, name.data(), name.size());
        ASSERT_TRUE(canonical(made.v5) && canonical(made.v3)) << c.ns;
        EXPECT_EQ(rfc_of_text(made.v5), c.v5) << c.ns << " " << c.name;
        EXPECT_EQ(rfc_of_text(made.v3), c.v3) << c.ns << " " << c.name;
        EXPECT_EQ(varo_uuid_version(made.v5.c_str()), 5);
        EXPECT_EQ(varo_uuid_version(made.v3.c_str()), 3);
        long long ms = -7;
        EXPECT_EQ(varo_uuid_time(made.v5.c_str(), &ms), -1);
        EXPECT_EQ(varo_uuid_time(made.v3.c_str(), &ms), -1);
        EXPECT_EQ(ms, -7);
        if (c.name.empty()) {
            const NameBased from_null = name_based(c.ns, nullptr, 0);
            EXPECT_EQ(from_null.v5, made.v5);
            EXPECT_EQ(from_null.v3, made.v3);
        }
    }
}

// varo_uuid_order over canonical texts (equal ones among them, version 7
// and others, nil and max), strings that are not canonical (one the same
// bytes as a canonical text, prefixes, longer strings, high bytes) and
// nulls: against the rule for every pair, and qsort of shuffled copies
// gives one order every time.
TEST_P(Text, OrderIsATotalOrderThatQsortFollows) {
    const std::vector<std::string> texts = {
        "AAECAwQFBgcICQoLDA0ODw==", "AAECAwQFBgcICQoLDA0ODw==", "AAECAwQFBgcICQoLDA0OEA==",
        "AAECBAQFBgcICQoLDA0ODw==", "BAECAwQFBgcICQoLDA0ODw==", "AAAAAAAAAAAAAAAAAAAAAA==",
        "_____________________w==", "AAECAwQFcAcICQoLDA0ODw==", "AAECAwQFBnAICQoLDA0ODw==",
        "_____wAAAHAAAAAAAAAAAA==", "AAECAwQFBgcICQoLDA0ODx==", "AAECAwQFBgcICQoLDA0ODw",
        "AAECAwQFBgcICQoLDA0ODw===", "", "A", "\xff", "zzz", "+", "AAECAwQFBgcICQoLDA0ODx==",
    };
    std::vector<std::vector<char>> store;
    for (const std::string &t : texts) store.push_back(c_string(t));
    std::vector<const char *> table = {nullptr, nullptr};
    for (const auto &t : store) table.push_back(t.data());
    for (const char *a : table) {
        for (const char *b : table) {
            ASSERT_EQ(varo_uuid_order(a, b), reference_order(a, b))
                << (a ? a : "(null)") << " " << (b ? b : "(null)");
        }
    }
    auto as_strings = [](const std::vector<const char *> &v) {
        std::vector<std::string> out;
        for (const char *p : v) out.push_back(p == nullptr ? "(null)" : p);
        return out;
    };
    std::vector<std::string> first;
    std::mt19937 rng(16);
    for (int round = 0; round < 50; ++round) {
        std::vector<const char *> copy = table;
        std::shuffle(copy.begin(), copy.end(), rng);
        std::qsort(copy.data(), copy.size(), sizeof copy[0], [](const void *x, const void *y) {
            return varo_uuid_order(*static_cast<const char *const *>(x),
                                   *static_cast<const char *const *>(y));
        });
        if (round == 0) first = as_strings(copy);
        ASSERT_EQ(as_strings(copy), first) << round;
    }
    EXPECT_EQ(first[0], "(null)");
    EXPECT_EQ(first[2], "AAAAAAAAAAAAAAAAAAAAAA==");
}

// Every spelling that is not one of the four forms is refused, and the
// output area stays as it was.
TEST_P(Text, FromRfcRefusesEveryOtherForm) {
    const std::string rfc = "03020100-0504-0706-0809-0a0b0c0d0e0f";
    const std::string plain = "030201000504070608090a0b0c0d0e0f";
    std::vector<std::string> refused = {
        "",
        rfc.substr(0, 35),
        rfc + "0",
        " " + rfc,
        rfc + " ",
        rfc + "\n",
        "{" + rfc,
        rfc + "}",
        "(" + rfc + ")",
        "[" + rfc + "]",
        "}" + rfc + "{",
        "{" + plain + "}",
        "urn:uuid:" + plain,
        "urn:uuid:{" + rfc + "}",
        "{urn:uuid:" + rfc + "}",
        "urn:uuid" + rfc + "-",
        "uuid:" + rfc + "abcd",
        "urn-uuid:" + rfc,
        "urn:uuid:" + rfc + "0",
        "urn:uuid:" + rfc.substr(1),
        plain.substr(1),
        plain + "0",
        "0x" + plain.substr(2),
        "03020100-0504-0706-08090a0b0c0d0e0f",
        "030201000504-0706-0809-0a0b0c0d0e0f",
        "03020100-0504-0706-0809-0a0b0c0d0e0f-",
        "0302010-00504-0706-0809-0a0b0c0d0e0f",
        "03020100_0504_0706_0809_0a0b0c0d0e0f",
        "03020100-0504-0706-0809+0a0b0c0d0e0f",
        "+3020100-0504-0706-0809-0a0b0c0d0e0f",
        "-3020100-0504-0706-0809-0a0b0c0d0e0f",
    };
    // Each character of each form replaced by one that is no hex digit,
    // and each dash by a digit.
    for (const std::string &form : {rfc, plain, "{" + rfc + "}", "urn:uuid:" + rfc}) {
        for (std::size_t pos = 0; pos < form.size(); ++pos) {
            for (const char bad : {'g', 'G', 'x', ' ', '-', '/', ':', '@', '`', '\x80', '\xff'}) {
                std::string s = form;
                s[pos] = bad;
                if (s != form) refused.push_back(s);
            }
            if (form[pos] == '-')
                refused.push_back(form.substr(0, pos) + "0" + form.substr(pos + 1));
        }
    }
    for (const std::string &s : refused) {
        const std::vector<char> in = c_string(s);
        std::vector<char> out(25, 'x');
        EXPECT_EQ(varo_uuid_from_rfc(in.data(), out.data()), -1) << s;
        EXPECT_EQ(out, std::vector<char>(25, 'x')) << s;
    }
}

// Each conversion with its output area starting where its input lies (the
// 16 raw bytes, or a text with its NUL, at the start of an area that holds
// the larger of the two): the same result as from separate areas, and no
// byte written past the output.
TEST_P(Text, ConvertsInPlace) {
    using Convert = int (*)(char *area);
    std::mt19937 rng(14);
    for (int round = 0; round < 256; ++round) {
        Raw raw(16);
        for (auto &b : raw) b = static_cast<unsigned char>(rng());
        const std::string r(raw.begin(), raw.end());
        const std::string text = text_of(raw) + '\0';
        const std::string rfc = rfc_of(raw) + '\0';
        const Raw net = rfc_bytes_of(raw);
        Raw v8 = raw;
        v8[7] = static_cast<unsigned char>((v8[7] & 0x0F) | 0x80);
        v8[8] = static_cast<unsigned char>((v8[8] & 0x3F) | 0x80);
        const struct {
            const char *name;
            std::string in, out;
            Convert convert;
        } cases[] = {
            {"from_raw", r, text, [](char *a) { return varo_uuid_from_raw(as_raw(a), a); }},
            {"to_raw", text, r, [](char *a) { return varo_uuid_to_raw(a, as_raw(a)); }},
            {"to_rfc", text, rfc, [](char *a) { return varo_uuid_to_rfc(a, a); }},
            {"from_rfc", rfc, text, [](char *a) { return varo_uuid_from_rfc(a, a); }},
            {"from_rfc urn", "urn:uuid:" + rfc, text,
             [](char *a) { return varo_uuid_from_rfc(a, a); }},
            // The namespace's own area, the name "x".
            {"v5", text, name_based(text.c_str()).v5 + '\0',
             [](char *a) { return varo_uuid_generate_v5_on_buf(a, "x", 1, a); }},
            {"v3", text, name_based(text.c_str()).v3 + '\0',
             [](char *a) { return varo_uuid_generate_v3_on_buf(a, "x", 1, a); }},
            {"to_rfc_bytes", text, std::string(net.begin(), net.end()),
             [](char *a) { return varo_uuid_to_rfc_bytes(a, as_raw(a)); }},
            {"from_rfc_bytes", std::string(net.begin(), net.end()), text,
             [](char *a) { return varo_uuid_from_rfc_bytes(as_raw(a), a); }},
            {"v8", std::string(net.begin(), net.end()), text_of(v8) + '\0',
             [](char *a) { return varo_uuid_generate_v8_on_buf(as_raw(a), a); }},
        };
        for (const auto &c : cases) {
            std::vector<char> area(std::max(c.in.size(), c.out.size()) + 1, 'x');
            std::copy(c.in.begin(), c.in.end(), area.begin());
            const std::vector<char> before = area;
            ASSERT_EQ(c.convert(area.data()), 0) << c.name << " " << text;
            ASSERT_EQ(std::string(area.data(), c.out.size()), c.out) << c.name << " " << text;
            // Past the output, the area is as it was.
            ASSERT_TRUE(std::equal(area.begin() + static_cast<long>(c.out.size()), area.end(),
                                   before.begin() + static_cast<long>(c.out.size())))
                << c.name;
        }
    }
}

// RFC 9562's examples of versions 1, 6 and 7 (2022-02-22 19:22:22 UTC), and
// the ends of the 60-bit count of versions 1 and 6: 1582-10-15, the last
// 100 ns before 1970, 1970 itself and the year 5236.
TEST(TextVectors, TimestampsOfTheRfcExamplesAndTheEndsOfTheCount) {
    const struct {
        const char *rfc;
        long long s;
        int ns;
    } rows[] = {
        {"c232ab00-9414-11ec-b3c8-9f6bdeced846", 1645557742, 0},
        {"1ec9414c-232a-6b00-b3c8-9f6bdeced846", 1645557742, 0},
        {"017f22e2-79b0-7cc3-98c4-dc0c0c07398f", 1645557742, 0},
        {"00000000-0000-1000-8000-000000000000", -12219292800, 0},
        {"00000000-0000-6000-8000-000000000000", -12219292800, 0},
        {"13813fff-1dd2-11b2-8000-000000000000", -1, 999999900},
        {"1b21dd21-3813-6fff-8000-000000000000", -1, 999999900},
        {"13814000-1dd2-11b2-8000-000000000000", 0, 0},
        {"1b21dd21-3814-6000-8000-000000000000", 0, 0},
        {"ffffffff-ffff-1fff-bfff-ffffffffffff", 103072857660, 684697500},
        {"ffffffff-ffff-6fff-bfff-ffffffffffff", 103072857660, 684697500},
        {"ffffffff-ffff-7fff-bfff-ffffffffffff", 281474976710, 655000000},
    };
    for (const auto &row : rows) {
        char text[VARO_UUID_TEXT_SIZE];
        ASSERT_EQ(varo_uuid_from_rfc(row.rfc, text), 0) << row.rfc;
        long long s = 0;
        int ns = -1;
        EXPECT_EQ(varo_uuid_timestamp(text, &s, &ns), 0) << row.rfc;
        EXPECT_EQ(s, row.s) << row.rfc;
        EXPECT_EQ(ns, row.ns) << row.rfc;
    }
}

#if defined(VARO_UUID_TEST_LIBUUID)
// libuuid's uuid_t, random and time-based, through the network-order bytes:
// the RFC form is what uuid_unparse() prints, the bytes come back as they
// went in, and the version and time are libuuid's.
TEST(TextPeers, LibuuidAgreesOnItsUuidT) {
    for (int i = 0; i < 1000; ++i) {
        uuid_t u;
        if (i % 2 == 0) {
            uuid_generate_random(u);
        } else {
            uuid_generate_time(u);
        }
        char expected[37], text[VARO_UUID_TEXT_SIZE], rfc[VARO_UUID_RFC_SIZE];
        uuid_unparse_lower(u, expected);
        ASSERT_EQ(varo_uuid_from_rfc_bytes(u, text), 0);
        ASSERT_EQ(varo_uuid_to_rfc(text, rfc), 0);
        ASSERT_STREQ(rfc, expected);
        unsigned char back[VARO_UUID_RFC_BYTES];
        ASSERT_EQ(varo_uuid_to_rfc_bytes(text, back), 0);
        ASSERT_EQ(std::memcmp(back, u, sizeof back), 0) << expected;
        ASSERT_EQ(varo_uuid_version(text), i % 2 == 0 ? 4 : 1) << expected;
        if (i % 2 == 1) {
            timeval tv{};
            uuid_time(u, &tv);
            long long s = 0;
            int ns = 0;
            ASSERT_EQ(varo_uuid_timestamp(text, &s, &ns), 0);
            EXPECT_EQ(s, tv.tv_sec) << expected;
            EXPECT_EQ(ns / 1000, tv.tv_usec) << expected;
        }
    }
}
#endif

TEST(TextNull, EveryFunctionRefusesANullArgument) {
    char buf[VARO_UUID_RFC_SIZE];
    unsigned char raw[16] = {};
    const char *text = "AAECAwQFBgcICQoLDA0ODw==";
    const char *rfc = "03020100-0504-0706-0809-0a0b0c0d0e0f";
    EXPECT_EQ(varo_uuid_is_valid(nullptr), 0);
    EXPECT_EQ(varo_uuid_to_raw(nullptr, raw), -1);
    EXPECT_EQ(varo_uuid_to_raw(text, nullptr), -1);
    EXPECT_EQ(varo_uuid_from_raw(nullptr, buf), -1);
    EXPECT_EQ(varo_uuid_from_raw(raw, nullptr), -1);
    EXPECT_EQ(varo_uuid_to_rfc(nullptr, buf), -1);
    EXPECT_EQ(varo_uuid_to_rfc(text, nullptr), -1);
    EXPECT_EQ(varo_uuid_from_rfc(nullptr, buf), -1);
    EXPECT_EQ(varo_uuid_from_rfc(rfc, nullptr), -1);
    long long ms = -7;
    EXPECT_EQ(varo_uuid_version(nullptr), -1);
    EXPECT_EQ(varo_uuid_time(nullptr, &ms), -1);
    EXPECT_EQ(varo_uuid_time("_____wAAAHAAAAAAAAAAAA==", nullptr), -1);
    EXPECT_EQ(ms, -7);
    EXPECT_EQ(varo_uuid_parse_alloc(nullptr), nullptr);
    // 1.4: nothing written through the other arguments either.
    const char *v6 = "HuyUTCMqAGuzyJ9r3s7YRg==";
    long long s = -7;
    int ns = -7;
    EXPECT_EQ(varo_uuid_timestamp(nullptr, &s, &ns), -1);
    EXPECT_EQ(varo_uuid_timestamp(v6, nullptr, &ns), -1);
    EXPECT_EQ(varo_uuid_timestamp(v6, &s, nullptr), -1);
    EXPECT_EQ(s, -7);
    EXPECT_EQ(ns, -7);
    EXPECT_EQ(varo_uuid_to_rfc_bytes(nullptr, raw), -1);
    EXPECT_EQ(varo_uuid_to_rfc_bytes(text, nullptr), -1);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(varo_uuid_from_rfc_bytes(nullptr, buf), -1);
    EXPECT_EQ(varo_uuid_from_rfc_bytes(raw, nullptr), -1);
    EXPECT_EQ(varo_uuid_generate_v8_on_buf(nullptr, buf), -1);
    EXPECT_EQ(varo_uuid_generate_v8_on_buf(raw, nullptr), -1);
    EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x'));
    for (auto on_buf : {varo_uuid_generate_v6_on_buf, varo_uuid_generate_v1_on_buf}) {
        EXPECT_EQ(on_buf(nullptr), -1);
    }
    EXPECT_EQ(varo_uuid_order(nullptr, nullptr), 0);
    EXPECT_EQ(varo_uuid_order(nullptr, ""), -1);
    EXPECT_EQ(varo_uuid_order(text, nullptr), 1);
    // Name-based: no namespace, no area, or no name for a length.
    for (auto on_buf : {varo_uuid_generate_v5_on_buf, varo_uuid_generate_v3_on_buf}) {
        EXPECT_EQ(on_buf(text, "x", 1, nullptr), -1);
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(on_buf(nullptr, "x", 1, buf), -1);
        EXPECT_EQ(on_buf(text, nullptr, 1, buf), -1);
        EXPECT_EQ(on_buf(text, nullptr, SIZE_MAX, buf), -1);
        EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x'));
    }
    for (auto alloc : {varo_uuid_generate_v5_alloc, varo_uuid_generate_v3_alloc}) {
        EXPECT_EQ(alloc(nullptr, "x", 1), nullptr);
        EXPECT_EQ(alloc(text, nullptr, 1), nullptr);
    }
}

}  // namespace
