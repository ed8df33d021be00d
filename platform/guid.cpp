// The GUID service: a version-4 GUID record around 16 fresh random bytes.
#include "platform/guid.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/fault.h"
#include "platform/random/random.h"

static_assert(sizeof(GUID) == varo::platform::kRandomDraw);

extern "C" HRESULT CoCreateGuid(GUID *guid) noexcept {
    if (varo::fault::should_fail(varo::fault::Site::guid)) return E_FAIL;
    // Straight into the record, and shaped there a word at a time: the
    // kernel writes the bytes as 8-byte words, and a load that spans two
    // stores, or a narrower store in the middle of one, stalls.
    auto *bytes = reinterpret_cast<std::uint8_t *>(guid);
    if (!varo::platform::random16(bytes)) return E_FAIL;
    std::uint64_t first, second;
    std::memcpy(&first, bytes, 8);
    std::memcpy(&second, bytes + 8, 8);
    // In general registers: the compiler would otherwise join the two words
    // into one 16-byte load and store.
    __asm__("" : "+r"(first), "+r"(second));
    // RFC 9562 version 4 in the top nibble of Data3, variant 10 in the top
    // bits of Data4[0]. Data3 is little-endian, so its top nibble is byte 7
    // whatever the host's byte order; byte 8 opens the second word.
    constexpr bool little = std::endian::native == std::endian::little;
    constexpr int byte7 = little ? 56 : 0, byte8 = little ? 0 : 56;
    first = (first & ~(std::uint64_t{0xF0} << byte7)) | std::uint64_t{0x40} << byte7;
    second = (second & ~(std::uint64_t{0xC0} << byte8)) | std::uint64_t{0x80} << byte8;
    std::memcpy(bytes, &first, 8);
    std::memcpy(bytes + 8, &second, 8);
    return S_OK;
}
