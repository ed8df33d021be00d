// Identifier text <-> raw bytes, and the text interface of 1.1.
//
// The input as a NUL-terminated text through varo_uuid_to_bytes into an
// exactly sized 16-byte area: a text that decodes to more than 16 bytes is
// refused with the area untouched; any other must match the path-safe
// reference decoder in result and in all 16 bytes (the untouched ones too).
// The same text through varo_uuid_is_valid, _to_raw and _to_rfc, which take
// only a canonical text (one that decodes to 16 bytes whose encoding is the
// text again), and through varo_uuid_from_rfc, against a plain parser of the
// four RFC forms; a refusal leaves every output area as it was. The
// version, time, order and checked copy of 1.2 of the same text, against
// the bytes and RFC form of the reference. The same text as the namespace
// of the name-based identifiers of 1.3 (versions 5 and 3) with the input's
// bytes as the name, against their definition over nettle's one-shot hash.
// The same text through the functions of 1.4 that read a text: its bytes in
// network order (varo_uuid_to_rfc_bytes) against the reference's bytes in
// the RFC form's order, and its time (varo_uuid_timestamp) against one
// computed here from the RFC fields of versions 1, 6 and 7.
// Then the first 16 input bytes through varo_uuid_from_bytes (and
// _from_raw) and back, and through their RFC form and back; the same 16
// bytes read in network order (varo_uuid_from_rfc_bytes, into a separate
// area and in place) and as the caller's bytes of version 8. All of it once
// with the AVX2 kernels (where the processor has them), once with the
// scalar ones.
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base64.h"
#include "identifier.h"
#include "platform/fault.h"
#include "support.h"

namespace {

constexpr std::size_t kRaw = VARO_UUID_RAW_SIZE;

// ---- A plain reference of the RFC form ------------------------------------

constexpr int kPrintOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

REF_NO_COVERAGE std::string rfc_of(const unsigned char *raw) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) s += '-';
        s += digits[raw[kPrintOrder[k]] >> 4];
        s += digits[raw[kPrintOrder[k]] & 15];
    }
    return s;
}

REF_NO_COVERAGE int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Strips one wrapper ({...} or urn:uuid: in either case), then takes 36
// characters with four dashes or 32 digits.
REF_NO_COVERAGE bool rfc_parse(std::string t, unsigned char *raw) {
    std::string prefix = t.substr(0, 9);
    for (char &c : prefix) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') {
        t = t.substr(1, 36);
    } else if (t.size() == 45 && prefix == "urn:uuid:") {
        t = t.substr(9);
    } else if (t.size() != 36 && t.size() != 32) {
        return false;
    }
    std::string hex;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t.size() == 36 && (i == 8 || i == 13 || i == 18 || i == 23)) {
            if (t[i] != '-') return false;
        } else {
            hex += t[i];
        }
    }
    if (hex.size() != 32) return false;
    for (int k = 0; k < 16; ++k) {
        const int hi = hex_value(hex[2 * static_cast<std::size_t>(k)]);
        const int lo = hex_value(hex[2 * static_cast<std::size_t>(k) + 1]);
        if (hi < 0 || lo < 0) return false;
        raw[kPrintOrder[k]] = static_cast<unsigned char>(hi << 4 | lo);
    }
    return true;
}

// The 16 bytes in network order: the GUID record's first three fields
// (4, 2 and 2 bytes) byte-swapped, as the RFC form prints them.
REF_NO_COVERAGE void network_of(const unsigned char *raw, unsigned char *net) {
    for (int k = 0; k < 16; ++k) net[k] = raw[kPrintOrder[k]];
}

// Big-endian number of bytes [from, from + n) of `net`.
REF_NO_COVERAGE std::uint64_t be(const unsigned char *net, int from, int n) {
    std::uint64_t v = 0;
    for (int k = from; k < from + n; ++k) v = v << 8 | net[k];
    return v;
}

// The time of a version 1, 6 or 7 identifier in network order as Unix
// seconds and nanoseconds counted up from them; false for another version
// or variant. Versions 1 and 6: the 60-bit count of 100 ns since 1582-10-15
// from its three fields; version 7: unix_ts_ms, the first 48 bits.
REF_NO_COVERAGE bool time_of(const unsigned char *net, long long *s, int *ns) {
    const int version = (net[8] & 0xC0) == 0x80 ? net[6] >> 4 : -1;
    if (version == 7) {
        const std::uint64_t ms = be(net, 0, 6);
        *s = static_cast<long long>(ms / 1000);
        *ns = static_cast<int>(ms % 1000) * 1000000;
        return true;
    }
    if (version != 1 && version != 6) return false;
    const std::uint64_t first = be(net, 0, 4), mid = be(net, 4, 2), low12 = be(net, 6, 2) & 0xFFF;
    const std::uint64_t count =
        version == 6 ? first << 28 | mid << 12 | low12 : low12 << 48 | mid << 32 | first;
    // 100 ns from 1582-10-15 to 1970-01-01: 141,427 days.
    const long long since = static_cast<long long>(count) - 141427LL * 86400 * 10000000;
    long long sec = since / 10000000, rest = since % 10000000;
    if (rest < 0) {
        sec -= 1;
        rest += 10000000;
    }
    *s = sec;
    *ns = static_cast<int>(rest * 100);
    return true;
}

// The text of the name-based identifier of the namespace `ns` (16 raw
// bytes) and `name`, by its definition: the hash of the namespace in RFC
// order and the name, copied together; its first 16 bytes with the version
// and the variant 10, laid out as the GUID record.
REF_NO_COVERAGE std::string name_based_of(const unsigned char *ns, const std::uint8_t *name,
                                          std::size_t size, int version) {
    std::vector<std::uint8_t> message(kRaw + size);
    for (int k = 0; k < 16; ++k) message[static_cast<std::size_t>(k)] = ns[kPrintOrder[k]];
    if (size != 0) std::memcpy(message.data() + kRaw, name, size);
    std::uint8_t digest[kRaw];
    if (version == 5) {
        sha1_ctx c;
        sha1_init(&c);
        sha1_update(&c, message.size(), message.data());
        sha1_digest(&c, kRaw, digest);
    } else {
        md5_ctx c;
        md5_init(&c);
        md5_update(&c, message.size(), message.data());
        md5_digest(&c, kRaw, digest);
    }
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | version << 4);
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    unsigned char raw[kRaw];
    for (int k = 0; k < 16; ++k) raw[kPrintOrder[k]] = digest[k];
    return ref::encode(raw, kRaw, BASE64_ALPHABET_PATHSAFE);
}

// ---- Checks -------------------------------------------------------------------

void check_text(const std::uint8_t *data, std::size_t size, unsigned char fill) {
    const auto text = ref::heap_text(data, size);
    const std::size_t length = std::strlen(text.get());
    const std::size_t chars = ref::unpadded(text.get(), length);

    auto expected = ref::heap_area(kRaw, fill);
    const bool ok = ref::decoded_size(chars) <= kRaw &&
                    ref::decode(text.get(), chars, expected.get(), BASE64_ALPHABET_PATHSAFE,
                                ref::Classifier::mixed);

    auto raw = ref::heap_area(kRaw, fill);
    FUZZ_CHECK(varo_uuid_to_bytes(text.get(), raw.get()) == (ok ? raw.get() : nullptr));
    FUZZ_CHECK(std::memcmp(raw.get(), expected.get(), kRaw) == 0);

    // Canonical: 24 characters, 16 bytes, and their encoding is the text.
    const bool canonical =
        ok && length == 24 && ref::decoded_size(chars) == kRaw &&
        ref::encode(expected.get(), kRaw, BASE64_ALPHABET_PATHSAFE) == text.get();
    FUZZ_CHECK(varo_uuid_is_valid(text.get()) == (canonical ? 1 : 0));
    auto strict = ref::heap_area(kRaw, fill);
    FUZZ_CHECK(varo_uuid_to_raw(text.get(), strict.get()) == (canonical ? 0 : -1));
    auto rfc = ref::heap_area(VARO_UUID_RFC_SIZE, fill);
    char *rfc_text = reinterpret_cast<char *>(rfc.get());
    FUZZ_CHECK(varo_uuid_to_rfc(text.get(), rfc_text) == (canonical ? 0 : -1));
    if (canonical) {
        FUZZ_CHECK(std::memcmp(strict.get(), expected.get(), kRaw) == 0);
        FUZZ_CHECK(rfc_text == rfc_of(expected.get()));
    } else {
        FUZZ_CHECK(std::all_of(strict.get(), strict.get() + kRaw,
                               [fill](unsigned char b) { return b == fill; }));
        FUZZ_CHECK(std::all_of(rfc.get(), rfc.get() + VARO_UUID_RFC_SIZE,
                               [fill](unsigned char b) { return b == fill; }));
    }

    // Version (variant 10 only), time (version 7 only), order against the
    // text itself and a canonical text, and the checked copy.
    const unsigned char *e = expected.get();
    const int version = canonical && (e[8] & 0xC0) == 0x80 ? e[7] >> 4 : -1;
    FUZZ_CHECK(varo_uuid_version(text.get()) == version);
    long long ms = -1, want_ms = -1;
    if (version == 7) {
        want_ms = 0;
        for (int i : {3, 2, 1, 0, 5, 4}) want_ms = want_ms << 8 | e[i];
    }
    FUZZ_CHECK(varo_uuid_time(text.get(), &ms) == (version == 7 ? 0 : -1) && ms == want_ms);
    FUZZ_CHECK(varo_uuid_order(text.get(), text.get()) == 0);
    const char *other = "AAECAwQFBgcICQoLDA0ODw==";
    const int against = canonical ? rfc_of(e).compare("03020100-0504-0706-0809-0a0b0c0d0e0f") : 1;
    const int order = (against > 0) - (against < 0);
    FUZZ_CHECK(varo_uuid_order(text.get(), other) == order);
    FUZZ_CHECK(varo_uuid_order(other, text.get()) == -order);
    // Network order and the time (1.4).
    auto net = ref::heap_area(kRaw, fill);
    FUZZ_CHECK(varo_uuid_to_rfc_bytes(text.get(), net.get()) == (canonical ? 0 : -1));
    unsigned char want_net[kRaw];
    long long seconds = -7, want_seconds = -7;
    int nanos = -7, want_nanos = -7;
    const bool timed = canonical && (network_of(e, want_net), time_of(want_net, &want_seconds,
                                                                      &want_nanos));
    if (canonical) {
        FUZZ_CHECK(std::memcmp(net.get(), want_net, kRaw) == 0);
    } else {
        FUZZ_CHECK(std::all_of(net.get(), net.get() + kRaw,
                               [fill](unsigned char b) { return b == fill; }));
    }
    FUZZ_CHECK(varo_uuid_timestamp(text.get(), &seconds, &nanos) == (timed ? 0 : -1));
    FUZZ_CHECK(seconds == want_seconds && nanos == want_nanos);
    FUZZ_CHECK(!timed || (nanos >= 0 && nanos < 1000000000));

    char *copy = varo_uuid_parse_alloc(text.get());
    FUZZ_CHECK((copy != nullptr) == canonical);
    FUZZ_CHECK(copy == nullptr || std::memcmp(copy, text.get(), VARO_UUID_TEXT_SIZE) == 0);
    varo_uuid_generate_free(copy);

    // The text as the namespace, the input's bytes (in a heap area of
    // exactly their size) as the name.
    auto name = ref::heap_area(size == 0 ? 1 : size, fill);
    if (size != 0) std::memcpy(name.get(), data, size);
    const struct {
        int version;
        int (*on_buf)(const char *, const void *, std::size_t, char *) noexcept;
        char *(*alloc)(const char *, const void *, std::size_t) noexcept;
    } kinds[] = {{5, varo_uuid_generate_v5_on_buf, varo_uuid_generate_v5_alloc},
                 {3, varo_uuid_generate_v3_on_buf, varo_uuid_generate_v3_alloc}};
    for (const auto &kind : kinds) {
        auto made = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
        char *made_text = reinterpret_cast<char *>(made.get());
        FUZZ_CHECK(kind.on_buf(text.get(), name.get(), size, made_text) == (canonical ? 0 : -1));
        char *block = kind.alloc(text.get(), name.get(), size);
        FUZZ_CHECK((block != nullptr) == canonical);
        if (canonical) {
            const std::string want = name_based_of(e, data, size, kind.version);
            FUZZ_CHECK(made_text == want);
            FUZZ_CHECK(block != nullptr && block == want);
            FUZZ_CHECK(varo_uuid_version(made_text) == kind.version);
        } else {
            FUZZ_CHECK(std::all_of(made.get(), made.get() + VARO_UUID_TEXT_SIZE,
                                   [fill](unsigned char b) { return b == fill; }));
        }
        varo_uuid_generate_free(block);
    }

    // The same input as an RFC form.
    unsigned char parsed[kRaw];
    const bool is_rfc = rfc_parse(text.get(), parsed);
    auto out = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    char *out_text = reinterpret_cast<char *>(out.get());
    FUZZ_CHECK(varo_uuid_from_rfc(text.get(), out_text) == (is_rfc ? 0 : -1));
    if (is_rfc) {
        FUZZ_CHECK(out_text == ref::encode(parsed, kRaw, BASE64_ALPHABET_PATHSAFE));
    } else {
        FUZZ_CHECK(std::all_of(out.get(), out.get() + VARO_UUID_TEXT_SIZE,
                               [fill](unsigned char b) { return b == fill; }));
    }
}

void check_bytes(const std::uint8_t *data, std::size_t size, unsigned char fill) {
    unsigned char bytes[kRaw] = {};
    if (size != 0) std::memcpy(bytes, data, std::min(size, kRaw));
    const std::string want = ref::encode(bytes, kRaw, BASE64_ALPHABET_PATHSAFE);

    auto block = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    char *text = reinterpret_cast<char *>(block.get());
    FUZZ_CHECK(varo_uuid_from_bytes(bytes, text) == text);
    FUZZ_CHECK(text[VARO_UUID_TEXT_CHARS] == '\0');
    FUZZ_CHECK(text == want);
    auto again = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    FUZZ_CHECK(varo_uuid_from_raw(bytes, reinterpret_cast<char *>(again.get())) == 0);
    FUZZ_CHECK(std::memcmp(again.get(), text, VARO_UUID_TEXT_SIZE) == 0);

    auto back = ref::heap_area(kRaw, static_cast<unsigned char>(~fill));
    FUZZ_CHECK(varo_uuid_to_bytes(text, back.get()) == back.get());
    FUZZ_CHECK(std::memcmp(back.get(), bytes, kRaw) == 0);

    // Through the RFC form, spelled as the input's last byte picks.
    auto rfc = ref::heap_area(VARO_UUID_RFC_SIZE, fill);
    char *rfc_text = reinterpret_cast<char *>(rfc.get());
    FUZZ_CHECK(varo_uuid_to_rfc(text, rfc_text) == 0);
    FUZZ_CHECK(rfc_text == rfc_of(bytes));
    std::string form = rfc_text;
    const unsigned pick = size != 0 ? data[size - 1] : 0;
    if (pick & 1) {
        for (char &c : form) c = c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c;
    }
    if ((pick >> 1) % 4 == 1) form = "{" + form + "}";
    if ((pick >> 1) % 4 == 2) form = ((pick & 8) != 0 ? "URN:uuid:" : "urn:uuid:") + form;
    if ((pick >> 1) % 4 == 3) form.erase(std::remove(form.begin(), form.end(), '-'), form.end());
    auto form_text =
        ref::heap_text(reinterpret_cast<const std::uint8_t *>(form.data()), form.size());
    auto from = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    FUZZ_CHECK(varo_uuid_from_rfc(form_text.get(), reinterpret_cast<char *>(from.get())) == 0);
    FUZZ_CHECK(std::memcmp(from.get(), text, VARO_UUID_TEXT_SIZE) == 0);

    // The same 16 bytes in network order: the identifier whose RFC form
    // they spell, into its own area and in place, and back.
    unsigned char raw_of_net[kRaw];
    for (int k = 0; k < 16; ++k) raw_of_net[kPrintOrder[k]] = bytes[k];
    const std::string want_net = ref::encode(raw_of_net, kRaw, BASE64_ALPHABET_PATHSAFE);
    auto net_text = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    char *net_chars = reinterpret_cast<char *>(net_text.get());
    FUZZ_CHECK(varo_uuid_from_rfc_bytes(bytes, net_chars) == 0);
    FUZZ_CHECK(net_chars == want_net);
    auto in_place = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    std::memcpy(in_place.get(), bytes, kRaw);
    FUZZ_CHECK(varo_uuid_from_rfc_bytes(in_place.get(),
                                        reinterpret_cast<char *>(in_place.get())) == 0);
    FUZZ_CHECK(reinterpret_cast<char *>(in_place.get()) == want_net);
    auto net_back = ref::heap_area(kRaw, static_cast<unsigned char>(~fill));
    FUZZ_CHECK(varo_uuid_to_rfc_bytes(net_chars, net_back.get()) == 0);
    FUZZ_CHECK(std::memcmp(net_back.get(), bytes, kRaw) == 0);
    FUZZ_CHECK(varo_uuid_to_rfc_bytes(reinterpret_cast<char *>(in_place.get()), in_place.get()) ==
               0);
    FUZZ_CHECK(std::memcmp(in_place.get(), bytes, kRaw) == 0);

    // Version 8: the caller's bytes with the version 1000 and variant 10.
    unsigned char v8[kRaw];
    std::memcpy(v8, bytes, kRaw);
    v8[6] = static_cast<unsigned char>((v8[6] & 0x0F) | 0x80);
    v8[8] = static_cast<unsigned char>((v8[8] & 0x3F) | 0x80);
    for (int k = 0; k < 16; ++k) raw_of_net[kPrintOrder[k]] = v8[k];
    const std::string want_v8 = ref::encode(raw_of_net, kRaw, BASE64_ALPHABET_PATHSAFE);
    auto v8_text = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    char *v8_chars = reinterpret_cast<char *>(v8_text.get());
    FUZZ_CHECK(varo_uuid_generate_v8_on_buf(bytes, v8_chars) == 0);
    FUZZ_CHECK(v8_chars == want_v8);
    FUZZ_CHECK(varo_uuid_version(v8_chars) == 8);
    std::memcpy(in_place.get(), bytes, kRaw);
    FUZZ_CHECK(varo_uuid_generate_v8_on_buf(in_place.get(),
                                            reinterpret_cast<char *>(in_place.get())) == 0);
    FUZZ_CHECK(reinterpret_cast<char *>(in_place.get()) == want_v8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const unsigned char fill = size != 0 ? static_cast<unsigned char>(data[0] ^ 0xA5) : 0x5A;
    for (const bool wide : {true, false}) {
        if (!wide) varo::fault::arm(varo::fault::Site::avx2, 0, INT_MAX);
        check_text(data, size, fill);
        check_bytes(data, size, fill);
        varo::fault::disarm_all();
    }
    return 0;
}
