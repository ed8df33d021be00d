// Stand-in for the platform's GUID service.
#ifndef VARO_UUID_PLATFORM_GUID_H
#define VARO_UUID_PLATFORM_GUID_H

#include <cstdint>

extern "C" {

// The platform's GUID record: 16 bytes, its first three fields stored
// little-endian on every host, as the platform lays it out. Read the fields
// through the bytes, not as host integers, on a big-endian host.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID must be 16 bytes");

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// Fills *guid with a fresh random (version 4, RFC 9562 variant) GUID drawn
// from the kernel's CSPRNG (platform/random/random.h says how). Returns S_OK, or
// E_FAIL when the kernel source fails; *guid then holds no GUID.
// Thread-safe, fork-safe, and callable from a signal handler.
HRESULT CoCreateGuid(GUID *guid) noexcept;

}  // extern "C"

#endif  // VARO_UUID_PLATFORM_GUID_H
