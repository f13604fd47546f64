// The three clocks behind the stream position: manual, silent and device.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/audiobackend.h"
#include "support/audiotest.h"
#include "support/loadmessages.h"

namespace {

using Steady = std::chrono::steady_clock;

double since(Steady::time_point t) { return std::chrono::duration<double>(Steady::now() - t).count(); }

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

class ClockTest : public ::testing::Test {
protected:
    void TearDown() override { audio::freeOutput(); }
    static double seconds(audio::StreamHandle h) { return audio::bytesToSeconds(h, audio::position(h)); }
};

TEST_F(ClockTest, ManualClockIsExactlyWhatWasSet) {
    audiotest::useClock(audio::Clock::Manual);
    EXPECT_EQ(audio::activeClock(), audio::Clock::Manual);
    audio::StreamHandle h = audio::createBlankStream(44100, 2, 44100 * 10);
    audio::playChannel(h, true);
    EXPECT_EQ(audio::position(h), 0u);
    sleepSeconds(0.05);
    EXPECT_EQ(audio::position(h), 0u) << "the manual clock moved by itself";
    for (std::uint64_t frame : {123456ull, 7ull, 441000ull}) {
        audio::setPosition(h, frame * 8);
        EXPECT_EQ(audio::position(h), frame * 8);
    }
    EXPECT_TRUE(audio::hasEnded(h));
}

TEST_F(ClockTest, SilentClockWarnsOnceAndFollowsWallTime) {
    testsupport::watchLoadMessages();
    audiotest::useClock(audio::Clock::Silent);
    std::string err = testsupport::loadMessagesPrintedAs("tarnwick");
    EXPECT_EQ(audio::activeClock(), audio::Clock::Silent);
    EXPECT_EQ(err.rfind("tarnwick: no audio output (", 0), 0u) << err;
    EXPECT_NE(err.find("playing silently\n"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    if (audiotest::toneFiles().empty()) GTEST_SKIP() << "no MP3 encoder";
    std::string why;
    audio::StreamHandle h = audio::createFileStream(audiotest::toneFiles().front().path, why);
    ASSERT_NE(h, 0u);
    // The clock starts somewhere between the two readings around the call,
    // and is read somewhere between the two around the query.
    auto expectElapsed = [&](double from, Steady::time_point startedBefore, Steady::time_point startedAfter,
                             double duration, double tolerance) {
        sleepSeconds(duration);
        double least = since(startedAfter);
        double p = seconds(h);
        double most = since(startedBefore);
        EXPECT_GE(p - from, least * (1 - tolerance));
        EXPECT_LE(p - from, most * (1 + tolerance));
    };
    auto before = Steady::now();
    audio::playChannel(h, true);
    expectElapsed(0.0, before, Steady::now(), 0.6, 0.02);

    // Stopping freezes it; playing on continues from there.
    audio::stopChannel(h);
    double stopped = seconds(h);
    sleepSeconds(0.1);
    EXPECT_EQ(seconds(h), stopped);
    before = Steady::now();
    audio::playChannel(h, false);
    expectElapsed(stopped, before, Steady::now(), 0.2, 0.02);

    // A seek moves the base; the clock runs on from there.
    before = Steady::now();
    audio::setPosition(h, audio::secondsToBytes(h, 2.0));
    expectElapsed(2.0, before, Steady::now(), 0.3, 0.02);
    // At the end it stays at the length.
    sleepSeconds(1.1);
    EXPECT_EQ(audio::position(h), audio::length(h));
    EXPECT_TRUE(audio::hasEnded(h));
}

class DeviceClockTest : public ClockTest {
protected:
    void SetUp() override {
        audiotest::useClock(audio::Clock::Device);
        if (audio::activeClock() != audio::Clock::Device) GTEST_SKIP() << "no audio device, not even SDL's dummy";
        if (audiotest::longTone().empty()) GTEST_SKIP() << "no MP3 encoder";
    }
};

// Sampled every 0.2 ms for 5 s: the position never goes back, moves at most
// a millisecond further than the time between two queries allows (its rate
// is steered by at most 5 %), and keeps pace with the wall clock.
TEST_F(DeviceClockTest, SmoothMonotonicAndOnTime) {
    std::string why;
    audio::StreamHandle h = audio::createFileStream(audiotest::longTone(), why);
    ASSERT_NE(h, 0u) << why;
    audio::setVolume(h, 1.0f);
    audio::playChannel(h, true);

    auto start = Steady::now();
    double previous = seconds(h), previousBefore = 0;
    EXPECT_LT(previous, 0.001);
    double worstStep = 0, minOffset = 1e9, maxOffset = -1e9;
    int backwards = 0;
    while (true) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        // The query happens somewhere between these two readings.
        double before = since(start);
        double p = seconds(h);
        double after = since(start);
        if (p < previous) ++backwards;
        worstStep = std::max(worstStep, (p - previous) - 1.05 * (after - previousBefore));
        // Once sound is heard, position minus wall time must stay put.
        if (before > 0.3) {
            minOffset = std::min(minOffset, p - after);
            maxOffset = std::max(maxOffset, p - before);
        }
        previous = p;
        previousBefore = before;
        if (before > 5.3) break;
    }
    std::printf("device clock: worst step beyond elapsed time %.3f ms, offset band %.3f ms (%.1f .. %.1f ms)\n",
                worstStep * 1e3, (maxOffset - minOffset) * 1e3, minOffset * 1e3, maxOffset * 1e3);
    EXPECT_EQ(backwards, 0);
    EXPECT_LE(worstStep, 0.001);
    // Bounds that a clock at the wrong rate (44.1 kHz taken for 48, 8 %)
    // breaks at once, and that a busy machine delaying the audio thread does not.
    EXPECT_LE(maxOffset - minOffset, 0.1) << "drifted from wall time by " << (maxOffset - minOffset) << " s";
    // What is heard lags what was handed over by about one device buffer.
    EXPECT_LT(maxOffset, 0.0);
    EXPECT_GT(minOffset, -0.3);
}

TEST_F(DeviceClockTest, SeekStopAndEnd) {
    std::string why;
    audio::StreamHandle h = audio::createFileStream(audiotest::longTone(), why);
    ASSERT_NE(h, 0u);
    audio::playChannel(h, true);
    sleepSeconds(0.2);
    std::uint64_t target = audio::secondsToBytes(h, 6.5);
    auto seeked = Steady::now();
    audio::setPosition(h, target);
    EXPECT_EQ(audio::position(h), target) << "a seek lands on its target at once";
    sleepSeconds(0.2);
    EXPECT_GT(audio::position(h), target);
    EXPECT_LE(seconds(h), 6.5 + since(seeked) * 1.05 + 0.01) << "it runs on from the target, not from further on";

    audio::stopChannel(h);
    std::uint64_t stopped = audio::position(h);
    sleepSeconds(0.1);
    EXPECT_EQ(audio::position(h), stopped);
    audio::playChannel(h, false);
    EXPECT_EQ(audio::position(h), stopped);
    sleepSeconds(0.75);
    EXPECT_EQ(audio::position(h), audio::length(h)) << "a played stream stays at its end";
    EXPECT_TRUE(audio::hasEnded(h));
    sleepSeconds(0.05);
    EXPECT_EQ(audio::position(h), audio::length(h));

    // Restart plays it from the beginning again.
    auto restarted = Steady::now();
    audio::playChannel(h, true);
    EXPECT_FALSE(audio::hasEnded(h));
    EXPECT_LE(seconds(h), since(restarted) * 1.05 + 0.01);
}

// A stream at another rate than the device's (48 kHz) plays at its own rate.
TEST_F(DeviceClockTest, StreamsAtOtherRatesKeepTheirOwnTime) {
    if (audiotest::toneFiles().empty()) GTEST_SKIP();
    for (const auto& f : audiotest::toneFiles()) {
        if (f.rate != 44100 || f.channels != 1) continue;
        std::string why;
        audio::StreamHandle h = audio::createFileStream(f.path, why);
        ASSERT_NE(h, 0u);
        audio::playChannel(h, true);
        sleepSeconds(0.3);
        auto start = Steady::now();
        double from = seconds(h);
        sleepSeconds(1.0);
        // Played at 48 kHz it would gain 88 ms in this second.
        EXPECT_NEAR(seconds(h) - from, since(start), 0.05);
        audio::freeStream(h);
    }
}

// An output that turns out to play nothing hands the run to the Silent clock
// where it stands: no jump back to where the stream started, none forward,
// and the silent clock runs on from there; only the Device clock falls back.
TEST_F(DeviceClockTest, FallingBackToSilentGoesOnFromWhereItIsHeard) {
    std::string why;
    audio::StreamHandle h = audio::createFileStream(audiotest::longTone(), why);
    ASSERT_NE(h, 0u) << why;
    audio::playChannel(h, true);
    sleepSeconds(0.5);
    const double heard = seconds(h);
    ASSERT_GT(heard, 0.2);
    audio::fallBackToSilent();
    EXPECT_EQ(audio::activeClock(), audio::Clock::Silent);
    EXPECT_NEAR(seconds(h), heard, 0.02);
    auto start = Steady::now();
    sleepSeconds(0.3);
    EXPECT_NEAR(seconds(h) - heard, since(start), 0.05);
    audio::fallBackToSilent();
    EXPECT_EQ(audio::activeClock(), audio::Clock::Silent);

    audiotest::useClock(audio::Clock::Manual);
    audio::fallBackToSilent();
    EXPECT_EQ(audio::activeClock(), audio::Clock::Manual);
}

TEST_F(DeviceClockTest, StopAndFreeOutputAreSafeInAnyOrder) {
    std::string why;
    audio::StreamHandle h = audio::createFileStream(audiotest::longTone(), why);
    audio::playChannel(h, true);
    sleepSeconds(0.1);
    EXPECT_TRUE(audio::stopOutput());
    std::uint64_t p = audio::position(h);
    sleepSeconds(0.05);
    EXPECT_EQ(audio::position(h), p) << "stopping the output stops its streams";
    EXPECT_TRUE(audio::freeOutput());
    // As at process exit: the stream's stop and free come after the output is gone.
    EXPECT_FALSE(audio::stopChannel(h));
    EXPECT_FALSE(audio::freeStream(h));
    EXPECT_FALSE(audio::stopOutput());
    EXPECT_FALSE(audio::freeOutput());
}

}  // namespace
