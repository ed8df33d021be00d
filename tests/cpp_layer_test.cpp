// The C++ layer varo_uuid.hpp against the shipped library: ownership and
// release by origin, equality, order and hashing, text access, encode and
// decode, parsing and the RFC form, name-based identifiers and the
// well-known texts; the value type, its conversions, order and hash checked
// against the C functions, and look-ups by text that allocate nothing.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "varo_uuid.hpp"

// Allocations counted while g_counting is set: every operator new, and every
// malloc (the library's allocators call it) where the test can stand in
// front of glibc's. A sanitizer or valgrind owns malloc itself; there only
// operator new is counted.
namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void count_allocation() noexcept {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
}
}  // namespace

// Out of line, so that the compiler does not pair a new with a free.
[[gnu::noinline]] void *operator new(std::size_t size) {
    count_allocation();
    if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void *p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VARO_TEST_OWN_MALLOC 0
#endif
#endif
#if !defined(VARO_TEST_OWN_MALLOC)
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VARO_TEST_OWN_MALLOC 1
#else
#define VARO_TEST_OWN_MALLOC 0
#endif
#endif
#if VARO_TEST_OWN_MALLOC
extern "C" void *__libc_malloc(std::size_t size) noexcept;
extern "C" void *malloc(std::size_t size) noexcept {
    count_allocation();
    return __libc_malloc(size);
}
#endif

namespace {

using varo::uuid;
using varo::uuid_bytes;
using varo::uuid_equal;
using varo::uuid_errc;
using varo::uuid_hash;
using varo::uuid_value;

// A constant made at compile time; a literal that is not canonical does not
// compile (tests/check_literal.cmake shows it).
constexpr uuid_value kDns{"ELina62d0RGAtADAT9QwyA=="};
static_assert(kDns == uuid_value::namespace_dns && kDns.version() == 1);
static_assert(uuid_value::max.rfc_bytes() == uuid_value::max.bytes());

static_assert(!std::is_copy_constructible_v<uuid> && !std::is_copy_assignable_v<uuid>);
static_assert(std::is_nothrow_move_constructible_v<uuid> &&
              std::is_nothrow_move_assignable_v<uuid>);
static_assert(std::is_nothrow_swappable_v<uuid>);

uuid make() {
    auto r = uuid::generate();
    EXPECT_TRUE(r);
    return std::move(r.value);
}

bool well_formed(std::string_view t) {
    return t.size() == VARO_UUID_TEXT_CHARS && t.substr(22) == "==" &&
           std::all_of(t.begin(), t.begin() + 22,
                       [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                  (c >= '0' && c <= '9') || c == '+' || c == '_';
                       }) &&
           std::string_view("AQgw").find(t[21]) != std::string_view::npos;
}

// Every way to come by an owner: generated (version 4, 7, 6 or 1), decoded
// or cloned into a heap, parsed from a text, from the RFC form or from the
// RFC-order bytes, made from a value, made from a name (version 5 or 3).
enum class Source { generated, generated_v7, decoded, cloned, parsed, from_rfc, named_v5, named_v3,
                    generated_v6, generated_v1, from_rfc_bytes, from_value };
struct Origin {
    Source source;
    int heap;
};
constexpr Origin kOrigins[] = {
    {Source::generated, 0}, {Source::decoded, 0},  {Source::decoded, 7},
    {Source::cloned, 0},    {Source::cloned, 3},   {Source::cloned, 15},
    {Source::parsed, 0},    {Source::from_rfc, 0}, {Source::generated_v7, 0},
    {Source::named_v5, 0},  {Source::named_v3, 0}, {Source::generated_v6, 0},
    {Source::generated_v1, 0}, {Source::from_rfc_bytes, 0}, {Source::from_value, 0}};

varo::uuid_result<uuid> copy_of(const uuid &g, Origin o) {
    switch (o.source) {
        case Source::decoded:
            return uuid::decode(g.encode().value, o.heap);
        case Source::cloned:
            return g.clone(o.heap);
        case Source::parsed:
            return uuid::parse(g.text());
        case Source::from_rfc_bytes:
            return uuid::from_rfc_bytes(g.to_rfc_bytes().value);
        case Source::from_value:
            return uuid::from_value(g.value().value);
        default:
            return uuid::from_rfc(g.to_rfc().value.view());
    }
}

uuid make_from(Origin o) {
    if (o.source == Source::generated_v7 || o.source == Source::generated_v6 ||
        o.source == Source::generated_v1) {
        auto r = o.source == Source::generated_v7   ? uuid::generate_v7()
                 : o.source == Source::generated_v6 ? uuid::generate_v6()
                                                    : uuid::generate_v1();
        EXPECT_TRUE(r);
        return std::move(r.value);
    }
    uuid g = make();
    if (o.source == Source::generated) return g;
    if (o.source == Source::named_v5 || o.source == Source::named_v3) {
        // A new name each time: the text of a new identifier.
        auto r = o.source == Source::named_v5 ? uuid::v5(uuid::namespace_url, g.text())
                                              : uuid::v3(uuid::namespace_url, g.text());
        EXPECT_TRUE(r) << static_cast<int>(r.error);
        EXPECT_EQ(r.value.version(), o.source == Source::named_v5 ? 5 : 3);
        return std::move(r.value);
    }
    auto r = copy_of(g, o);
    EXPECT_TRUE(r) << static_cast<int>(r.error);
    EXPECT_EQ(r.value, g);
    return std::move(r.value);
}

TEST(CppLayer, EveryOriginHoldsAWellFormedNulTerminatedText) {
    for (Origin o : kOrigins) {
        for (int i = 0; i < 20; ++i) {
            uuid id = make_from(o);
            ASSERT_TRUE(id);
            EXPECT_TRUE(well_formed(id.text())) << id.text();
            EXPECT_EQ(id.c_str(), id.text().data());
            EXPECT_EQ(id.c_str()[VARO_UUID_TEXT_CHARS], '\0');
        }
    }
}

TEST(CppLayer, MovesAndSwapsTransferOwnership) {
    uuid a = make();
    const std::string_view text = a.text();
    const char *block = a.c_str();

    uuid b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.c_str(), nullptr);
    EXPECT_EQ(b.c_str(), block);

    // Assigning over a held text releases it (a leak here shows under ASan).
    uuid c = make_from({Source::cloned, 3});
    c = std::move(b);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(c.c_str(), block);
    EXPECT_EQ(c, text);

    uuid &alias = c;
    c = std::move(alias);
    EXPECT_EQ(c.c_str(), block);

    c.reset();
    EXPECT_TRUE(c.empty());
    c.reset();
    c = uuid{};
    EXPECT_TRUE(c.empty());

    // Reallocation of a vector moves the owners.
    std::vector<uuid> ids;
    std::vector<std::string> texts;
    for (int i = 0; i < 64; ++i) {
        ids.push_back(make_from(kOrigins[i % std::size(kOrigins)]));
        texts.emplace_back(ids.back().text());
    }
    for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], texts[i]);

    // Swapping exchanges the origins too: each dies into its own allocator.
    swap(ids[0], ids[1]);
    EXPECT_EQ(ids[0], texts[1]);
    EXPECT_EQ(ids[1], texts[0]);
}

// A release into the wrong allocator keeps the block, so releasing through
// the owner must not let the heap grow. (ASan and valgrind, which replace
// malloc, see such a block as a leak instead.)
TEST(CppLayer, EachOriginGoesBackToItsAllocator) {
    for (Origin o : kOrigins) {
        for (int i = 0; i < 100; ++i) make_from(o);  // warm the allocator up
        const std::size_t before = mallinfo2().uordblks;
        for (int i = 0; i < 10000; ++i) {
            uuid id = make_from(o);
            uuid moved = std::move(id);
        }
        const std::size_t after = mallinfo2().uordblks;
        EXPECT_LT(after, before + 4096)
            << "source " << static_cast<int>(o.source) << " heap " << o.heap;
    }
}

TEST(CppLayer, EqualityAndHashFollowTheText) {
    constexpr std::size_t kIds = 5000;
    std::unordered_set<uuid> set;
    for (std::size_t i = 0; i < kIds; ++i) {
        uuid id = make();
        EXPECT_EQ(std::hash<uuid>{}(id), std::hash<std::string_view>{}(id.text()));
        EXPECT_TRUE(set.insert(std::move(id)).second);
    }
    EXPECT_EQ(set.size(), kIds);

    // A copy from another heap or through a text is equal, hashes the same
    // and is found.
    for (const uuid &id : set) {
        for (Origin o : {Origin{Source::decoded, 3}, Origin{Source::cloned, 15},
                         Origin{Source::parsed, 0}, Origin{Source::from_rfc, 0},
                         Origin{Source::from_rfc_bytes, 0}, Origin{Source::from_value, 0}}) {
            auto copy = copy_of(id, o);
            ASSERT_TRUE(copy);
            EXPECT_NE(copy.value.c_str(), id.c_str());
            EXPECT_EQ(copy.value, id);
            EXPECT_EQ(std::hash<uuid>{}(copy.value), std::hash<uuid>{}(id));
            EXPECT_NE(set.find(copy.value), set.end());
        }
    }

    uuid a = make(), b = make();
    EXPECT_NE(a, b);
    EXPECT_NE(a, uuid{});
    EXPECT_EQ(uuid{}, uuid{});
    EXPECT_EQ(uuid{}, "");
    EXPECT_NE(a, a.text().substr(0, 23));
}

// Known vectors: ascending bytes, all ones, all zeros.
struct Vector {
    std::array<unsigned char, 16> raw;
    std::string_view text;
};
const Vector kVectors[] = {
    {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, "AAECAwQFBgcICQoLDA0ODw=="},
    {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff},
     "_____________________w=="},
    {{}, "AAAAAAAAAAAAAAAAAAAAAA=="},
};

TEST(CppLayer, KnownVectorsDecodeAndEncode) {
    for (const Vector &v : kVectors) {
        const auto raw = std::as_bytes(std::span(v.raw));
        for (int heap : {0, 3}) {
            auto id = uuid::decode(raw, heap);
            ASSERT_TRUE(id);
            EXPECT_EQ(id.value.text(), v.text);
            auto back = id.value.encode();
            ASSERT_TRUE(back);
            EXPECT_TRUE(std::equal(back.value.begin(), back.value.end(), raw.begin(), raw.end()));
            EXPECT_EQ(id.value.value().value.bytes(), back.value);
        }
        const uuid_value value = uuid_value::parse(v.text).value;
        EXPECT_EQ(value.text().view(), v.text);
        EXPECT_TRUE(std::equal(raw.begin(), raw.end(), value.bytes().begin()));
    }
}

TEST(CppLayer, RoundTripsThroughTheRawBytes) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 1000; ++i) {
        // Text -> bytes -> text, from a generated identifier.
        uuid id = make();
        auto raw = id.encode();
        ASSERT_TRUE(raw);
        auto again = uuid::decode(raw.value, i % 16);
        ASSERT_TRUE(again);
        EXPECT_EQ(again.value, id);

        // Bytes -> text -> bytes, from random bytes in an exact-size heap
        // buffer of 16 to 20 bytes, of which only the first 16 are read.
        const std::size_t n = 16 + static_cast<std::size_t>(i % 5);
        auto buf = std::make_unique<std::byte[]>(n);
        for (std::size_t k = 0; k < n; ++k) buf[k] = static_cast<std::byte>(rng());
        auto decoded = uuid::decode({buf.get(), n});
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(well_formed(decoded.value.text()));
        auto encoded = decoded.value.encode();
        ASSERT_TRUE(encoded);
        EXPECT_TRUE(std::equal(encoded.value.begin(), encoded.value.end(), buf.get()));
    }
}

TEST(CppLayer, FailuresGiveAnEmptyValueAndTheirError) {
    // Fewer than 16 bytes, each in a heap buffer of exactly that size.
    for (std::size_t n = 0; n < VARO_UUID_RAW_SIZE; ++n) {
        auto buf = std::make_unique<std::byte[]>(n == 0 ? 1 : n);
        auto r = uuid::decode({buf.get(), n});
        EXPECT_FALSE(r);
        EXPECT_EQ(r.error, uuid_errc::short_input) << n;
        EXPECT_TRUE(r.value.empty());
    }
    EXPECT_EQ(uuid::decode({}).error, uuid_errc::short_input);

    // Handles that name no heap (the platform has heaps 0 to 15).
    const uuid_bytes raw{};
    uuid id = make();
    for (int heap : {-1, 16, 1000}) {
        auto d = uuid::decode(raw, heap);
        EXPECT_EQ(d.error, uuid_errc::no_memory) << heap;
        EXPECT_TRUE(d.value.empty());
        auto c = id.clone(heap);
        EXPECT_EQ(c.error, uuid_errc::no_memory) << heap;
        EXPECT_TRUE(c.value.empty());
    }

    // An empty owner has no text, no bytes and no copy.
    const uuid none;
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(none);
    EXPECT_EQ(none.c_str(), nullptr);
    EXPECT_TRUE(none.text().empty());
    auto e = none.encode();
    EXPECT_EQ(e.error, uuid_errc::empty);
    EXPECT_EQ(e.value, uuid_bytes{});
    EXPECT_EQ(none.clone(3).error, uuid_errc::empty);
    EXPECT_EQ(none.value().error, uuid_errc::empty);
    EXPECT_EQ(none.value().value, uuid_value{});
}

// parse() and from_rfc() take exactly what the C functions take, however
// the view is cut; a refusal allocates nothing.
TEST(CppLayer, ParseAndTheRfcForm) {
    for (const Vector &v : kVectors) {
        auto id = uuid::parse(v.text);
        ASSERT_TRUE(id) << v.text;
        EXPECT_EQ(id.value, v.text);
        auto rfc = id.value.to_rfc();
        ASSERT_TRUE(rfc);
        EXPECT_EQ(rfc.value.view().size(), VARO_UUID_RFC_SIZE - 1u);
        EXPECT_EQ(std::string_view(rfc.value.c_str()), rfc.value.view());
        auto back = uuid::from_rfc(rfc.value.view());
        ASSERT_TRUE(back);
        EXPECT_EQ(back.value, id.value);
    }
    EXPECT_EQ(uuid::parse(kVectors[0].text).value.to_rfc().value.view(),
              "03020100-0504-0706-0809-0a0b0c0d0e0f");

    const std::string text(kVectors[0].text);
    const std::string rfc = "03020100-0504-0706-0809-0a0b0c0d0e0f";
    const std::string refused_texts[] = {
        "",
        text.substr(0, 23),
        text + "A",
        "AAECAwQFBgcICQoLDA0ODx==",
        std::string("AAECAwQFBgcICQoLDA0OD\0==", 24),
    };
    for (const std::string &t : refused_texts) {
        auto r = uuid::parse(t);
        EXPECT_EQ(r.error, uuid_errc::not_identifier) << t;
        EXPECT_TRUE(r.value.empty());
        auto value = uuid_value::parse(t);
        EXPECT_EQ(value.error, uuid_errc::not_identifier) << t;
        EXPECT_EQ(value.value, uuid_value::nil);
        // Nor is it a namespace.
        for (int version : {5, 3}) {
            auto made = version == 5 ? uuid::v5(t, "x") : uuid::v3(t, "x");
            EXPECT_EQ(made.error, uuid_errc::not_identifier) << t;
            EXPECT_TRUE(made.value.empty());
        }
    }
    const std::string refused_rfcs[] = {
        "",
        rfc.substr(0, 35),
        rfc + "0",
        " " + rfc,
        rfc + std::string("\0junk", 5),
        "urn:uuid:" + rfc + "0",
        std::string(100, '0'),
    };
    for (const std::string &r : refused_rfcs) {
        auto got = uuid::from_rfc(r);
        EXPECT_EQ(got.error, uuid_errc::not_identifier) << r;
        EXPECT_TRUE(got.value.empty());
        EXPECT_EQ(uuid_value::from_rfc(r).error, uuid_errc::not_identifier) << r;
    }
    const uuid none;
    EXPECT_EQ(none.to_rfc().error, uuid_errc::empty);
    EXPECT_TRUE(none.to_rfc().value.view().empty());
}

// Name-based owners: the RFC's vectors; a name as a string_view (with a
// NUL inside, or empty without storage) or as bytes gives the same
// identifier as the C function; the constants are the C macros.
TEST(CppLayer, NameBasedOwnersAndTheWellKnownTexts) {
    auto v5 = uuid::v5(uuid::namespace_dns, "www.example.com");
    auto v3 = uuid::v3(uuid::namespace_dns, std::string("www.example.com"));
    ASSERT_TRUE(v5 && v3);
    EXPECT_EQ(v5.value.to_rfc().value.view(), "2ed6657d-e927-568b-95e1-2665a8aea6a2");
    EXPECT_EQ(v3.value.to_rfc().value.view(), "5df41881-3aed-3515-88a7-2f4a814cf09e");
    EXPECT_FALSE(v5.value.unix_time());

    const std::string_view names[] = {"", std::string_view{}, std::string_view("a\0b", 3),
                                      "www.example.com"};
    for (std::string_view ns : {uuid::namespace_url, uuid::nil_text, uuid::max_text}) {
        for (std::string_view name : names) {
            const auto bytes = std::as_bytes(std::span(name.data(), name.size()));
            char want[VARO_UUID_TEXT_SIZE];
            const std::string c_ns(ns);
            ASSERT_EQ(varo_uuid_generate_v5_on_buf(c_ns.c_str(), name.data(), name.size(), want),
                      0);
            EXPECT_EQ(uuid::v5(ns, name).value, std::string_view(want));
            EXPECT_EQ(uuid::v5(ns, bytes).value, std::string_view(want));
            ASSERT_EQ(varo_uuid_generate_v3_on_buf(c_ns.c_str(), name.data(), name.size(), want),
                      0);
            EXPECT_EQ(uuid::v3(ns, name).value, std::string_view(want));
            EXPECT_EQ(uuid::v3(ns, bytes).value, std::string_view(want));
            const uuid_value ns_value = uuid_value::parse(ns).value;
            EXPECT_EQ(uuid_value::v3(ns_value, name).value.text().view(), want);
            EXPECT_EQ(uuid_value::v3(ns_value, bytes).value.text().view(), want);
            ASSERT_EQ(varo_uuid_generate_v5_on_buf(c_ns.c_str(), name.data(), name.size(), want),
                      0);
            EXPECT_EQ(uuid_value::v5(ns_value, name).value.text().view(), want);
            EXPECT_EQ(uuid_value::v5(ns_value, bytes).value.text().view(), want);
        }
    }
    // A namespace need not be NUL-terminated: a view into a longer text.
    const std::string longer = std::string(uuid::namespace_dns) + "trailing";
    EXPECT_EQ(uuid::v5(std::string_view(longer).substr(0, 24), "www.example.com").value,
              v5.value.text());

    EXPECT_EQ(uuid_value::v5(uuid_value::namespace_dns, "www.example.com").value.rfc().view(),
              "2ed6657d-e927-568b-95e1-2665a8aea6a2");
    const std::pair<uuid_value, std::string_view> constants[] = {
        {uuid_value::namespace_dns, uuid::namespace_dns},
        {uuid_value::namespace_url, uuid::namespace_url},
        {uuid_value::namespace_oid, uuid::namespace_oid},
        {uuid_value::namespace_x500, uuid::namespace_x500},
        {uuid_value::nil, uuid::nil_text},
        {uuid_value::max, uuid::max_text}};
    for (const auto &[value, text] : constants) EXPECT_EQ(value.text().view(), text);
    EXPECT_EQ(uuid::namespace_dns, VARO_UUID_NAMESPACE_DNS);
    EXPECT_EQ(uuid::namespace_url, VARO_UUID_NAMESPACE_URL);
    EXPECT_EQ(uuid::namespace_oid, VARO_UUID_NAMESPACE_OID);
    EXPECT_EQ(uuid::namespace_x500, VARO_UUID_NAMESPACE_X500);
    EXPECT_EQ(uuid::parse(uuid::nil_text).value.to_rfc().value.view(),
              "00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(uuid::parse(uuid::max_text).value.to_rfc().value.view(),
              "ffffffff-ffff-ffff-ffff-ffffffffffff");
    EXPECT_EQ(uuid::parse(uuid::namespace_x500).value.to_rfc().value.view(),
              "6ba7b814-9dad-11d1-80b4-00c04fd430c8");
}

// Order and equality: identifiers in the order of their RFC forms, texts
// that are not identifiers (also those that share an identifier's 24
// characters and go on, or stop short) after them; owners as keys of
// ordered containers, in varo_uuid_order; stream output.
TEST(CppLayer, OrderEqualityAndStreams) {
    uuid a = uuid::parse("AAECAwQFBgcICQoLDA0ODw==").value;
    uuid b = uuid::parse("AAECAwQFBgcICQoLDA0OEA==").value;
    const std::string longer = std::string(a.text()) + "==";
    EXPECT_LT(a, b);
    EXPECT_GT(b, a);
    EXPECT_EQ(a <=> a.clone().value, std::strong_ordering::equal);
    EXPECT_LT(uuid{}, a);
    EXPECT_NE(a, longer);
    EXPECT_LT(a, longer);
    EXPECT_LT(a, a.text().substr(0, 23));
    EXPECT_EQ(uuid{} <=> std::string_view{}, std::strong_ordering::equal);
    // The first byte that differs is the last in memory but the first of
    // the RFC form (byte 3 of the GUID record's first field).
    const uuid c = uuid::parse("AAECBAQFBgcICQoLDA0ODw==").value;
    EXPECT_LT(b, c);
    EXPECT_LT(b, "AAECBAQFBgcICQoLDA0ODw==");
    EXPECT_EQ(varo_uuid_compare(a.c_str(), longer.c_str()), 0);
    EXPECT_EQ(varo_uuid_compare(longer.c_str(), a.c_str()), 0);

    std::vector<std::string> texts;
    std::set<uuid, std::less<>> set;
    std::map<uuid, int> map;
    for (int i = 0; i < 200; ++i) {
        uuid id = make_from(kOrigins[static_cast<std::size_t>(i) % std::size(kOrigins)]);
        texts.emplace_back(id.text());
        map.emplace(id.clone().value, i);
        set.insert(std::move(id));
    }
    std::sort(texts.begin(), texts.end(), [](const std::string &x, const std::string &y) {
        return varo_uuid_order(x.c_str(), y.c_str()) < 0;
    });
    ASSERT_EQ(set.size(), texts.size());
    std::size_t k = 0;
    for (const uuid &id : set) EXPECT_EQ(id, texts[k++]);
    for (const std::string &t : texts) {
        EXPECT_NE(set.find(std::string_view(t)), set.end());
        EXPECT_EQ(set.find(t + "A"), set.end());
        EXPECT_EQ(map.count(uuid::parse(t).value), 1u);
    }

    std::ostringstream out;
    out << a << ' ' << uuid{} << '|' << uuid_value::max;
    EXPECT_EQ(out.str(), std::string(a.text()) + " |" + std::string(uuid::max_text));
}

// Version 7 owners: their version and time, and a std::set of them iterates
// in the order they were made, whatever the texts' byte order.
TEST(CppLayer, TimeOrderedOwnersKeepTheirOrderInASet) {
    const auto before =
        std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
    std::vector<std::string> made;
    std::set<uuid> set;
    for (int i = 0; i < 2000; ++i) {
        auto id = uuid::generate_v7();
        ASSERT_TRUE(id);
        made.emplace_back(id.value.text());
        set.insert(std::move(id.value));
    }
    const auto after = std::chrono::system_clock::now();
    ASSERT_EQ(set.size(), made.size());
    std::size_t k = 0;
    for (const uuid &id : set) EXPECT_EQ(id, made[k++]);
    const uuid &first = *set.begin();
    EXPECT_EQ(first.version(), 7);
    ASSERT_TRUE(first.unix_time());
    EXPECT_GE(*first.unix_time(), before);
    EXPECT_LE(*first.unix_time(), after);
    EXPECT_EQ(make().version(), 4);
    EXPECT_FALSE(make().unix_time());
    EXPECT_EQ(uuid{}.version(), -1);
    EXPECT_FALSE(uuid{}.unix_time());

    EXPECT_GE(*first.timestamp(), before);
    EXPECT_FALSE(make().timestamp());

    // Values of versions 7 and 6 sort in the order they were made (version
    // 1 promises that only of its count); all three carry their time.
    for (int version : {7, 6, 1}) {
        std::vector<uuid_value> values;
        for (int i = 0; i < 2000; ++i) {
            values.push_back((version == 7   ? uuid_value::generate_v7()
                              : version == 6 ? uuid_value::generate_v6()
                                             : uuid_value::generate_v1())
                                 .value);
        }
        const auto now = std::chrono::system_clock::now();
        const std::set<uuid_value> sorted(values.begin(), values.end());
        if (version != 1) {
            EXPECT_TRUE(std::equal(sorted.begin(), sorted.end(), values.begin(), values.end()));
        }
        EXPECT_EQ(values[0].version(), version);
        EXPECT_GE(*values[0].timestamp(), before);
        EXPECT_LE(*values.back().timestamp(), now);
        EXPECT_EQ(values[0].unix_time().has_value(), version == 7);
    }
    EXPECT_EQ(uuid_value::generate().value.version(), 4);
    EXPECT_FALSE(uuid_value::generate().value.unix_time());
    EXPECT_FALSE(uuid_value::generate().value.timestamp());
}

TEST(CppLayer, CloneIntoHeap3OutlivesItsSource) {
    auto copy = [] {
        uuid original = make();
        auto c = original.clone(3);
        EXPECT_TRUE(c);
        EXPECT_EQ(c.value, original);
        EXPECT_NE(c.value.c_str(), original.c_str());
        return std::move(c.value);
    }();
    EXPECT_TRUE(well_formed(copy.text()));
    auto again = copy.clone(3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value, copy);
    copy.reset();
    EXPECT_TRUE(well_formed(again.value.text()));
}

// ---- The value type -------------------------------------------------------

// The C functions' text of 16 raw bytes: the oracle of the value's
// conversions; and the bytes that an RFC form's hex digits spell.
std::string c_text(const uuid_bytes &raw) {
    char text[VARO_UUID_TEXT_SIZE];
    EXPECT_EQ(varo_uuid_from_raw(reinterpret_cast<const unsigned char *>(raw.data()), text), 0);
    return text;
}
uuid_bytes rfc_digits(std::string_view rfc) {
    std::string hex;
    for (char c : rfc) {
        if (c != '-') hex += c;
    }
    uuid_bytes out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::byte>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return out;
}

// Random values, then every byte value at every position of a random base
// (so the 256 values of a position differ only there).
constexpr std::size_t kRandomValues = 500;
std::vector<uuid_bytes> property_values() {
    std::mt19937 rng(20261208);
    auto random = [&rng] {
        uuid_bytes b;
        for (std::byte &x : b) x = static_cast<std::byte>(rng());
        return b;
    };
    std::vector<uuid_bytes> out;
    for (std::size_t i = 0; i < kRandomValues; ++i) out.push_back(random());
    for (std::size_t pos = 0; pos < VARO_UUID_RAW_SIZE; ++pos) {
        const uuid_bytes base = random();
        for (unsigned v = 0; v < 256; ++v) {
            out.push_back(base);
            out.back()[pos] = static_cast<std::byte>(v);
        }
    }
    return out;
}

// value -> text -> value, value -> RFC bytes -> value, the RFC form, the
// version and time, the owner; one hash for a value, its owner and its
// text. The compile-time reader of texts agrees with the library.
TEST(CppLayer, ValuesRoundTripAndHashAsTheirOwnersAndTexts) {
    const std::vector<uuid_bytes> all = property_values();
    for (const uuid_bytes &raw : all) {
        const uuid_value v = uuid_value::from_bytes(raw);
        const std::string text = c_text(raw);
        ASSERT_EQ(v.text().view(), text);
        EXPECT_EQ(v.bytes(), raw);
        EXPECT_EQ(uuid_value::parse(text).value, v);
        char block[VARO_UUID_TEXT_SIZE];
        std::memcpy(block, text.c_str(), sizeof block);
        uuid_bytes read{};
        EXPECT_TRUE(varo::detail::decode_text(block, read));
        EXPECT_EQ(read, raw);

        char rfc[VARO_UUID_RFC_SIZE];
        ASSERT_EQ(varo_uuid_to_rfc(text.c_str(), rfc), 0);
        EXPECT_EQ(v.rfc().view(), rfc);
        EXPECT_EQ(v.rfc_bytes(), rfc_digits(rfc));
        uuid_bytes c_rfc{};
        ASSERT_EQ(
            varo_uuid_to_rfc_bytes(text.c_str(), reinterpret_cast<unsigned char *>(c_rfc.data())),
            0);
        EXPECT_EQ(v.rfc_bytes(), c_rfc);
        EXPECT_EQ(uuid_value::from_rfc_bytes(v.rfc_bytes()), v);
        EXPECT_EQ(uuid_value::from_rfc(rfc).value, v);
        // The same bytes read as RFC order: the library's answer.
        char from_rfc_bytes[VARO_UUID_TEXT_SIZE];
        ASSERT_EQ(varo_uuid_from_rfc_bytes(reinterpret_cast<const unsigned char *>(raw.data()),
                                           from_rfc_bytes),
                  0);
        EXPECT_EQ(uuid_value::from_rfc_bytes(raw).text().view(), from_rfc_bytes);
        char v8[VARO_UUID_TEXT_SIZE];
        ASSERT_EQ(
            varo_uuid_generate_v8_on_buf(reinterpret_cast<const unsigned char *>(raw.data()), v8),
            0);
        EXPECT_EQ(uuid_value::v8(raw).value.text().view(), v8);

        EXPECT_EQ(v.version(), varo_uuid_version(text.c_str()));
        long long ms = 0;
        const bool timed = varo_uuid_time(text.c_str(), &ms) == 0;
        ASSERT_EQ(v.unix_time().has_value(), timed);
        if (timed) {
            EXPECT_EQ(v.unix_time()->time_since_epoch().count(), ms);
        }

        long long seconds = 0;
        int ns = 0;
        const bool stamped = varo_uuid_timestamp(text.c_str(), &seconds, &ns) == 0;
        ASSERT_EQ(v.timestamp().has_value(), stamped);
        if (stamped) {
            EXPECT_EQ(v.timestamp()->time_since_epoch().count(), seconds * 10'000'000 + ns / 100);
        }

        const uuid owner = uuid::from_value(v).value;
        EXPECT_EQ(owner, text);
        EXPECT_EQ(owner.value().value, v);
        EXPECT_EQ(owner.to_rfc_bytes().value, c_rfc);
        EXPECT_EQ(owner.timestamp(), v.timestamp());
        EXPECT_EQ(uuid::v8(raw).value, std::string_view(v8));
        const std::size_t h = std::hash<uuid_value>{}(v);
        EXPECT_EQ(uuid_hash{}(v), h);
        EXPECT_EQ(uuid_hash{}(owner), h);
        EXPECT_EQ(uuid_hash{}(std::string_view(text)), h);
    }
    // Values that differ in one byte hash apart, whichever the byte.
    for (std::size_t pos = 0; pos < VARO_UUID_RAW_SIZE; ++pos) {
        std::set<std::size_t> hashes;
        for (std::size_t k = 0; k < 256; ++k) {
            hashes.insert(uuid_hash{}(uuid_value::from_bytes(all[kRandomValues + pos * 256 + k])));
        }
        EXPECT_EQ(hashes.size(), 256u) << "byte " << pos;
    }
}

// <=> and == of values against varo_uuid_order() of their texts: random
// pairs, equal pairs, and pairs that differ in one byte.
TEST(CppLayer, ValueOrderIsTheOrderOfVaroUuidOrder) {
    const std::vector<uuid_bytes> all = property_values();
    auto check = [](const uuid_bytes &x, const uuid_bytes &y) {
        const uuid_value a = uuid_value::from_bytes(x), b = uuid_value::from_bytes(y);
        const int want = varo_uuid_order(c_text(x).c_str(), c_text(y).c_str());
        const auto got = a <=> b;
        EXPECT_EQ(got < 0 ? -1 : got > 0 ? 1 : 0, want) << a << ' ' << b;
        EXPECT_EQ(a == b, want == 0) << a << ' ' << b;
    };
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        check(all[i], all[all.size() - 1 - i]);  // random pairs
        check(all[i], all[i + 1]);               // one byte apart, past the random ones
        check(all[i], all[i]);
    }
}

// A look-up by text or by owner in a map of values, and by value in a set
// of owners, finds the key and allocates nothing; a key's text cut short or
// going on, and a text that is not canonical, are found nowhere.
TEST(CppLayer, TransparentLookupsFindWithoutAllocating) {
    std::unordered_map<uuid_value, int, uuid_hash, uuid_equal> map;
    std::unordered_set<uuid, uuid_hash, uuid_equal> owners;
    std::vector<std::string> texts, misses;
    for (int i = 0; i < 1000; ++i) {
        const uuid_value v = (i % 2 ? uuid_value::generate_v7() : uuid_value::generate()).value;
        map.emplace(v, i);
        owners.insert(uuid::from_value(v).value);
        texts.emplace_back(v.text().view());
        misses.push_back(texts.back() + "A");
        misses.push_back(texts.back() + '\0');
        misses.push_back(texts.back().substr(0, 23));
    }
    misses.emplace_back("AAECAwQFBgcICQoLDA0ODx==");
    misses.emplace_back();
    std::size_t found = 0, wrong = 0;
    g_allocations = 0;
    g_counting = true;
    for (const std::string &t : texts) {
        auto it = map.find(std::string_view(t));
        found += it != map.end() && it->first.text().view() == t;
        found += map.count(t.c_str());
        found += owners.count(it->first);
        found += map.count(*owners.find(std::string_view(t)));
    }
    for (const std::string &t : misses) wrong += map.count(std::string_view(t)) + owners.count(t);
    found += map.count("ELina62d0RGAtADAT9QwyA==") == 0;
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(found, 4 * texts.size() + 1);
    EXPECT_EQ(wrong, 0u);

    // uuid_equal of every pair of kinds, both ways; what stands for no
    // identifier equals only its own text.
    const uuid_value v = map.begin()->first;
    const std::string t(v.text().view());
    const uuid o = uuid::from_value(v).value;
    const uuid_equal eq;
    EXPECT_TRUE(eq(v, t) && eq(t, v) && eq(v, o) && eq(o, v) && eq(o, t) && eq(t, o));
    for (const std::string &m : {t + "A", t + '\0', t.substr(0, 23), std::string()}) {
        EXPECT_FALSE(eq(v, m) || eq(m, v) || eq(o, m) || eq(m, o)) << m;
    }
    EXPECT_FALSE(eq(v, uuid{}) || eq(uuid{}, v));
    EXPECT_TRUE(eq(uuid{}, "") && eq(uuid{}, uuid{}));
    EXPECT_EQ(uuid_hash{}(uuid{}), uuid_hash{}(""));
}

// The hash spreads random and time-ordered values over the buckets as
// random numbers would: at about one value a bucket, no chain is longer
// than 12 (for random numbers a chain of 11 comes about once in 1,000
// runs, one of 13 about once in 100,000).
TEST(CppLayer, ValueHashFillsTheBucketsEvenly) {
    std::unordered_set<uuid_value> set;
    for (int i = 0; i < 100000; ++i) {
        set.insert((i % 2 ? uuid_value::generate_v7() : uuid_value::generate()).value);
    }
    std::size_t longest = 0;
    for (std::size_t b = 0; b < set.bucket_count(); ++b) {
        longest = std::max(longest, set.bucket_size(b));
    }
    EXPECT_LE(longest, 12u);
}

}  // namespace
