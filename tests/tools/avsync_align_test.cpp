// The sync measurement's alignment: a recording that holds the music late
// by a known lag (with a gap where playback stalled) gives back that lag, and
// frames whose shown position is known give back their offset.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "align.h"

namespace {

constexpr double kRate = 8000;

// Noise bursts at irregular times: accents to align on.
std::vector<float> music(std::size_t frames) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    std::vector<float> m(frames, 0.0f);
    std::size_t at = 100;
    while (at < frames) {
        for (std::size_t i = at; i < std::min(frames, at + 400); ++i) m[i] = noise(rng) * std::exp(-static_cast<float>(i - at) / 150.0f);
        at += 700 + rng() % 1500;
    }
    return m;
}

TEST(AvsyncAlignTest, FindsTheLagAndEachFramesOffset) {
    const std::vector<float> m = music(static_cast<std::size_t>(kRate * 12));
    // The recording: 0.5 s of silence, the music from its start, and 300 ms
    // of silence after 5 s of music (a stall), then the rest.
    const long lead = 4000, stallAt = 40000, stall = 2400;
    std::vector<float> rec(static_cast<std::size_t>(lead), 0.0f);
    rec.insert(rec.end(), m.begin(), m.begin() + stallAt);
    rec.insert(rec.end(), static_cast<std::size_t>(stall), 0.0f);
    rec.insert(rec.end(), m.begin() + stallAt, m.end());

    // Recording frame n played at 1 s + n / rate; stamps with a burst of
    // wrong ones at the start, as right after connecting.
    std::vector<avsync::Stamp> stamps;
    for (double n = 40; n < rec.size(); n += 40) stamps.push_back({n, 1e9 + n / kRate * 1e9 + (n < 400 ? -3e8 : 0)});
    double a = 0, b = 0;
    ASSERT_TRUE(avsync::fitClock(stamps, kRate, a, b));
    EXPECT_NEAR(a, 1e9, 1e3);
    EXPECT_NEAR(b, 1e9 / kRate, 1e-3);

    const std::size_t window = static_cast<std::size_t>(kRate);
    const auto windows = avsync::alignWindows(rec, m, lead + 100, static_cast<std::size_t>(kRate), window, 0.5);
    ASSERT_GE(windows.size(), 10u);
    for (const auto& w : windows) {
        const double expected = w.centre < lead + stallAt ? lead : lead + stall;
        if (std::fabs(w.centre - (lead + stallAt)) < window) continue;  // straddles the stall
        EXPECT_EQ(w.lag, expected) << "window at " << w.centre;
    }

    // Frames that show what is heard, 20 ms ahead, and 50 ms behind.
    struct Case {
        double heardAt, shift, expectedMs;
    } cases[] = {{2.0, 0.0, 0.0}, {3.0, 0.020, 20.0}, {9.0, -0.050, -50.0}};
    for (const Case& c : cases) {
        // The music frame c.heardAt is in the recording at lead (+ stall after it).
        const double musicFrame = c.heardAt * kRate;
        const double recFrame = musicFrame + lead + (musicFrame >= stallAt ? stall : 0);
        const avsync::FrameRecord frame{1e9 + recFrame / kRate * 1e9, c.heardAt + c.shift};
        const auto offsets = avsync::offsetsMs({frame}, windows, a, b, kRate, window);
        ASSERT_EQ(offsets.size(), 1u) << c.heardAt;
        EXPECT_NEAR(offsets[0], c.expectedMs, 0.5) << c.heardAt;
    }
}

TEST(AvsyncAlignTest, SummaryPercentiles) {
    std::vector<double> values;
    for (int i = 1; i <= 100; ++i) values.push_back(i);
    const avsync::Figures f = avsync::summarise(values);
    EXPECT_EQ(f.frames, 100u);
    EXPECT_EQ(f.median, 50);
    EXPECT_EQ(f.p5, 5);
    EXPECT_EQ(f.p95, 95);
    EXPECT_EQ(avsync::summarise({}).frames, 0u);
}

}  // namespace
