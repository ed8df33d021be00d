// Internal: the timestamps of version 7 identifiers, in ticks of 2^-18 ms
// since the Unix epoch (about 3.8 ns), strictly increasing in each thread.
#ifndef VARO_UUID_V7_CLOCK_H
#define VARO_UUID_V7_CLOCK_H

#include <cstdint>

namespace varo::v7 {

// A tick is 2^-18 ms: the 48 bits of milliseconds of the layout sit above
// 18 bits of fraction. A 64-bit tick count holds 46 bits of milliseconds,
// enough until the year 4199.
constexpr int kFractionBits = 18;
constexpr std::uint64_t kTicksPerMs = std::uint64_t{1} << kFractionBits;

// The next timestamp of this thread: the wall clock, as CLOCK_MONOTONIC
// plus a process-wide offset to CLOCK_REALTIME that is only ever raised, or
// this thread's last timestamp plus one tick, whichever is greater. Never
// fails, takes no lock, and is callable from a signal handler.
std::uint64_t next_ticks() noexcept;

}  // namespace varo::v7

#endif  // VARO_UUID_V7_CLOCK_H
