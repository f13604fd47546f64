#pragma once
// The system's own clocks behind the performance counter (counter.cpp), one
// set per platform back end: SDL's counter and the steady clock on the
// desktop, performance.now() in a browser. Only the platform layer uses it.
#include <cstdint>

namespace platform::systemclock {

std::uint64_t counterFrequency();  // 0 when there is no counter
std::int64_t counterValue();
std::int64_t monotonicNanoseconds();

}  // namespace platform::systemclock
