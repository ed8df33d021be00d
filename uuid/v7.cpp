// Version 7 identifiers: a timestamp of this thread (v7_clock.h) laid over
// 16 fresh bytes from the kernel.
//
// The GUID record, first three fields little-endian, so that its RFC form
// reads in field order:
//   Data1 (r0-r3)  unix_ts_ms >> 16
//   Data2 (r4-r5)  unix_ts_ms & 0xFFFF
//   Data3 (r6-r7)  version 0111, then the 12 high bits of the 18-bit
//                  fraction of the millisecond
//   r8             variant 10, then the 6 low bits of the fraction
//   r9-r15         56 bits from the kernel, fresh for every identifier
#include <cstdint>

#include "identifier.h"
#include "platform/random/random.h"
#include "record.h"
#include "v7_clock.h"

namespace {

constexpr std::uint64_t kMsMask = (std::uint64_t{1} << 48) - 1;

// Writes a version 7 GUID record to `raw`. Returns false when the kernel
// source fails (no timestamp is spent then) or the clock is past the end
// of its range.
bool make_v7(unsigned char *raw) noexcept {
    if (!varo::platform::random16(raw)) return false;
    const std::uint64_t ticks = varo::v7::next_ticks();
    if (ticks == varo::v7::kNoTicks) [[unlikely]]
        return false;
    const std::uint64_t ms = ticks >> varo::v7::kFractionBits & kMsMask;
    const std::uint64_t fraction = ticks & (varo::v7::kTicksPerMs - 1);
    const std::uint64_t fields = (ms >> 16) | (ms & 0xFFFF) << 32 | (0x7000 | fraction >> 6) << 48;
    // r8 is the variant and the 6 low bits of the fraction, whole.
    varo::record::finish_time_record(raw, fields, ~std::uint64_t{0xFF}, 0x80 | (fraction & 0x3F));
    return true;
}

}  // namespace

extern "C" {

int varo_uuid_generate_v7_on_buf(char *buf) noexcept {
    if (buf == nullptr) return -1;
    alignas(8) unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!make_v7(raw)) return -1;
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

char *varo_uuid_generate_v7_alloc(void) noexcept {
    return varo::alloc_text(varo_uuid_generate_v7_on_buf);
}

}  // extern "C"
