// Test builds only (VARO_UUID_FAULT_INJECTION): drives the clocks behind
// varo::v7::next_ticks(). The shipped library has none of this.
#ifndef VARO_UUID_V7_CLOCK_TESTING_H
#define VARO_UUID_V7_CLOCK_TESTING_H

#include <cstdint>

namespace varo::v7::testing {

// From now on CLOCK_MONOTONIC reads `mono_ns` and CLOCK_REALTIME `real_ns`
// (nanoseconds) plus `real_s` seconds, until the next call or
// use_system_clocks(). The seconds reach times that 64-bit nanoseconds do
// not (past 2262).
void set_clocks(std::int64_t mono_ns, std::int64_t real_ns, std::int64_t real_s = 0) noexcept;
void use_system_clocks() noexcept;

// Forgets the offset (the next generation measures it again, as the first
// one of a process does) and this thread's last timestamp.
void reset() noexcept;

// Forgets the offset but not the deadline of the next measure, as a thread
// sees it while another makes the first measure.
void forget_offset() noexcept;

}  // namespace varo::v7::testing

#endif  // VARO_UUID_V7_CLOCK_TESTING_H
