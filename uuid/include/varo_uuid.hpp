// varo_uuid.hpp: a header-only C++20 layer over the C functions of
// varo_uuid.h. It adds no exported symbol; link varo_uuid as for C.
//
// Two types hold an identifier:
//   - varo::uuid_value is the identifier itself, 16 bytes by value: copied,
//     compared, hashed and stored like an integer, made and read without
//     any allocation, and a compile-time constant from a text literal. Use
//     it for everything in C++: keys, members, containers, messages.
//   - varo::uuid owns a 25-byte text block from one of the library's
//     allocators. Use it for a block that comes from the C functions or the
//     XDR routines, or that must be handed to them, which release it.
// uuid::value() gives an owner's value; uuid::from_value() (general
// allocator) and uuid::decode(value.bytes(), heap) give a value's owner.
// uuid_hash and uuid_equal let an unordered container of values (or of
// owners) be searched by a value, an owner or a text without allocating.
//
// varo::uuid owns one identifier text and gives it back, when it dies, to
// the allocator that made it: a generated text through
// varo_uuid_generate_free(), a decoded or cloned one through
// pxdr_varo_uuid_t() in XDR_FREE mode with the heap it came from. The owner
// keeps its origin to itself and cannot be copied, so a block can neither be
// released twice nor be released into the wrong allocator.
//
// Errors: no function here throws; all of them are noexcept (but for the
// stream output, which does what the stream does), so the layer works with
// -fno-exceptions. A call that can fail returns a
// varo::uuid_result<T>: the value and a varo::uuid_errc that says what went
// wrong. On failure the value is empty (an empty owner, or zero bytes).
#ifndef VARO_UUID_HPP
#define VARO_UUID_HPP

#include <array>
#include <chrono>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "varo_uuid.h"

namespace varo {

// Why a call failed.
enum class uuid_errc : unsigned char {
    ok = 0,  // no failure
    // generate(), generate_v7(), generate_v6(), generate_v1(): no memory,
    // or no fresh identifier could be had (the C functions do not say
    // which)
    generate_failed,
    // decode(), clone(): the heap has no memory, or the handle names no
    // heap; parse(), from_rfc(), from_rfc_bytes(), from_value(), v5(),
    // v3(), v8(): the general allocator has no memory
    no_memory,
    short_input,  // decode(): fewer than 16 bytes given
    empty,        // encode(), clone(), to_rfc(), to_rfc_bytes(), value(): the owner holds none
    // encode(), to_rfc(), to_rfc_bytes(), value(): the library refused the
    // text (never for texts made here); parse(): not a canonical identifier
    // text; from_rfc(): none of the accepted RFC forms; v5(), v3(): the
    // namespace is not a canonical identifier text; v8() and the value's
    // v5(), v3(): the library refused the call (never)
    not_identifier,
};

// The outcome of a call that can fail: `value` is meaningful only when
// `error` is uuid_errc::ok, and is empty otherwise.
template <class T>
struct uuid_result {
    T value{};
    uuid_errc error = uuid_errc::ok;

    // True when the call succeeded.
    explicit operator bool() const noexcept { return error == uuid_errc::ok; }
};

// The 16 raw bytes of an identifier, its wire form; the same type holds
// the 16 bytes in RFC order (see varo_uuid_to_rfc_bytes()).
using uuid_bytes = std::array<std::byte, VARO_UUID_RAW_SIZE>;

// The time an identifier of version 1, 6 or 7 carries, to the 100 ns (the
// resolution of versions 1 and 6; version 7 is read to the millisecond).
// These ticks hold every such time, from 1582 to the year 10889, where
// std::chrono::nanoseconds would end in 2262. WARNING: a uuid_time
// converts to std::chrono::sys_time<std::chrono::nanoseconds> implicitly,
// and that conversion overflows for times past 2262.
using uuid_ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
using uuid_time = std::chrono::sys_time<uuid_ticks>;

namespace detail {
// The time of a canonical text through varo_uuid_timestamp(), or nothing.
inline std::optional<uuid_time> timestamp(const char *text) noexcept {
    long long seconds = 0;
    int ns = 0;
    if (varo_uuid_timestamp(text, &seconds, &ns) != 0) return std::nullopt;
    return uuid_time{uuid_ticks{static_cast<std::int64_t>(seconds) * 10'000'000 + ns / 100}};
}
}  // namespace detail

// The RFC 9562 form of an identifier (see varo_uuid_to_rfc()): 36
// characters and a NUL, held by value; all NUL when empty.
struct uuid_rfc {
    std::array<char, VARO_UUID_RFC_SIZE> chars{};

    // The 36 characters, or an empty view.
    [[nodiscard]] std::string_view view() const noexcept { return std::string_view{chars.data()}; }
    // The NUL-terminated characters.
    [[nodiscard]] const char *c_str() const noexcept { return chars.data(); }
};

// The text of an identifier: 24 characters and a NUL, held by value; all
// NUL when empty. c_str() goes straight to the C functions.
struct uuid_text {
    std::array<char, VARO_UUID_TEXT_SIZE> chars{};

    // The 24 characters, or an empty view.
    [[nodiscard]] std::string_view view() const noexcept { return std::string_view{chars.data()}; }
    // The NUL-terminated characters.
    [[nodiscard]] const char *c_str() const noexcept { return chars.data(); }
};

namespace detail {

// The value of a character of the path-safe alphabet, or -1.
constexpr int sextet(char c) noexcept {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '_') return 63;
    return -1;
}

// The 16 bytes of a canonical text (the rules of varo_uuid_is_valid(): 21
// path-safe characters, one of A Q g w, "==", then the NUL at `text[24]`)
// into `out`; false, with `out` untouched, for anything else. Used where the
// library cannot be called: in constant expressions.
constexpr bool decode_text(const char (&text)[VARO_UUID_TEXT_SIZE], uuid_bytes &out) noexcept {
    if (text[22] != '=' || text[23] != '=' || text[24] != '\0') return false;
    uuid_bytes raw{};
    std::uint32_t bits = 0;
    int held = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < 22; ++i) {
        const int v = sextet(text[i]);
        if (v < 0) return false;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            raw[n++] = static_cast<std::byte>((bits >> held) & 0xffu);
        }
    }
    // Character 21 carries two bits; its other four must be zero.
    if ((bits & ((1u << held) - 1u)) != 0) return false;
    out = raw;
    return true;
}

// Called only when a text literal given to the compile-time constructor of
// uuid_value is not canonical: it is not constexpr, so such a literal stops
// the compilation here, with this name in the message.
inline void not_a_canonical_identifier_text() noexcept {}

// Bytes `at` to `at + 7` as a little-endian word, and big-endian: the same
// on every host.
constexpr std::uint64_t load_le64(const uuid_bytes &b, std::size_t at) noexcept {
    std::uint64_t v = 0;
    for (std::size_t i = 8; i-- > 0;) v = (v << 8) | std::to_integer<std::uint64_t>(b[at + i]);
    return v;
}
constexpr std::uint64_t load_be64(const uuid_bytes &b, std::size_t at) noexcept {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | std::to_integer<std::uint64_t>(b[at + i]);
    return v;
}

// The finaliser of MurmurHash3: every input bit flips each output bit with
// probability close to 1/2.
constexpr std::uint64_t mix64(std::uint64_t x) noexcept {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// The GUID record's first three fields (4, 2 and 2 bytes) reversed: from
// the raw bytes to the RFC order, and back.
constexpr uuid_bytes swap_fields(const uuid_bytes &b) noexcept {
    return {b[3], b[2], b[1],  b[0],  b[5],  b[4],  b[7],  b[6],
            b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
}

}  // namespace detail

// An identifier as a value: its 16 raw bytes (the GUID record, the order of
// varo_uuid_to_raw() and of the wire), and nothing else. Trivially
// copyable, standard layout, 16 bytes; no operation allocates, none
// throws. The default value is the nil identifier.
//
// Use it for everything in C++; use the owner varo::uuid only for a text
// block that comes from, or goes to, the C functions and the XDR routines.
//
// Order: <=> is the order of varo_uuid_order(), the RFC form's: the bytes
// in RFC order, where the GUID record's first three fields (little-endian
// in the raw bytes) compare as the numbers they hold; so a std::set or a
// std::sort of version 7 or 6 values runs in the order they were made.
// == compares the 16 bytes.
class uuid_value {
  public:
    // The namespaces of RFC 9562 (domain names, URLs, ISO OIDs, X.500
    // distinguished names), the nil (all zero bits) and the max (all one
    // bits) identifier, as values (defined below the class).
    static const uuid_value namespace_dns;
    static const uuid_value namespace_url;
    static const uuid_value namespace_oid;
    static const uuid_value namespace_x500;
    static const uuid_value nil;
    static const uuid_value max;

    // The nil identifier.
    constexpr uuid_value() noexcept = default;

    // The identifier of a canonical text literal, at compile time:
    //     constexpr varo::uuid_value ns{"ELina62d0RGAtADAT9QwyA=="};
    // A literal that is not a canonical text does not compile (the message
    // names detail::not_a_canonical_identifier_text). Explicit, so that a
    // literal given to uuid_hash or uuid_equal stays a text.
    explicit consteval uuid_value(const char (&text)[VARO_UUID_TEXT_SIZE]) noexcept {
        if (!detail::decode_text(text, bytes_)) detail::not_a_canonical_identifier_text();
    }

    // A new version 4 (random) identifier, through
    // varo_uuid_generate_on_buf(). Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid_value> generate() noexcept {
        return generated(varo_uuid_generate_on_buf);
    }

    // A new version 7 (time-ordered) identifier, through
    // varo_uuid_generate_v7_on_buf(): of two made one after the other, in
    // any threads, the later is greater. Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid_value> generate_v7() noexcept {
        return generated(varo_uuid_generate_v7_on_buf);
    }

    // A new version 6 identifier (the RFC form sorts in time order),
    // through varo_uuid_generate_v6_on_buf(). Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid_value> generate_v6() noexcept {
        return generated(varo_uuid_generate_v6_on_buf);
    }

    // A new version 1 identifier, with a random multicast node, through
    // varo_uuid_generate_v1_on_buf(). Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid_value> generate_v1() noexcept {
        return generated(varo_uuid_generate_v1_on_buf);
    }

    // The version 8 identifier of the caller's 16 bytes in RFC order: the
    // bytes as they are but for the version and the variant, through
    // varo_uuid_generate_v8_on_buf(). It cannot fail (not_identifier would
    // mean the library refused the call).
    [[nodiscard]] static uuid_result<uuid_value> v8(const uuid_bytes &rfc) noexcept {
        char text[VARO_UUID_TEXT_SIZE];
        if (varo_uuid_generate_v8_on_buf(reinterpret_cast<const unsigned char *>(rfc.data()),
                                         text) != 0) {
            return {uuid_value{}, uuid_errc::not_identifier};
        }
        return of_text(text, uuid_errc::not_identifier);
    }

    // The identifier of a canonical text: exactly 24 characters as this
    // library writes them (see varo_uuid_is_valid()); `text` need not be
    // NUL-terminated. Errors: not_identifier.
    [[nodiscard]] static uuid_result<uuid_value> parse(std::string_view text) noexcept {
        return of_text(text, uuid_errc::not_identifier);
    }

    // The identifier of an RFC form: 36 characters, the same in {braces} or
    // after "urn:uuid:", or 32 hex digits, in either case (see
    // varo_uuid_from_rfc()); `rfc` need not be NUL-terminated.
    // Errors: not_identifier.
    [[nodiscard]] static uuid_result<uuid_value> from_rfc(std::string_view rfc) noexcept {
        // The longest form has 45 characters; a NUL inside is refused.
        char copy[46];
        if (rfc.size() >= sizeof copy || rfc.find('\0') != std::string_view::npos) {
            return {uuid_value{}, uuid_errc::not_identifier};
        }
        std::memcpy(copy, rfc.data(), rfc.size());
        copy[rfc.size()] = '\0';
        char text[VARO_UUID_TEXT_SIZE];
        if (varo_uuid_from_rfc(copy, text) != 0) return {uuid_value{}, uuid_errc::not_identifier};
        return of_text(text, uuid_errc::not_identifier);
    }

    // The version 5 (SHA-1) name-based identifier of the namespace `ns` and
    // the bytes of `name` (a std::string_view, or what converts to one, or
    // a std::span<const std::byte>): the same for the same namespace and
    // name, every time (see varo_uuid_generate_v5_on_buf()). A namespace
    // value is always accepted, so the result fails only if the library
    // refuses the call (not_identifier), which it does not for these
    // arguments.
    [[nodiscard]] static uuid_result<uuid_value> v5(const uuid_value &ns,
                                                    std::span<const std::byte> name) noexcept {
        return name_based(varo_uuid_generate_v5_on_buf, ns, name.data(), name.size());
    }
    [[nodiscard]] static uuid_result<uuid_value> v5(const uuid_value &ns,
                                                    std::string_view name) noexcept {
        return name_based(varo_uuid_generate_v5_on_buf, ns, name.data(), name.size());
    }

    // The same with MD5: the version 3 name-based identifier of `ns` and
    // `name` (see varo_uuid_generate_v3_on_buf()).
    [[nodiscard]] static uuid_result<uuid_value> v3(const uuid_value &ns,
                                                    std::span<const std::byte> name) noexcept {
        return name_based(varo_uuid_generate_v3_on_buf, ns, name.data(), name.size());
    }
    [[nodiscard]] static uuid_result<uuid_value> v3(const uuid_value &ns,
                                                    std::string_view name) noexcept {
        return name_based(varo_uuid_generate_v3_on_buf, ns, name.data(), name.size());
    }

    // The identifier of 16 raw bytes in GUID record order: the order of
    // varo_uuid_to_raw(), of uuid::encode() and of the wire.
    [[nodiscard]] static constexpr uuid_value from_bytes(const uuid_bytes &guid) noexcept {
        uuid_value v;
        v.bytes_ = guid;
        return v;
    }

    // The identifier of 16 bytes in RFC order (network order: the order in
    // which the RFC form prints them, libuuid's uuid_t, Python's
    // UUID.bytes); the same as varo_uuid_from_rfc_bytes().
    [[nodiscard]] static constexpr uuid_value from_rfc_bytes(const uuid_bytes &rfc) noexcept {
        return from_bytes(detail::swap_fields(rfc));
    }

    // The 16 raw bytes in GUID record order (the wire form).
    [[nodiscard]] constexpr uuid_bytes bytes() const noexcept { return bytes_; }

    // The 16 bytes in RFC order: the first three fields byte-reversed, as
    // varo_uuid_to_rfc_bytes() writes them.
    [[nodiscard]] constexpr uuid_bytes rfc_bytes() const noexcept {
        return detail::swap_fields(bytes_);
    }

    // The canonical text (through varo_uuid_from_raw()).
    [[nodiscard]] uuid_text text() const noexcept {
        uuid_text t;
        varo_uuid_from_raw(raw(), t.chars.data());
        return t;
    }

    // The RFC form (through varo_uuid_to_rfc()).
    [[nodiscard]] uuid_rfc rfc() const noexcept {
        uuid_rfc r;
        varo_uuid_to_rfc(text().c_str(), r.chars.data());
        return r;
    }

    // The version field, 0 to 15, of an identifier of RFC 9562's variant
    // (10); -1 for another variant, nil and max among them. The same as
    // varo_uuid_version() of the text.
    [[nodiscard]] constexpr int version() const noexcept {
        if ((std::to_integer<unsigned>(bytes_[8]) & 0xc0u) != 0x80u) return -1;
        return static_cast<int>(std::to_integer<unsigned>(bytes_[7]) >> 4);
    }

    // The time of a version 7 identifier, to the millisecond (its
    // unix_ts_ms field, as varo_uuid_time() reads it); nothing for any
    // other identifier.
    [[nodiscard]] constexpr std::optional<std::chrono::sys_time<std::chrono::milliseconds>>
    unix_time() const noexcept {
        if (version() != 7) return std::nullopt;
        const auto ms = static_cast<std::int64_t>(detail::load_be64(rfc_bytes(), 0) >> 16);
        return std::chrono::sys_time<std::chrono::milliseconds>{std::chrono::milliseconds{ms}};
    }

    // The time of a version 1, 6 or 7 identifier (varo_uuid_timestamp()):
    // to the 100 ns for versions 1 and 6, to the millisecond for version 7;
    // nothing for any other identifier.
    [[nodiscard]] std::optional<uuid_time> timestamp() const noexcept {
        return detail::timestamp(text().c_str());
    }

    // Equal when the 16 bytes are.
    friend constexpr bool operator==(const uuid_value &, const uuid_value &) noexcept = default;

    // The order of varo_uuid_order(): the bytes in RFC order, so the GUID
    // record's first three fields compare as the numbers they are.
    friend constexpr std::strong_ordering operator<=>(const uuid_value &a,
                                                      const uuid_value &b) noexcept {
        const uuid_bytes x = a.rfc_bytes(), y = b.rfc_bytes();
        const std::uint64_t xh = detail::load_be64(x, 0), yh = detail::load_be64(y, 0);
        if (xh != yh) return xh <=> yh;
        return detail::load_be64(x, 8) <=> detail::load_be64(y, 8);
    }

    // Writes the text.
    template <class Traits>
    friend std::basic_ostream<char, Traits> &operator<<(std::basic_ostream<char, Traits> &out,
                                                        const uuid_value &id) {
        return out << id.text().view();
    }

    // The hash of the 16 bytes, the same on every host: two 64-bit halves
    // mixed so that every byte reaches every bit of the result. uuid_hash
    // and std::hash<uuid_value> give this number for a value, for an owner
    // holding it and for its text.
    [[nodiscard]] constexpr std::size_t hash() const noexcept {
        const std::uint64_t lo = detail::load_le64(bytes_, 0);
        const std::uint64_t hi = detail::load_le64(bytes_, 8);
        return static_cast<std::size_t>(
            detail::mix64(lo ^ detail::mix64(hi ^ 0x9e3779b97f4a7c15ULL)));
    }

  private:
    friend class uuid;
    friend struct uuid_hash;
    friend struct uuid_equal;

    const unsigned char *raw() const noexcept {
        return reinterpret_cast<const unsigned char *>(bytes_.data());
    }

    // Reads a canonical text of exactly 24 characters (not necessarily
    // NUL-terminated) into the bytes; false, with the bytes untouched,
    // for anything else.
    bool read_text(std::string_view text) noexcept {
        if (text.size() != VARO_UUID_TEXT_CHARS) return false;
        char copy[VARO_UUID_TEXT_SIZE];
        std::memcpy(copy, text.data(), VARO_UUID_TEXT_CHARS);
        copy[VARO_UUID_TEXT_CHARS] = '\0';
        return read_text(copy);
    }
    // The same for a NUL-terminated text (a NUL inside shortens it, and it
    // is refused).
    bool read_text(const char *text) noexcept {
        unsigned char raw[VARO_UUID_RAW_SIZE];
        if (varo_uuid_to_raw(text, raw) != 0) return false;
        std::memcpy(bytes_.data(), raw, VARO_UUID_RAW_SIZE);
        return true;
    }

    // The value of a text (a std::string_view, or a NUL-terminated one the
    // library has just written), or `error`.
    template <class Text>
    static uuid_result<uuid_value> of_text(Text text, uuid_errc error) noexcept {
        uuid_value v;
        if (!v.read_text(text)) return {uuid_value{}, error};
        return {v, uuid_errc::ok};
    }

    // A new identifier through `make`, one of the _on_buf generators.
    static uuid_result<uuid_value> generated(int (*make)(char *) VARO_UUID_NOEXCEPT) noexcept {
        char text[VARO_UUID_TEXT_SIZE];
        if (make(text) != 0) return {uuid_value{}, uuid_errc::generate_failed};
        return of_text(text, uuid_errc::generate_failed);
    }

    // A name-based identifier through `make`, the _on_buf of version 5 or 3.
    static uuid_result<uuid_value> name_based(int (*make)(const char *, const void *, std::size_t,
                                                          char *) VARO_UUID_NOEXCEPT,
                                              const uuid_value &ns, const void *name,
                                              std::size_t size) noexcept {
        char text[VARO_UUID_TEXT_SIZE];
        if (make(ns.text().c_str(), name, size, text) != 0) {
            return {uuid_value{}, uuid_errc::not_identifier};
        }
        return of_text(text, uuid_errc::not_identifier);
    }

    uuid_bytes bytes_{};
};

inline constexpr uuid_value uuid_value::namespace_dns{VARO_UUID_NAMESPACE_DNS};
inline constexpr uuid_value uuid_value::namespace_url{VARO_UUID_NAMESPACE_URL};
inline constexpr uuid_value uuid_value::namespace_oid{VARO_UUID_NAMESPACE_OID};
inline constexpr uuid_value uuid_value::namespace_x500{VARO_UUID_NAMESPACE_X500};
inline constexpr uuid_value uuid_value::nil{VARO_UUID_NIL};
inline constexpr uuid_value uuid_value::max{VARO_UUID_MAX};

// The promises of a value type, checked where the type is made.
static_assert(sizeof(uuid_value) == VARO_UUID_RAW_SIZE);
static_assert(alignof(uuid_value) == 1);
static_assert(std::is_trivially_copyable_v<uuid_value>);
static_assert(std::is_standard_layout_v<uuid_value>);
static_assert(std::is_nothrow_default_constructible_v<uuid_value>);
static_assert(uuid_value::nil == uuid_value{} && uuid_value::nil < uuid_value::max);
static_assert(uuid_value::namespace_dns.version() == 1);

// Owner of one identifier text (a 25-byte block: 24 characters and a NUL),
// or empty. Move-only; moving leaves the source empty.
class uuid {
  public:
    // The namespaces of RFC 9562 for domain names, URLs, ISO OIDs and X.500
    // distinguished names, and the nil (all zero bits) and max (all one
    // bits) identifiers, as canonical texts: the macros of varo_uuid.h, for
    // v5(), v3(), parse() and comparisons.
    static constexpr std::string_view namespace_dns{VARO_UUID_NAMESPACE_DNS};
    static constexpr std::string_view namespace_url{VARO_UUID_NAMESPACE_URL};
    static constexpr std::string_view namespace_oid{VARO_UUID_NAMESPACE_OID};
    static constexpr std::string_view namespace_x500{VARO_UUID_NAMESPACE_X500};
    static constexpr std::string_view nil_text{VARO_UUID_NIL};
    static constexpr std::string_view max_text{VARO_UUID_MAX};

    // An empty owner: holds no identifier and releases nothing.
    uuid() noexcept = default;

    // Takes over the text of `other`, which is left empty.
    uuid(uuid &&other) noexcept
        : text_(std::exchange(other.text_, nullptr)), origin_(other.origin_), heap_(other.heap_) {}

    // Takes over the text of `other`, which is left empty, and releases the
    // text held here before. Moving an owner into itself changes nothing.
    uuid &operator=(uuid &&other) noexcept {
        uuid taken(std::move(other));
        swap(taken);
        return *this;
    }

    uuid(const uuid &) = delete;
    uuid &operator=(const uuid &) = delete;

    // Releases the text through the allocator that made it.
    ~uuid() { reset(); }

    // A new identifier in a new block from the general allocator.
    // Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid> generate() noexcept {
        return generated(varo_uuid_generate_alloc);
    }

    // A new version 7 (time-ordered) identifier in a new block from the
    // general allocator: of two made one after the other, in any threads,
    // the later is greater (see varo_uuid_generate_v7_alloc()).
    // Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid> generate_v7() noexcept {
        return generated(varo_uuid_generate_v7_alloc);
    }

    // A new version 6 identifier in a new block from the general allocator
    // (see varo_uuid_generate_v6_alloc()). Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid> generate_v6() noexcept {
        return generated(varo_uuid_generate_v6_alloc);
    }

    // A new version 1 identifier in a new block from the general allocator
    // (see varo_uuid_generate_v1_alloc()). Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid> generate_v1() noexcept {
        return generated(varo_uuid_generate_v1_alloc);
    }

    // The version 8 identifier of the caller's 16 bytes in RFC order (see
    // varo_uuid_generate_v8_on_buf()), in a new block from the general
    // allocator. Errors: no_memory.
    [[nodiscard]] static uuid_result<uuid> v8(const uuid_bytes &rfc) noexcept {
        const uuid_result<uuid_value> id = uuid_value::v8(rfc);
        if (!id) return {uuid{}, id.error};
        return from_value(id.value);
    }

    // The identifier of 16 bytes in RFC order (libuuid's uuid_t, Python's
    // UUID.bytes; the same as varo_uuid_from_rfc_bytes()), in a new block
    // from the general allocator. decode() takes the other order, the
    // wire's. Errors: no_memory.
    [[nodiscard]] static uuid_result<uuid> from_rfc_bytes(const uuid_bytes &rfc) noexcept {
        return from_value(uuid_value::from_rfc_bytes(rfc));
    }

    // The identifier of a canonical text (24 characters exactly as this
    // library writes them; see varo_uuid_is_valid()), in a new block from
    // the general allocator. `text` need not be NUL-terminated.
    // Errors: not_identifier (nothing is allocated), no_memory.
    [[nodiscard]] static uuid_result<uuid> parse(std::string_view text) noexcept {
        char copy[VARO_UUID_TEXT_SIZE];
        if (!canonical_copy(text, copy)) return {uuid{}, uuid_errc::not_identifier};
        return owned_copy(copy);
    }

    // The version 5 (SHA-1) name-based identifier of the namespace `ns` (a
    // canonical text, such as namespace_dns; `ns` need not be
    // NUL-terminated) and the bytes of `name`, in a new block from the
    // general allocator: the same for the same namespace and name, every
    // time (see varo_uuid_generate_v5_alloc()). `name` is any contiguous
    // bytes: a std::string_view (or what converts to one), or a
    // std::span<const std::byte>.
    // Errors: not_identifier (nothing is allocated), no_memory.
    [[nodiscard]] static uuid_result<uuid> v5(std::string_view ns,
                                              std::span<const std::byte> name) noexcept {
        return name_based(varo_uuid_generate_v5_alloc, ns, name.data(), name.size());
    }
    [[nodiscard]] static uuid_result<uuid> v5(std::string_view ns, std::string_view name) noexcept {
        return name_based(varo_uuid_generate_v5_alloc, ns, name.data(), name.size());
    }

    // The same with MD5: the version 3 name-based identifier of `ns` and
    // `name` (see varo_uuid_generate_v3_alloc()). Errors as for v5().
    [[nodiscard]] static uuid_result<uuid> v3(std::string_view ns,
                                              std::span<const std::byte> name) noexcept {
        return name_based(varo_uuid_generate_v3_alloc, ns, name.data(), name.size());
    }
    [[nodiscard]] static uuid_result<uuid> v3(std::string_view ns, std::string_view name) noexcept {
        return name_based(varo_uuid_generate_v3_alloc, ns, name.data(), name.size());
    }

    // The identifier of an RFC form: 36 characters, the same in {braces}
    // or after "urn:uuid:", or 32 hex digits, in either case (see
    // varo_uuid_from_rfc()), in a new block from the general allocator.
    // `rfc` need not be NUL-terminated.
    // Errors: not_identifier (nothing is allocated), no_memory.
    [[nodiscard]] static uuid_result<uuid> from_rfc(std::string_view rfc) noexcept {
        // The longest form has 45 characters; a NUL inside is refused.
        char copy[46];
        if (rfc.size() >= sizeof copy || rfc.find('\0') != std::string_view::npos) {
            return {uuid{}, uuid_errc::not_identifier};
        }
        std::memcpy(copy, rfc.data(), rfc.size());
        copy[rfc.size()] = '\0';
        char text[VARO_UUID_TEXT_SIZE];
        if (varo_uuid_from_rfc(copy, text) != 0) return {uuid{}, uuid_errc::not_identifier};
        return owned_copy(text);
    }

    // The identifier whose raw bytes are the first 16 bytes of `wire` (any
    // further bytes are ignored), in a new block from heap `heap` (0 is the
    // default heap).
    // Errors: short_input (fewer than 16 bytes; nothing is read), no_memory.
    [[nodiscard]] static uuid_result<uuid> decode(std::span<const std::byte> wire,
                                                  int heap = 0) noexcept {
        if (wire.size() < VARO_UUID_RAW_SIZE) return {uuid{}, uuid_errc::short_input};
        XDR xdrs;
        // A decoding stream only reads from its buffer.
        xdrmem_create(&xdrs, const_cast<char *>(reinterpret_cast<const char *>(wire.data())),
                      VARO_UUID_RAW_SIZE, XDR_DECODE);
        varo_uuid_t text = nullptr;
        const bool_t done = pxdr_varo_uuid_t(&xdrs, &text, heap);
        XDR_DESTROY(&xdrs);
        // With 16 bytes at hand only the heap can fail.
        if (!done) return {uuid{}, uuid_errc::no_memory};
        return {uuid(text, origin::heap, heap), uuid_errc::ok};
    }

    // A copy of the text in a new block from heap `heap` (0 is the default
    // heap); this owner keeps its own text.
    // Errors: empty, no_memory.
    [[nodiscard]] uuid_result<uuid> clone(int heap = 0) const noexcept {
        if (text_ == nullptr) return {uuid{}, uuid_errc::empty};
        varo_uuid_t copy = nullptr;
        if (!pxdr_clone_varo_uuid_t(&text_, &copy, heap)) return {uuid{}, uuid_errc::no_memory};
        return {uuid(copy, origin::heap, heap), uuid_errc::ok};
    }

    // A copy of the identifier `id` in a new block from the general
    // allocator, for code that hands a block to C (decode(id.bytes(), heap)
    // gives one from a heap). Errors: no_memory.
    [[nodiscard]] static uuid_result<uuid> from_value(const uuid_value &id) noexcept {
        return owned_copy(id.text().c_str());
    }

    // The identifier as a value. Allocates nothing.
    // Errors: empty, not_identifier (never for a text made here).
    [[nodiscard]] uuid_result<uuid_value> value() const noexcept {
        if (text_ == nullptr) return {uuid_value{}, uuid_errc::empty};
        return uuid_value::of_text(text_, uuid_errc::not_identifier);
    }

    // The 16 raw bytes of the identifier. Allocates nothing.
    // Errors: empty, not_identifier.
    [[nodiscard]] uuid_result<uuid_bytes> encode() const noexcept {
        if (text_ == nullptr) return {uuid_bytes{}, uuid_errc::empty};
        uuid_bytes raw{};
        if (xdr_encode_varo_uuid_t(&text_, reinterpret_cast<char *>(raw.data()),
                                   VARO_UUID_RAW_SIZE) != VARO_UUID_RAW_SIZE) {
            return {uuid_bytes{}, uuid_errc::not_identifier};
        }
        return {raw, uuid_errc::ok};
    }

    // The 16 bytes in RFC order (see varo_uuid_to_rfc_bytes()); encode()
    // gives the other order, the wire's. Allocates nothing.
    // Errors: empty, not_identifier.
    [[nodiscard]] uuid_result<uuid_bytes> to_rfc_bytes() const noexcept {
        if (text_ == nullptr) return {uuid_bytes{}, uuid_errc::empty};
        uuid_bytes rfc{};
        if (varo_uuid_to_rfc_bytes(text_, reinterpret_cast<unsigned char *>(rfc.data())) != 0) {
            return {uuid_bytes{}, uuid_errc::not_identifier};
        }
        return {rfc, uuid_errc::ok};
    }

    // The RFC form of the identifier. Allocates nothing.
    // Errors: empty, not_identifier.
    [[nodiscard]] uuid_result<uuid_rfc> to_rfc() const noexcept {
        if (text_ == nullptr) return {uuid_rfc{}, uuid_errc::empty};
        uuid_rfc rfc;
        if (varo_uuid_to_rfc(text_, rfc.chars.data()) != 0) {
            return {uuid_rfc{}, uuid_errc::not_identifier};
        }
        return {rfc, uuid_errc::ok};
    }

    // The 24 characters of the text, or an empty view for an empty owner.
    // Valid while this owner holds the text.
    [[nodiscard]] std::string_view text() const noexcept {
        return text_ == nullptr ? std::string_view{} : std::string_view{text_};
    }

    // The NUL-terminated text for C functions, or null for an empty owner.
    // Valid while this owner holds the text.
    [[nodiscard]] const char *c_str() const noexcept { return text_; }

    // The version field, 0 to 15, of an RFC 9562 variant identifier; -1
    // for another variant (nil, max) or an empty owner. See
    // varo_uuid_version().
    [[nodiscard]] int version() const noexcept { return varo_uuid_version(text_); }

    // The time of a version 7 identifier, to the millisecond; nothing for
    // any other identifier or an empty owner.
    [[nodiscard]] std::optional<std::chrono::sys_time<std::chrono::milliseconds>> unix_time()
        const noexcept {
        long long ms = 0;
        if (varo_uuid_time(text_, &ms) != 0) return std::nullopt;
        return std::chrono::sys_time<std::chrono::milliseconds>{std::chrono::milliseconds{ms}};
    }

    // The time of a version 1, 6 or 7 identifier (varo_uuid_timestamp()):
    // to the 100 ns for versions 1 and 6, to the millisecond for version 7;
    // nothing for any other identifier or an empty owner.
    [[nodiscard]] std::optional<uuid_time> timestamp() const noexcept {
        return detail::timestamp(text_);
    }

    // True when the owner holds no identifier.
    [[nodiscard]] bool empty() const noexcept { return text_ == nullptr; }

    // True when the owner holds an identifier.
    explicit operator bool() const noexcept { return text_ != nullptr; }

    // Releases the text now, through the allocator that made it; the owner
    // is then empty.
    void reset() noexcept {
        if (text_ == nullptr) return;
        if (origin_ == origin::general) {
            varo_uuid_generate_free(std::exchange(text_, nullptr));
        } else {
            // The free mode of the filter reads nothing of the stream but
            // its operation.
            XDR xdrs{};
            xdrs.x_op = XDR_FREE;
            pxdr_varo_uuid_t(&xdrs, &text_, heap_);
            text_ = nullptr;
        }
    }

    // Exchanges the texts (with their origins) of two owners.
    void swap(uuid &other) noexcept {
        std::swap(text_, other.text_);
        std::swap(origin_, other.origin_);
        std::swap(heap_, other.heap_);
    }
    friend void swap(uuid &a, uuid &b) noexcept { a.swap(b); }

    // Equal when both texts are equal; two empty owners are equal.
    friend bool operator==(const uuid &a, const uuid &b) noexcept { return a.text() == b.text(); }
    // Equal when the text is `text`; an empty owner equals only "".
    friend bool operator==(const uuid &a, std::string_view text) noexcept {
        return a.text() == text;
    }

    // The total order of varo_uuid_order(): identifiers in the order of
    // their RFC forms, so version 7 owners in the order they were made; an
    // empty owner first. Owners thus work as keys of std::map and std::set
    // (with std::less<> also found by text). A text compares as it would
    // in an owner: "" as the empty owner, any other text that is not
    // canonical after every identifier, byte by byte among its kind.
    friend std::strong_ordering operator<=>(const uuid &a, const uuid &b) noexcept {
        return as_ordering(varo_uuid_order(a.text_, b.text_));
    }
    friend std::strong_ordering operator<=>(const uuid &a, std::string_view text) noexcept {
        if (text.empty()) return as_ordering(varo_uuid_order(a.text_, nullptr));
        if (text.size() == VARO_UUID_TEXT_CHARS && text.find('\0') == std::string_view::npos) {
            char copy[VARO_UUID_TEXT_SIZE];
            std::memcpy(copy, text.data(), VARO_UUID_TEXT_CHARS);
            copy[VARO_UUID_TEXT_CHARS] = '\0';
            return as_ordering(varo_uuid_order(a.text_, copy));
        }
        // Not canonical: after every identifier.
        if (a.text_ == nullptr || varo_uuid_is_valid(a.text_) == 1)
            return std::strong_ordering::less;
        return a.text() <=> text;
    }

    // Writes the text; nothing for an empty owner.
    template <class Traits>
    friend std::basic_ostream<char, Traits> &operator<<(std::basic_ostream<char, Traits> &out,
                                                        const uuid &id) {
        return out << id.text();
    }

  private:
    // Which allocator gave the block, and so which call gives it back.
    enum class origin : unsigned char { general, heap };

    uuid(char *text, origin from, int heap) noexcept : text_(text), origin_(from), heap_(heap) {}

    // A new identifier in a block from the general allocator through
    // `make`, one of the _alloc generators.
    static uuid_result<uuid> generated(char *(*make)() VARO_UUID_NOEXCEPT) noexcept {
        char *text = make();
        if (text == nullptr) return {uuid{}, uuid_errc::generate_failed};
        return {uuid(text, origin::general, 0), uuid_errc::ok};
    }

    // A copy of the canonical 25-byte text in a block from the general
    // allocator; only no memory makes it fail.
    static uuid_result<uuid> owned_copy(const char *text) noexcept {
        char *block = varo_uuid_parse_alloc(text);
        if (block == nullptr) return {uuid{}, uuid_errc::no_memory};
        return {uuid(block, origin::general, 0), uuid_errc::ok};
    }

    // Copies `text` with a NUL after it into `copy` when it is a canonical
    // text (so exactly 24 characters); false otherwise. A NUL inside `text`
    // shortens the copy, which is then refused.
    static bool canonical_copy(std::string_view text, char (&copy)[VARO_UUID_TEXT_SIZE]) noexcept {
        if (text.size() != VARO_UUID_TEXT_CHARS) return false;
        std::memcpy(copy, text.data(), VARO_UUID_TEXT_CHARS);
        copy[VARO_UUID_TEXT_CHARS] = '\0';
        return varo_uuid_is_valid(copy) == 1;
    }

    // A name-based identifier through `make`, the _alloc of version 5 or 3.
    static uuid_result<uuid> name_based(char *(*make)(const char *, const void *,
                                                      std::size_t) VARO_UUID_NOEXCEPT,
                                        std::string_view ns, const void *name,
                                        std::size_t size) noexcept {
        char copy[VARO_UUID_TEXT_SIZE];
        // Checked here, so that a null result means no memory.
        if (!canonical_copy(ns, copy)) return {uuid{}, uuid_errc::not_identifier};
        char *text = make(copy, name, size);
        if (text == nullptr) return {uuid{}, uuid_errc::no_memory};
        return {uuid(text, origin::general, 0), uuid_errc::ok};
    }

    static std::strong_ordering as_ordering(int order) noexcept {
        return order < 0   ? std::strong_ordering::less
               : order > 0 ? std::strong_ordering::greater
                           : std::strong_ordering::equal;
    }

    char *text_ = nullptr;
    origin origin_ = origin::general;
    int heap_ = 0;  // for origin::heap: the heap handle
};

// Hash and equality for unordered containers that are searched by a value,
// by an owner or by a text, whichever the key type is:
//     std::unordered_map<varo::uuid_value, T, varo::uuid_hash, varo::uuid_equal> m;
//     m.find("ELina62d0RGAtADAT9QwyA==");  // no allocation, no owner made
// The hash is uuid_value::hash() of the 16 bytes for all three: a text is
// read into its bytes on the stack (through varo_uuid_to_raw()), never
// hashed as characters. A text that is not canonical and an empty owner
// stand for no identifier: they equal only the same text ("" for the empty
// owner), never a value, and hash as std::hash<std::string_view> of the
// text.
struct uuid_hash {
    using is_transparent = void;

    std::size_t operator()(const uuid_value &id) const noexcept { return id.hash(); }
    std::size_t operator()(const uuid &id) const noexcept { return (*this)(id.text()); }
    std::size_t operator()(std::string_view text) const noexcept {
        uuid_value v;
        if (!v.read_text(text)) return std::hash<std::string_view>{}(text);
        return v.hash();
    }
};

// Equality of the same three kinds, either way round, without allocating:
// the same identifier, or (for what stands for none) the same text.
struct uuid_equal {
    using is_transparent = void;

    bool operator()(const uuid_value &a, const uuid_value &b) const noexcept { return a == b; }
    bool operator()(const uuid &a, const uuid &b) const noexcept { return a == b; }
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }

    bool operator()(const uuid_value &a, std::string_view b) const noexcept {
        uuid_value v;
        return v.read_text(b) && v == a;
    }
    bool operator()(std::string_view a, const uuid_value &b) const noexcept {
        return (*this)(b, a);
    }
    bool operator()(const uuid_value &a, const uuid &b) const noexcept {
        return (*this)(a, b.text());
    }
    bool operator()(const uuid &a, const uuid_value &b) const noexcept { return (*this)(b, a); }
    bool operator()(const uuid &a, std::string_view b) const noexcept { return a == b; }
    bool operator()(std::string_view a, const uuid &b) const noexcept { return b == a; }
};

}  // namespace varo

namespace std {
// The hash of an owner is the hash of its text, so owners work as keys of
// unordered containers. (uuid_hash hashes an owner by its bytes instead,
// as it does a value and a text.)
template <>
struct hash<varo::uuid> {
    size_t operator()(const varo::uuid &id) const noexcept {
        return hash<string_view>{}(id.text());
    }
};
// The hash of a value's 16 bytes: uuid_value::hash(), as uuid_hash gives.
template <>
struct hash<varo::uuid_value> {
    size_t operator()(const varo::uuid_value &id) const noexcept { return id.hash(); }
};
}  // namespace std

#endif  // VARO_UUID_HPP
