// varo_uuid.hpp: a header-only C++20 layer over the C functions of
// varo_uuid.h. It adds no exported symbol; link varo_uuid as for C.
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
#include <cstring>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "varo_uuid.h"

namespace varo {

// Why a call failed.
enum class uuid_errc : unsigned char {
    ok = 0,  // no failure
    // generate(), generate_v7(): no memory, or no fresh identifier could be
    // had (the C functions do not say which)
    generate_failed,
    // decode(), clone(): the heap has no memory, or the handle names no
    // heap; parse(), from_rfc(), v5(), v3(): the general allocator has no
    // memory
    no_memory,
    short_input,  // decode(): fewer than 16 bytes given
    empty,        // encode(), clone(), to_rfc(): the owner holds no identifier
    // encode(), to_rfc(): the library refused the text (never for texts made
    // here); parse(): not a canonical identifier text; from_rfc(): none of
    // the accepted RFC forms; v5(), v3(): the namespace is not a canonical
    // identifier text
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

// The 16 raw bytes of an identifier, its wire form.
using uuid_bytes = std::array<std::byte, VARO_UUID_RAW_SIZE>;

// The RFC 9562 form of an identifier (see varo_uuid_to_rfc()): 36
// characters and a NUL, held by value; all NUL when empty.
struct uuid_rfc {
    std::array<char, VARO_UUID_RFC_SIZE> chars{};

    // The 36 characters, or an empty view.
    [[nodiscard]] std::string_view view() const noexcept { return std::string_view{chars.data()}; }
    // The NUL-terminated characters.
    [[nodiscard]] const char *c_str() const noexcept { return chars.data(); }
};

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
        char *text = varo_uuid_generate_alloc();
        if (text == nullptr) return {uuid{}, uuid_errc::generate_failed};
        return {uuid(text, origin::general, 0), uuid_errc::ok};
    }

    // A new version 7 (time-ordered) identifier in a new block from the
    // general allocator: of two made one after the other, in any threads,
    // the later is greater (see varo_uuid_generate_v7_alloc()).
    // Errors: generate_failed.
    [[nodiscard]] static uuid_result<uuid> generate_v7() noexcept {
        char *text = varo_uuid_generate_v7_alloc();
        if (text == nullptr) return {uuid{}, uuid_errc::generate_failed};
        return {uuid(text, origin::general, 0), uuid_errc::ok};
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

}  // namespace varo

// The hash of an owner is the hash of its text, so owners work as keys of
// unordered containers.
namespace std {
template <>
struct hash<varo::uuid> {
    size_t operator()(const varo::uuid &id) const noexcept {
        return hash<string_view>{}(id.text());
    }
};
}  // namespace std

#endif  // VARO_UUID_HPP
