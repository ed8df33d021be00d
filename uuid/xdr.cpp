// XDR routines of varo_uuid_t: 16 raw bytes of fixed-length opaque data on
// the wire, a 25-byte text block from the heap-handle allocator in memory.
#include <cstring>

#include "identifier.h"
#include "platform/allocators.h"
#include "platform/pxdr_opaque.h"
#include "varo_uuid.h"

namespace {

// The filter's encode and decode branches. The memory-buffer routines take
// them inline, where a call costs as much as a tenth of the whole; the
// filter calls them, which keeps its free branch short.
[[gnu::always_inline]] inline bool_t encode_inline(XDR *xdrs, const char *text, int heap) noexcept {
    if (text == nullptr) return FALSE;
    // Only a text that stands for exactly 16 bytes is sent: the staging
    // area never goes out partly written or holding older bytes.
    unsigned char staging[VARO_UUID_RAW_SIZE];
    if (!varo::decode_lenient(text, staging)) return FALSE;
    return pxdr_opaque(xdrs, reinterpret_cast<char *>(staging), VARO_UUID_RAW_SIZE, heap) ? TRUE
                                                                                        : FALSE;
}

[[gnu::always_inline]] inline bool_t decode_inline(XDR *xdrs, varo_uuid_t *objp,
                                                   int heap) noexcept {
    *objp = nullptr;
    unsigned char staging[VARO_UUID_RAW_SIZE];
    if (!pxdr_opaque(xdrs, reinterpret_cast<char *>(staging), VARO_UUID_RAW_SIZE, heap)) {
        return FALSE;
    }
    auto *block = static_cast<char *>(zonheap_malloc(heap, VARO_UUID_TEXT_SIZE));
    if (block == nullptr) return FALSE;
    *objp = varo_uuid_from_bytes(staging, block);
    return TRUE;
}

// The free branch: gives the block back to heap `heap`.
bool_t release(varo_uuid_t *objp, int heap) noexcept {
    if (*objp != nullptr) zonheap_free(heap, *objp);
    *objp = nullptr;
    return TRUE;
}

[[gnu::noinline]] bool_t encode(XDR *xdrs, const char *text, int heap) noexcept {
    return encode_inline(xdrs, text, heap);
}

[[gnu::noinline]] bool_t decode(XDR *xdrs, varo_uuid_t *objp, int heap) noexcept {
    return decode_inline(xdrs, objp, heap);
}

}  // namespace

extern "C" {

bool_t pxdr_varo_uuid_t(XDR *xdrs, varo_uuid_t *objp, int heap) noexcept {
    if (xdrs == nullptr || objp == nullptr) return FALSE;
    // C callers may leave any int in the operation field; read it as one,
    // since a value outside the enumeration is not a valid enum in C++.
    int op;
    static_assert(sizeof op == sizeof xdrs->x_op);
    std::memcpy(&op, &xdrs->x_op, sizeof op);
    switch (op) {
        case XDR_ENCODE:
            return encode(xdrs, *objp, heap);
        case XDR_DECODE:
            return decode(xdrs, objp, heap);
        case XDR_FREE:
            return release(objp, heap);
        default:
            return FALSE;
    }
}

bool_t xdr_varo_uuid_t(XDR *xdrs, varo_uuid_t *objp) noexcept {
    return pxdr_varo_uuid_t(xdrs, objp, 0);
}

bool_t pxdr_clone_varo_uuid_t(const varo_uuid_t *src, varo_uuid_t *dst, int heap) noexcept {
    if (src == nullptr || dst == nullptr) return FALSE;
    // Read the source before *dst is written: they may be the same object.
    const char *text = *src;
    if (text == nullptr) {
        *dst = nullptr;
        return TRUE;
    }
    auto *block = static_cast<char *>(zonheap_malloc(heap, VARO_UUID_TEXT_SIZE));
    *dst = block;
    if (block == nullptr) return FALSE;
    // Up to the NUL and at most 24 characters, so a short string is never
    // read past its end; the rest of the block is NUL.
    const std::size_t len = strnlen(text, VARO_UUID_TEXT_CHARS);
    std::memcpy(block, text, len);
    std::memset(block + len, 0, VARO_UUID_TEXT_SIZE - len);
    return TRUE;
}

int xdr_length_of_encoded_varo_uuid_t(const varo_uuid_t *objp) noexcept {
    return objp != nullptr && *objp != nullptr ? VARO_UUID_RAW_SIZE : -1;
}

int xdr_encode_varo_uuid_t(const varo_uuid_t *objp, char *buf, int size) noexcept {
    if (buf == nullptr || size < VARO_UUID_RAW_SIZE) return -1;
    XDR xdrs;
    xdrmem_create(&xdrs, buf, static_cast<u_int>(size), XDR_ENCODE);
    int result = -1;
    // The filter's encode branch, taken directly: the stream was made for
    // encoding just now.
    if (objp != nullptr && encode_inline(&xdrs, *objp, 0)) {
        result = static_cast<int>(XDR_GETPOS(&xdrs));
    }
    XDR_DESTROY(&xdrs);
    return result;
}

int xdr_decode_varo_uuid_t(const char *buf, int size, varo_uuid_t *objp) noexcept {
    if (objp == nullptr) return -1;
    // libtirpc takes the size as unsigned: a negative one would read as a
    // huge buffer.
    if (buf == nullptr || size < 0) {
        *objp = nullptr;
        return -1;
    }
    XDR xdrs;
    // A decode stream only reads from the buffer.
    xdrmem_create(&xdrs, const_cast<char *>(buf), static_cast<u_int>(size), XDR_DECODE);
    int result = -1;
    // The filter's decode branch with heap 0, taken directly.
    if (decode_inline(&xdrs, objp, 0)) result = static_cast<int>(XDR_GETPOS(&xdrs));
    XDR_DESTROY(&xdrs);
    return result;
}

void xdr_free_varo_uuid_t(varo_uuid_t *objp) noexcept {
    if (objp == nullptr) return;
    // What xdr_free(xdr_varo_uuid_t, objp) comes to, without the stream it
    // makes only to carry XDR_FREE: the filter's free branch with heap 0.
    release(objp, 0);
}

}  // extern "C"
