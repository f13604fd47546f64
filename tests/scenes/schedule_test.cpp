#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenes/schedule.h"
#include "support/musicclock.h"

namespace {

std::vector<std::string> ran;
testsupport::ManualMusic* clock = nullptr;

class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ran.clear();
        music = std::make_unique<testsupport::ManualMusic>(musicSync, 120.0, 120.0f, 10.0f);
        clock = music.get();
        scheduledScenes = {
            [] { ran.push_back("openingSquares"); }, [] { ran.push_back("arcBands"); },
            [] { ran.push_back("logoTiles"); },      [] { ran.push_back("tumblingCubes"); },
            [] { ran.push_back("creditsField"); },   [] { ran.push_back("greetings"); },
            [] { ran.push_back("closingWheels"); },
        };
    }
    void TearDown() override {
        scheduledScenes = demoScenes();
        clock = nullptr;
    }
    std::vector<std::string> scenesAt(int row) {
        ran.clear();
        clock->setRow(row);
        drawScheduledScene();
        return ran;
    }
    std::unique_ptr<testsupport::ManualMusic> music;
};

using Names = std::vector<std::string>;

TEST_F(ScheduleTest, EachRowRangeDrawsItsScene) {
    EXPECT_EQ(scenesAt(-3), Names{"openingSquares"});
    EXPECT_EQ(scenesAt(0), Names{"openingSquares"});
    EXPECT_EQ(scenesAt(43), Names{"openingSquares"});
    EXPECT_EQ(scenesAt(44), Names{});
    EXPECT_EQ(scenesAt(63), Names{});
    EXPECT_EQ(scenesAt(64), Names{"arcBands"});
    EXPECT_EQ(scenesAt(191), Names{"arcBands"});
    EXPECT_EQ(scenesAt(192), Names{"logoTiles"});
    EXPECT_EQ(scenesAt(224), Names{});
    EXPECT_EQ(scenesAt(228), Names{"tumblingCubes"});
    EXPECT_EQ(scenesAt(276), Names{});
    EXPECT_EQ(scenesAt(280), Names{"creditsField"});
    EXPECT_EQ(scenesAt(471), Names{"creditsField"});
    EXPECT_EQ(scenesAt(472), Names{});
    EXPECT_EQ(scenesAt(473), Names{"greetings"});
    EXPECT_EQ(scenesAt(606), Names{"greetings"});
    EXPECT_EQ(scenesAt(607), Names{});
    EXPECT_EQ(scenesAt(608), Names{"closingWheels"});
    EXPECT_EQ(scenesAt(751), Names{"closingWheels"});
    EXPECT_EQ(scenesAt(752), Names{});
    EXPECT_EQ(scenesAt(754), Names{});
}

TEST_F(ScheduleTest, MusicCrossingARowBoundaryWithinOneFrameDrawsBothScenes) {
    // The arc bands take long enough for the music to reach row 192.
    scheduledScenes.arcBands = [] {
        ran.push_back("arcBands");
        clock->setRow(192);
    };
    EXPECT_EQ(scenesAt(191), (Names{"arcBands", "logoTiles"}));
}

TEST_F(ScheduleTest, TheNamedRangesAgreeWithTheScenesThatDraw) {
    const std::pair<const char*, const char*> names[] = {
        {"opening squares", "openingSquares"}, {"arc bands", "arcBands"},       {"logo tiles", "logoTiles"},
        {"tumbling cubes", "tumblingCubes"},   {"credits field", "creditsField"}, {"greetings", "greetings"},
        {"closing wheels", "closingWheels"},
    };
    for (int row = 0; row <= lastDemoRow; ++row) {
        const ScheduleRange& range = scheduleRanges[scheduleRangeOf(row)];
        ASSERT_GE(row, range.firstRow);
        ASSERT_LE(row, range.lastRow);
        Names expected;
        for (auto [name, scene] : names) {
            if (std::string(range.name) == name) expected.push_back(scene);
        }
        EXPECT_EQ(scenesAt(row), expected) << "row " << row << " in " << range.name;
    }
}

}  // namespace
