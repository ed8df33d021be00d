// The 16 bytes in RFC 9562's network order, both ways, and version 8, which
// carries a caller's own bytes in that order.
#include <cstdint>
#include <cstring>

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
    alignas(16) unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!varo::decode_canonical(text, raw)) return -1;
    varo::record::reorder(raw, rfc);
    return 0;
}

int varo_uuid_generate_v8_on_buf(const unsigned char *rfc, char *buf) noexcept {
    if (rfc == nullptr || buf == nullptr) return -1;
    alignas(16) unsigned char bytes[VARO_UUID_RAW_SIZE];
    std::memcpy(bytes, rfc, sizeof bytes);
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x80);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    varo::record::reorder(bytes, bytes);
    varo_uuid_from_bytes(bytes, buf);
    return 0;
}

}  // extern "C"
