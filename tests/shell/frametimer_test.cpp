#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "platform/counter.h"

#include "shell/frametimer.h"

namespace {

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override { resetFrameStatistics(); }
    void TearDown() override { platform::useSystemCounter(); }
};

TEST_F(FrameTimerTest, TicksPerMillisecondAreTruncatedAndDeltasComeFromTheAccumulatedCount) {
    platform::useManualCounter(3579545, 1000);
    FrameTimer timer;
    EXPECT_TRUE(startFrameTimer(timer));
    EXPECT_EQ(timer.ticksPerMs, 3579);
    EXPECT_EQ(timer.lastCounter, 1000);

    platform::setManualCounter(1000 + 3579 * 16);
    tickFrameTimer(timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 16.0);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 16.0);

    // A re-base of the accumulated count enters the next delta.
    timer.accumulatedTicks += 3579 * 100;
    platform::setManualCounter(1000 + 3579 * 32);
    tickFrameTimer(timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 132.0);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 116.0);

    // A pause (no ticks for 5 s) enters the next delta whole.
    platform::setManualCounter(1000 + 3579 * 5032);
    tickFrameTimer(timer);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 5000.0);

    // A 1 kHz counter, one tick a millisecond, is kept from frame to frame.
    platform::useManualCounter(1000, 0);
    EXPECT_TRUE(startFrameTimer(timer));
    for (int ms : {16, 32}) {
        platform::setManualCounter(ms);
        tickFrameTimer(timer);
    }
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 32.0);
    // Stepped by given deltas (the capture's frames), it adds them up.
    for (int k = 0; k < 2; ++k) stepFrameTimer(12.5, timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 57.0);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 12.5);
}

TEST_F(FrameTimerTest, WithoutACounterTheTimerRunsOnAMonotonicClock) {
    platform::useManualCounter(0, 0);  // no performance counter
    FrameTimer timer;
    EXPECT_FALSE(startFrameTimer(timer));
    EXPECT_TRUE(timer.monotonicFallback);
    platform::setManualCounter(25'000'000);  // nanoseconds on the fallback clock
    tickFrameTimer(timer);
    EXPECT_TRUE(std::isfinite(timer.elapsedMs));
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 25.0);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 25.0);

    // A counter too slow to give a tick per millisecond is no counter either.
    platform::useManualCounter(999, 0);
    EXPECT_FALSE(startFrameTimer(timer));
    platform::setManualCounter(2'000'000);
    tickFrameTimer(timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 2.0);

    // Nor is one whose ticks per millisecond do not fit 31 bits.
    for (auto [frequency, counts] : {std::pair{2147483648000ull, false}, std::pair{2147483647000ull, true}}) {
        platform::useManualCounter(frequency, 0);
        EXPECT_EQ(startFrameTimer(timer), counts) << frequency;
    }

    // Started again where there is a counter: back on the counter.
    platform::useManualCounter(3579545, 0);
    EXPECT_TRUE(startFrameTimer(timer));
    EXPECT_FALSE(timer.monotonicFallback);
}

TEST_F(FrameTimerTest, ATimerNeverStartedStartsAtItsFirstTickAndAResetClearsEveryFigure) {
    platform::useManualCounter(1000, 5);
    FrameTimer fresh;
    tickFrameTimer(fresh);
    EXPECT_EQ(fresh.ticksPerMs, 1);
    EXPECT_EQ(fresh.elapsedMs, 0.0);
    recordFrameStatistics(fresh);
    framesSinceTitle = totalFrames = 7;
    frameElapsedMs = lastTitleSecond = 3;
    resetFrameStatistics();
    EXPECT_EQ(std::make_tuple(frameElapsedMs, framesSinceTitle, totalFrames, lastTitleSecond, std::string(titleText)),
              std::make_tuple(0.0, 0, 0, -1, std::string()));
}

TEST_F(FrameTimerTest, RebaseOnTheMusicPositionReadsMillisecondsAndSparesTheNextDelta) {
    platform::useManualCounter(1'000'000, 0);
    FrameTimer timer;
    startFrameTimer(timer);
    platform::setManualCounter(1000 * 300);  // 300 ms of start-up
    rebaseFrameTimer(2.5f, timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 2500.0);
    tickFrameTimer(timer);
    EXPECT_DOUBLE_EQ(timer.elapsedMs, 2800.0);
    EXPECT_DOUBLE_EQ(timer.deltaMs, 300.0);  // the start-up, not the jump
    // A position that is no number, or one the counter cannot hold, starts it at 0.
    for (float seconds : {std::nanf(""), INFINITY, 1e13f}) {
        rebaseFrameTimer(seconds, timer);
        EXPECT_EQ(timer.elapsedMs, 0.0) << seconds;
    }
}

TEST_F(FrameTimerTest, TitleIsSetOnTheFirstFrameOfEachNewSecond) {
    FrameTimer timer;
    timer.elapsedMs = 1999.9;
    timer.deltaMs = 16.5;
    recordFrameStatistics(timer);
    ASSERT_TRUE(updateTitleText());
    EXPECT_STREQ(titleText, "Tarnwick - FPS: 1, time 1, Frames: 1, Delta: 16.500000 ms");
    EXPECT_EQ(framesSinceTitle, 0);

    timer.elapsedMs = 1999.99;
    recordFrameStatistics(timer);
    EXPECT_FALSE(updateTitleText());  // still second 1
    timer.elapsedMs = 2000.2;
    recordFrameStatistics(timer);
    ASSERT_TRUE(updateTitleText());
    EXPECT_STREQ(titleText, "Tarnwick - FPS: 2, time 2, Frames: 3, Delta: 16.500000 ms");
    EXPECT_EQ(lastTitleSecond, 2);
    // A time that is no number shows as second 0.
    timer.elapsedMs = std::nan("");
    recordFrameStatistics(timer);
    ASSERT_TRUE(updateTitleText());
    EXPECT_STREQ(titleText, "Tarnwick - FPS: 1, time 0, Frames: 4, Delta: 16.500000 ms");
}

TEST_F(FrameTimerTest, TitleNeverRunsPastItsBuffer) {
    FrameTimer timer;
    timer.elapsedMs = 5000;
    timer.deltaMs = 1e300;  // prints as a 301-digit number
    recordFrameStatistics(timer);
    ASSERT_TRUE(updateTitleText());
    EXPECT_EQ(std::strlen(titleText), size_t(titleTextSize - 1));
    EXPECT_EQ(std::string(titleText).rfind("Tarnwick - FPS: 1, time 5, Frames: 1, Delta: 1000", 0), 0u);
}

}  // namespace
