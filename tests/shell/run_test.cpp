// beginRun: every piece of a run's process-wide state back at its start value.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "scenes/closing_wheels.h"
#include "scenes/opening_squares.h"
#include "shell/frametimer.h"
#include "shell/run.h"
#include "shell/startup.h"
#include "shell/window.h"
#include "support/demodata.h"
#include "support/support.h"

namespace {

TEST(BeginRun, PutsEveryPieceOfTheLastRunBackAtItsStartValue) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {40.0, 120.0, true}));
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    // The state a run leaves behind: music playing with its sync data, a
    // later row, scenes moved on, a key held, the window flags changed.
    audio::selectClock(audio::Clock::Manual);
    startRow = 280;
    ASSERT_FALSE(demoStartup());
    ASSERT_NE(musicSync.stream, 0u);
    ASSERT_GT(musicSync.file.channelCount, 0);
    stepFrameTimer(16.5);
    recordFrameStatistics();
    openingSquares.fadeLevel = 0.25;
    closingWheels.wheelTilt = 45;
    keys[' '] = true;
    isActive = false;
    isFullscreen = false;
    desktopFullscreen = true;
    displayIndex = 2;
    screenWidth = 320;
    screenBits = 16;
    loadFailed = true;
    loadMessages.push_back("x: a reason");

    beginRun();
    EXPECT_EQ(openingSquares.fadeLevel, OpeningSquaresState{}.fadeLevel);
    EXPECT_EQ(closingWheels.wheelTilt, ClosingWheelsState{}.wheelTilt);
    EXPECT_EQ(frameDeltaMs, 0.0);
    EXPECT_EQ(totalFrames, 0);
    EXPECT_EQ(frameTimer.elapsedMs, 0.0);
    EXPECT_FALSE(keys[' ']);
    EXPECT_TRUE(isActive);
    EXPECT_TRUE(isFullscreen);
    EXPECT_FALSE(desktopFullscreen);
    EXPECT_EQ(displayIndex, -1);
    EXPECT_EQ(screenWidth, 1280);
    EXPECT_EQ(screenHeight, 720);
    EXPECT_EQ(screenBits, 32);
    EXPECT_FALSE(loadFailed);
    EXPECT_TRUE(loadMessages.empty());
    EXPECT_EQ(startRow, 0);
    EXPECT_EQ(musicSync.stream, 0u);
    EXPECT_FALSE(musicSync.streamOpen);
    EXPECT_EQ(musicSync.file.channelCount, 0);
    EXPECT_TRUE(musicSync.playback.currentValues.empty());
    audio::freeOutput();
    std::filesystem::current_path(previous);
}

}  // namespace
