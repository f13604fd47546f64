#pragma once
// The performance counter and a monotonic clock, the same for every backend
// (counter.cpp), over the system's own clocks (systemclock.h).
#include <cstdint>

namespace platform {

// High-resolution counter. A frequency of 0 means there is none. Tests may
// replace the counter by a manual one.
std::uint64_t counterFrequency();
std::int64_t counterValue();
void useManualCounter(std::uint64_t frequency, std::int64_t value);
void setManualCounter(std::int64_t value);
void useSystemCounter();
// A monotonic clock in nanoseconds, for when there is no counter. Follows the
// manual counter's value (as nanoseconds) while one is in use.
std::int64_t monotonicNanoseconds();

}  // namespace platform
