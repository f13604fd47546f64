#pragma once
// Frame timing and the statistics line in the window title.
#include <cstdint>

#include "scenes/framedelta.h"

struct FrameTimer {
    std::int32_t ticksPerMs = 0;
    std::int64_t accumulatedTicks = 0;
    std::int64_t lastCounter = 0;
    double elapsedMs = 0.0;
    double deltaMs = 0.0;
    // Set when there is no usable performance counter: the timer then runs on
    // a monotonic clock in nanoseconds instead.
    bool monotonicFallback = false;
};

extern FrameTimer frameTimer;

// Frame statistics, updated at the start of every drawn frame (frameDeltaMs,
// the one the scenes read, is declared with them).
extern double frameElapsedMs;
extern std::int32_t framesSinceTitle;
extern std::int32_t totalFrames;
extern std::int32_t lastTitleSecond;
inline constexpr int titleTextSize = 200;
extern char titleText[titleTextSize];

// False when there is no performance counter (the timer then falls back to a
// monotonic clock and still yields milliseconds).
bool startFrameTimer(FrameTimer& timer = frameTimer);
void tickFrameTimer(FrameTimer& timer = frameTimer);
// Moves the timer on by exactly `deltaMs`, without reading any clock.
void stepFrameTimer(double deltaMs, FrameTimer& timer = frameTimer);
// Puts the timer at the music position `seconds` (as milliseconds), without
// letting the jump enter the next frame delta.
void rebaseFrameTimer(float seconds, FrameTimer& timer = frameTimer);

// Copies the timer into the frame statistics and counts the frame.
void recordFrameStatistics(const FrameTimer& timer = frameTimer);
// Formats the title on the first frame of each new elapsed second; returns
// true when it did (the caller then shows titleText).
bool updateTitleText();

// Puts every statistic back to its start value (tests).
void resetFrameStatistics();
