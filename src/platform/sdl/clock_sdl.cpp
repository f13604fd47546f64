// The desktop's clocks behind the performance counter: SDL's counter and the
// steady clock.
#include <SDL.h>

#include <chrono>

#include "platform/systemclock.h"

namespace platform::systemclock {

std::uint64_t counterFrequency() { return SDL_GetPerformanceFrequency(); }
std::int64_t counterValue() { return static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }
std::int64_t monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace platform::systemclock
