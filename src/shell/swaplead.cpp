#include "shell/swaplead.h"

#include <algorithm>

namespace {
// A frame slower than this is a stall, not the demo's usual pace.
constexpr double kLongest = 0.05;
// The weight of each new frame: about the last 20 frames count.
constexpr double kWeight = 0.05;
}  // namespace

void SwapLead::add(double seconds) {
    if (!(seconds >= 0)) return;
    seconds = std::min(seconds, kLongest);
    if (!started_) {
        estimate_ = seconds;
        started_ = true;
        return;
    }
    estimate_ += (seconds - estimate_) * kWeight;
}
