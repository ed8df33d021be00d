// The 16 bytes in RFC 9562's network order, both ways, and version 8, which
// carries a caller's own bytes in that order.
#include "identifier.h"
#include "record.h"

extern "C" {

int varo_uuid_from_rfc_bytes(const unsigned char *rfc, char *buf) noexcept {
    if (rfc == nullptr || buf == nullptr) return -1;
    alignas(16) unsigned char raw[VARO_UUID_RAW_SIZE];
    varo::record::reorder(rfc, raw);
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

int varo_uuid_to_rfc_bytes(const char *text, unsigned char *rfc) noexcept {
    if (text == nullptr || rfc == nullptr) return -1;
    // Decoded straight into the caller's area, which is then reordered
    // where it lies: a refused text leaves it untouched.
    if (!varo::decode_canonical(text, rfc)) return -1;
    varo::record::reorder_in_place(rfc);
    return 0;
}

int varo_uuid_generate_v8_on_buf(const unsigned char *rfc, char *buf) noexcept {
    if (rfc == nullptr || buf == nullptr) return -1;
    alignas(16) unsigned char raw[VARO_UUID_RAW_SIZE];
    varo::record::reorder(rfc, raw);
    // RFC byte 6, the version's, lies at raw byte 7; byte 8 in place.
    raw[7] = static_cast<unsigned char>((raw[7] & 0x0F) | 0x80);
    raw[8] = static_cast<unsigned char>((raw[8] & 0x3F) | 0x80);
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

}  // extern "C"
