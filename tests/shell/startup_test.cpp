// The start-up on data made at test time, with the music on the manual clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

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

// Music that ends within row 0 still plays from row 0; music that ends
// within row 1 never plays a start row of 1. A row is 0.125 s.
TEST(DemoStartup, AStartRowIsPlayedOnlyWhereTheMusicGoesOnPastIt) {
    for (auto [seconds, row, played] : {std::tuple{0.1, 0, true}, std::tuple{0.2, 1, false}}) {
        SCOPED_TRACE(row);
        testsupport::TempDir dir;
        ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {seconds, 120.0, true}));
        auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        audio::selectClock(audio::Clock::Manual);
        loadFailed = false;
        startRow = row;
        EXPECT_EQ(demoStartup(), !played);
        EXPECT_EQ(loadFailed, !played);
        startRow = 0;
        audio::freeOutput();
        std::filesystem::current_path(previous);
    }
}

}  // namespace
