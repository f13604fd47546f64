// The heard position from what was written and the latency the output
// reports, with the user's offset: the arithmetic that a sound server's
// reports feed, here with stubbed reports.
#include <gtest/gtest.h>

#include <vector>

#include "platform/outputclock.h"

namespace {

using audio::outputclock::heardFrame;
using audio::outputclock::reportedFrame;

TEST(OutputClockTest, HeardIsWrittenLessLatencyAndOffset) {
    struct Case {
        double written, latency, offset, rate, heard;
    } cases[] = {
        {44100, 0.0, 0.0, 44100, 44100},        // nothing held: heard as written
        {44100, 0.060, 0.0, 44100, 41454},      // 60 ms in the server's buffers
        {48000, 0.210, 0.0, 48000, 37920},      // a headset's 210 ms
        {44100, 0.060, 0.100, 44100, 37044},    // sound late by a further 100 ms: an earlier picture
        {44100, 0.060, -0.040, 44100, 43218},   // sound early: a later picture
        {1000, 0.5, 0.0, 1000, 500},            // the rate scales the latency
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(heardFrame(c.written, c.latency, c.offset, c.rate), c.heard, 1e-6)
            << "written " << c.written << ", latency " << c.latency << ", offset " << c.offset;
    }
}

TEST(OutputClockTest, ReportedPositionNeverGoesBackWhileTheLatencyChanges) {
    // Every 10 ms another 441 frames are written; the latency the server
    // reports jumps from 60 ms to 210 ms (a headset) and back.
    const double rate = 44100;
    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) latencies.push_back(i < 30 ? 0.060 : i < 70 ? 0.210 : 0.060);
    double written = 0, last = 0, held = 0;
    for (std::size_t i = 0; i < latencies.size(); ++i) {
        written += 441;
        const double heard = heardFrame(written, latencies[i], 0.0, rate);
        const double p = reportedFrame(heard, 0.0, last, 1e9);
        ASSERT_GE(p, last) << "went back at step " << i;
        if (p > heard) held += 1;  // the picture waits for the sound
        else EXPECT_EQ(p, heard) << "not the heard position at step " << i;
        last = p;
    }
    // The 150 ms more latency holds the picture for about 150 ms (15 steps).
    EXPECT_GE(held, 14);
    EXPECT_LE(held, 30);  // the start's own 60 ms as well
    EXPECT_NEAR(last, written - 0.060 * rate, 1e-6) << "not back on the sound after the latency fell";
}

TEST(OutputClockTest, ReportedPositionStaysWithinTheStream) {
    struct Case {
        double heard, start, last, end, reported;
    } cases[] = {
        {-500, 1000, 1000, 5000, 1000},  // before the restart point: held there
        {3000, 1000, 3500, 5000, 3500},  // below the last report: held there
        {6000, 0, 0, 5000, 5000},        // past the end: the end
        {2500, 1000, 2000, 5000, 2500},  // in between: as heard
        {999.5, 1000, 0, 5000, 1000},    // half a frame short of either is short all the same
        {1999.5, 0, 2000, 5000, 2000},
    };
    for (const Case& c : cases) EXPECT_EQ(reportedFrame(c.heard, c.start, c.last, c.end), c.reported) << c.heard;
}

}  // namespace
