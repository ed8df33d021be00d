// The GUID service: a version-4 GUID record around 16 fresh random bytes.
#include "platform/guid.h"

#include "platform/fault.h"
#include "platform/random.h"

static_assert(sizeof(GUID) == varo::platform::kRandomDraw);

extern "C" HRESULT CoCreateGuid(GUID *guid) noexcept {
    if (varo::fault::should_fail(varo::fault::Site::guid)) return E_FAIL;
    // Straight into the record, and shaped in place: a copy through a local
    // would load 16 bytes just stored in narrower pieces, which stalls.
    auto *bytes = reinterpret_cast<std::uint8_t *>(guid);
    if (!varo::platform::random16(bytes)) return E_FAIL;
    // RFC 9562 version 4 in the top nibble of Data3, variant 10 in the top
    // bits of Data4[0]. Data3 is little-endian, so its top nibble is byte 7
    // whatever the host's byte order.
    bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return S_OK;
}
