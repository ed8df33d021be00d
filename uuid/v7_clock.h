// Internal: the timestamps of version 7 identifiers, in ticks of 2^-18 ms
// since the Unix epoch (about 3.8 ns), strictly increasing in each thread.
#ifndef VARO_UUID_V7_CLOCK_H
#define VARO_UUID_V7_CLOCK_H

#include <cstdint>

namespace varo::v7 {

// A tick is 2^-18 ms: the 48 bits of milliseconds of the layout sit above
// 18 bits of fraction. The clock computes in signed 64-bit tick counts,
// which hold 45 bits of milliseconds: every timestamp lies below kEndTicks,
// 2^63 - 1 ticks, so in 3084-12-12T12:41:28.831Z at the latest.
constexpr int kFractionBits = 18;
constexpr std::uint64_t kTicksPerMs = std::uint64_t{1} << kFractionBits;
constexpr std::uint64_t kEndTicks = (std::uint64_t{1} << 63) - 1;
// What next_ticks() returns when it has no timestamp; never a timestamp.
constexpr std::uint64_t kNoTicks = 0;

// The next timestamp of this thread: the wall clock, as CLOCK_MONOTONIC
// plus a process-wide offset to CLOCK_REALTIME that is only ever raised, or
// this thread's last timestamp plus one tick, whichever is greater. Takes
// no lock, and is callable from a signal handler.
// Fails only at the end of the range: kNoTicks when that timestamp would
// be kEndTicks or more (a wall clock past 3084-12-12T12:41:28.831Z, or a
// thread that has used the last tick before it). The thread's last timestamp stays
// as it was, so a timestamp is never repeated nor goes back.
std::uint64_t next_ticks() noexcept;

}  // namespace varo::v7

#endif  // VARO_UUID_V7_CLOCK_H
