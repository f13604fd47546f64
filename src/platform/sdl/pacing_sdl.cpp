// Frames paced to the display's refresh by sleeping, where no vertical sync
// paces the swaps.
#include <chrono>
#include <thread>

#include "platform/sdl/backend_sdl.h"

namespace platform::sdl {
namespace {

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The display's refresh period for the window, 60 Hz where it is unknown.
std::int64_t refreshPeriodNs(SDL_Window* window) {
    SDL_DisplayMode mode{};
    int hz = SDL_GetWindowDisplayMode(window, &mode) == 0 ? mode.refresh_rate : 0;
    if (hz <= 0) {
        int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0) hz = mode.refresh_rate;
    }
    if (hz <= 0 || hz > 1000) hz = 60;
    return 1000000000LL / hz;
}

}  // namespace

// A frame that comes late starts a new cadence instead of hurrying the ones
// after it.
void paceSwap(SDL_Window* window) {
    std::int64_t& next = backend().nextSwapNs;
    const std::int64_t period = refreshPeriodNs(window);
    std::int64_t now = steadyNanoseconds();
    if (next > now) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(next - now));
        now = steadyNanoseconds();
    }
    next = (next > 0 && now - next < period) ? next + period : now + period;
}

}  // namespace platform::sdl
