#include "shell/frametimer.h"

#include <cmath>
#include <cstdio>

#include "common/saturate.h"
#include "platform/counter.h"

FrameTimer frameTimer;
double frameElapsedMs = 0.0;
std::int32_t framesSinceTitle = 0;
std::int32_t totalFrames = 0;
std::int32_t lastTitleSecond = -1;
char titleText[titleTextSize] = "";

namespace {

std::int64_t readClock(const FrameTimer& timer) {
    return timer.monotonicFallback ? platform::monotonicNanoseconds() : platform::counterValue();
}

}  // namespace

bool startFrameTimer(FrameTimer& timer) {
    timer.elapsedMs = 0.0;
    timer.accumulatedTicks = 0;
    timer.lastCounter = 0;
    std::uint64_t frequency = platform::counterFrequency();
    double perMs = static_cast<double>(frequency) / 1000.0;
    // A counter slower than 1 kHz would give 0 ticks per millisecond: treat it
    // as no counter at all.
    bool haveCounter = frequency != 0 && perMs >= 1.0 && perMs < 2147483648.0;
    timer.monotonicFallback = !haveCounter;
    timer.ticksPerMs = haveCounter ? static_cast<std::int32_t>(perMs) : 1000000;
    timer.lastCounter = readClock(timer);
    return haveCounter;
}

void tickFrameTimer(FrameTimer& timer) {
    if (timer.ticksPerMs <= 0) startFrameTimer(timer);
    std::int64_t now = readClock(timer);
    timer.accumulatedTicks += now - timer.lastCounter;
    timer.lastCounter = now;
    double e = static_cast<double>(timer.accumulatedTicks) / static_cast<double>(timer.ticksPerMs);
    timer.deltaMs = e - timer.elapsedMs;
    timer.elapsedMs = e;
}

void stepFrameTimer(double deltaMs, FrameTimer& timer) {
    timer.deltaMs = deltaMs;
    timer.elapsedMs += deltaMs;
}

void rebaseFrameTimer(float seconds, FrameTimer& timer) {
    double ticks = static_cast<double>(seconds) * 1000.0 * static_cast<double>(timer.ticksPerMs);
    // A position the counter cannot hold leaves the timer at 0.
    if (!std::isfinite(ticks) || std::fabs(ticks) > 9.0e18) ticks = 0.0;
    timer.accumulatedTicks = static_cast<std::int64_t>(ticks);
    timer.elapsedMs = static_cast<double>(timer.accumulatedTicks) / static_cast<double>(timer.ticksPerMs);
}

void recordFrameStatistics(const FrameTimer& timer) {
    frameElapsedMs = timer.elapsedMs;
    framesSinceTitle += 1;
    totalFrames += 1;
    frameDeltaMs = timer.deltaMs;
}

bool updateTitleText() {
    // Cut to whole milliseconds first, then to whole seconds.
    double wholeMs = std::trunc(frameElapsedMs);
    double seconds = std::trunc(wholeMs / 1000.0);
    std::int32_t s = std::isfinite(seconds) ? saturatingInt32(seconds) : 0;
    if (s == lastTitleSecond) return false;
    // Bounded: an over-long title is cut, never written past the buffer.
    std::snprintf(titleText, sizeof titleText, "Tarnwick - FPS: %d, time %d, Frames: %d, Delta: %f ms",
                  framesSinceTitle, s, totalFrames, frameDeltaMs);
    framesSinceTitle = 0;
    lastTitleSecond = s;
    return true;
}

void resetFrameStatistics() {
    frameTimer = FrameTimer{};
    frameDeltaMs = 0.0;
    frameElapsedMs = 0.0;
    framesSinceTitle = 0;
    totalFrames = 0;
    lastTitleSecond = -1;
    titleText[0] = '\0';
}
