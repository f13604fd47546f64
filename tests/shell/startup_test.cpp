// The start-up on data made at test time, with the music on the manual clock.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "shell/frametimer.h"
#include "shell/startup.h"
#include "support/demodata.h"
#include "support/support.h"

namespace {

TEST(DemoStartup, PlaysFromTheStartRow) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {40.0, 120.0, true}));
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    audio::selectClock(audio::Clock::Manual);
    loadFailed = false;
    for (int row : {0, 28, 280}) {
        SCOPED_TRACE(row);
        startRow = row;
        resetFrameStatistics();
        startFrameTimer();
        ASSERT_FALSE(demoStartup());
        EXPECT_FALSE(loadFailed);
        // At 120 bpm a row is 0.125 s: the music stands at the start of the row.
        EXPECT_EQ(musicRow(), row);
        EXPECT_NEAR(musicSeconds(), row * 0.125, 1e-4);
        // The frame timer reads the music position, as milliseconds.
        EXPECT_NEAR(frameTimer.elapsedMs, row * 0.125 * 1000, 0.1);
        EXPECT_EQ(audio::volume(musicSync.stream), 1.0f);  // as recorded, never louder
    }
    startRow = 0;
    audio::freeOutput();
    std::filesystem::current_path(previous);
}

TEST(DemoStartup, MusicShorterThanARowStillPlaysFromRow0) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {0.1, 120.0, true}));  // a row is 0.125 s
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    audio::selectClock(audio::Clock::Manual);
    loadFailed = false;
    startRow = 0;
    EXPECT_FALSE(demoStartup());
    EXPECT_FALSE(loadFailed);
    audio::freeOutput();
    std::filesystem::current_path(previous);
}

}  // namespace
