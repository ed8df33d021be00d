// XDR routines of varo_uuid_t.
//
// The input as wire bytes: through xdr_decode_varo_uuid_t, and through the
// filters on libtirpc memory streams (as many identifiers as it holds,
// decoded, encoded again byte for byte, released). The input as a
// NUL-terminated text: through xdr_encode_varo_uuid_t, which writes 16 bytes
// only for a text that decodes to exactly 16 and otherwise leaves the
// buffer untouched.
#include <rpc/xdr.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base64.h"
#include "platform/allocators.h"
#include "platform/allocators_testing.h"
#include "support.h"
#include "varo_uuid.h"

namespace {

constexpr std::size_t kRaw = VARO_UUID_RAW_SIZE;

// Stands in for an earlier value of a varo_uuid_t: decoding overwrites it.
char g_stale[VARO_UUID_TEXT_SIZE] = "stale";

std::string text_of(const unsigned char *raw) {
    return ref::encode(raw, kRaw, BASE64_ALPHABET_PATHSAFE);
}

void check_buffer_decode(const unsigned char *buf, std::size_t size) {
    varo_uuid_t id = g_stale;
    const int got =
        xdr_decode_varo_uuid_t(reinterpret_cast<const char *>(buf), static_cast<int>(size), &id);
    if (size < kRaw) {
        FUZZ_CHECK(got == -1 && id == nullptr);
        return;
    }
    FUZZ_CHECK(got == static_cast<int>(kRaw) && id != nullptr && id != g_stale);
    FUZZ_CHECK(std::strlen(id) == VARO_UUID_TEXT_CHARS && id == text_of(buf));

    // And back to the same 16 bytes through the buffer encoder.
    auto out = ref::heap_area(kRaw, 0);
    FUZZ_CHECK(xdr_encode_varo_uuid_t(&id, reinterpret_cast<char *>(out.get()), kRaw) ==
               static_cast<int>(kRaw));
    FUZZ_CHECK(std::memcmp(out.get(), buf, kRaw) == 0);

    xdr_free_varo_uuid_t(&id);
    FUZZ_CHECK(id == nullptr);
}

// Every whole identifier in the input through one decode stream, one more
// read that must fail, then all of them through an encode stream of exactly
// their size, which must then be full. `heap` is a heap handle from the
// input: handles past the last heap make every decode fail.
void check_streams(unsigned char *buf, std::size_t size, int heap) {
    const std::size_t count = size / kRaw;
    const bool heap_exists = heap < ZONHEAP_HEAPS;
    const unsigned long misuses = varo::platform::allocator_misuses();

    XDR in;
    xdrmem_create(&in, reinterpret_cast<char *>(buf), static_cast<u_int>(size), XDR_DECODE);
    std::vector<varo_uuid_t> ids(count, g_stale);
    for (std::size_t i = 0; i < count; ++i) {
        const bool_t ok = pxdr_varo_uuid_t(&in, &ids[i], heap);
        FUZZ_CHECK(heap_exists ? ok && ids[i] == text_of(buf + i * kRaw) : !ok && !ids[i]);
    }
    if (heap_exists) {
        FUZZ_CHECK(XDR_GETPOS(&in) == count * kRaw);
        varo_uuid_t extra = g_stale;
        FUZZ_CHECK(!pxdr_varo_uuid_t(&in, &extra, heap) && extra == nullptr);
    }
    XDR_DESTROY(&in);
    if (!heap_exists) return;

    auto wire = ref::heap_area(count * kRaw, 0);
    XDR out;
    xdrmem_create(&out, reinterpret_cast<char *>(wire.get()), static_cast<u_int>(count * kRaw),
                  XDR_ENCODE);
    for (varo_uuid_t &id : ids) FUZZ_CHECK(xdr_varo_uuid_t(&out, &id));
    if (count != 0) FUZZ_CHECK(!xdr_varo_uuid_t(&out, &ids[0]));  // no room left
    XDR_DESTROY(&out);
    FUZZ_CHECK(std::memcmp(wire.get(), buf, count * kRaw) == 0);

    XDR release;
    xdrmem_create(&release, nullptr, 0, XDR_FREE);
    for (varo_uuid_t &id : ids) {
        FUZZ_CHECK(pxdr_varo_uuid_t(&release, &id, heap) && id == nullptr);
    }
    FUZZ_CHECK(varo::platform::allocator_misuses() == misuses);
}

// The text into buffers one short of, exactly and four past the wire size.
void check_buffer_encode(const std::uint8_t *data, std::size_t size, unsigned char fill) {
    const auto text = ref::heap_text(data, size);
    const std::size_t chars = ref::unpadded(text.get(), std::strlen(text.get()));
    unsigned char raw[kRaw];
    const bool sendable =
        ref::decoded_size(chars) == kRaw &&
        ref::decode(text.get(), chars, raw, BASE64_ALPHABET_PATHSAFE, ref::Classifier::mixed);

    varo_uuid_t id = text.get();
    for (const std::size_t room : {kRaw - 1, kRaw, kRaw + 4}) {
        auto buf = ref::heap_area(room, fill);
        auto expected = ref::heap_area(room, fill);
        const bool fits = sendable && room >= kRaw;
        if (fits) std::memcpy(expected.get(), raw, kRaw);

        const int got = xdr_encode_varo_uuid_t(&id, reinterpret_cast<char *>(buf.get()),
                                               static_cast<int>(room));
        FUZZ_CHECK(got == (fits ? static_cast<int>(kRaw) : -1));
        FUZZ_CHECK(std::memcmp(buf.get(), expected.get(), room) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > INT_MAX / 2) return 0;
    auto buf = ref::heap_area(size, 0);
    if (size != 0) std::memcpy(buf.get(), data, size);
    const unsigned char fill = size != 0 ? static_cast<unsigned char>(data[0] ^ 0xA5) : 0x5A;
    // Heap handles 0-19: mostly real heaps, some that do not exist.
    const int heap = size != 0 ? data[size - 1] % 20 : 0;

    check_buffer_decode(buf.get(), size);
    check_streams(buf.get(), size, heap);
    check_buffer_encode(data, size, fill);
    return 0;
}
