// The music row and the music clock of MusicSync, on a stream of known length
// whose position the test sets itself.
#include <gtest/gtest.h>

#include <cmath>

#include "support/audiotest.h"
#include "music/musicsync.h"

namespace {

class MusicRowTest : public ::testing::Test {
protected:
    void SetUp() override { audiotest::useClock(audio::Clock::Manual); }
    void TearDown() override { audio::freeOutput(); }

    // A silent stream of 60 s at `rate`, placed at `frame`.
    void at(std::uint64_t frame, std::uint32_t rate = 48000) {
        if (!ms.stream || rate != currentRate) {
            ms.stream = audio::createBlankStream(rate, 2, 60ull * rate);
            ms.streamOpen = true;
            currentRate = rate;
            startPlayback(ms);
        }
        ASSERT_TRUE(audio::setPosition(ms.stream, frame * 8));
    }

    MusicSync ms;
    std::uint32_t currentRate = 0;
};

TEST_F(MusicRowTest, QuarterBeatsAt120BpmFromTheStart) {
    at(0);
    EXPECT_EQ(musicRow(ms), 0);
    at(5999);  // just below 0.125 s
    EXPECT_EQ(musicRow(ms), 0);
    at(6000);  // 0.125 s
    EXPECT_EQ(musicRow(ms), 1);
    at(480000);  // 10.0 s
    EXPECT_EQ(musicRow(ms), 80);
}

TEST_F(MusicRowTest, RowZeroReachesOneRowBeforeTheOffset) {
    ms.file.offset = 1.0f;
    at(48000);
    EXPECT_EQ(musicRow(ms), 0);
    at(47999);  // just before the offset
    EXPECT_EQ(musicRow(ms), 0);
    at(42001);  // just less than a row before it
    EXPECT_EQ(musicRow(ms), 0);
    at(42000);  // a whole row before it
    EXPECT_EQ(musicRow(ms), -1);
    at(24000);  // 0.5 s
    EXPECT_EQ(musicRow(ms), -4);
    at(0);
    EXPECT_EQ(musicRow(ms), -8);
    at(48000 + 6000);
    EXPECT_EQ(musicRow(ms), 1);
}

// Positions whose row lies just below a whole number in double precision:
// rounding to float first lifts them onto it.
TEST_F(MusicRowTest, RoundsToFloatBeforeTruncating) {
    struct Case {
        float bpm, offset;
        std::uint64_t frame;
        std::int32_t row;
    };
    const Case cases[] = {{125.0f, 0.0f, 5292, 1}, {125.0f, 0.0f, 10584, 2}, {120.0f, 0.1f, 15435, 2}};
    for (const Case& c : cases) {
        ms.file.bpm = c.bpm;
        ms.file.offset = c.offset;
        at(c.frame, 44100);
        float s = musicSeconds(ms);
        double x = (static_cast<double>(s) - c.offset) * c.bpm / 60.0 * 4.0;
        ASSERT_LT(x, c.row) << "frame " << c.frame << " no longer lies below the row";
        EXPECT_EQ(musicRow(ms), c.row) << "frame " << c.frame;
    }
}

TEST_F(MusicRowTest, SecondsAreTheQueriedPositionRoundedToFloat) {
    at(5292, 44100);
    EXPECT_EQ(musicSeconds(ms), static_cast<float>(5292.0 / 44100.0));
    at(44100 * 59, 44100);
    EXPECT_EQ(musicSeconds(ms), 59.0f);
}

// Nothing is cached: each query sees the position of the moment.
TEST_F(MusicRowTest, EveryQueryAsksAfresh) {
    at(6000);
    EXPECT_EQ(musicRow(ms), 1);
    audio::setPosition(ms.stream, 12000 * 8);
    EXPECT_EQ(musicRow(ms), 2);
    EXPECT_EQ(musicSeconds(ms), 0.25f);
}

TEST_F(MusicRowTest, SeekLandsOnTheStartRowPosition) {
    at(0);
    ms.file.bpm = 130.0f;
    // The start-up's target for row 64: (60 / bpm) x (64 x 0.25) + offset.
    float target = static_cast<float>(static_cast<float>(60.0 / ms.file.bpm) * 16.0f + ms.file.offset);
    seekToSeconds(target, ms);
    EXPECT_EQ(audio::position(ms.stream), audio::secondsToBytes(ms.stream, target));
    EXPECT_LE(musicSeconds(ms), target);
    EXPECT_GT(musicSeconds(ms), target - 1.0f / 48000.0f);
    EXPECT_EQ(musicRow(ms), 63) << "just below the row, the seek rounds down to a frame";
}

// Rows beyond 32 bits saturate; the largest float below 2^31 is still a row.
TEST_F(MusicRowTest, RowsOutsideThirtyTwoBitsSaturate) {
    at(0);
    ms.file.offset = -268435440.0f;  // x = 2^31 - 128, a float
    EXPECT_EQ(musicRow(ms), 2147483520);
    ms.file.offset = -3.0e8f;
    EXPECT_EQ(musicRow(ms), 2147483647);
    ms.file.offset = 3.0e8f;
    EXPECT_EQ(musicRow(ms), -2147483647 - 1);
    ms.file.offset = 0.0f;
    ms.file.bpm = std::nanf("");
    EXPECT_EQ(musicRow(ms), 0);
}

TEST_F(MusicRowTest, NoStreamIsRowZero) {
    EXPECT_EQ(musicSeconds(ms), 0.0f);
    EXPECT_EQ(musicRow(ms), 0);
    ms.file.offset = 2.0f;
    EXPECT_EQ(musicRow(ms), -16);
}

}  // namespace
