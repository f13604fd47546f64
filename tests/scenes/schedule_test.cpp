#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <utility>
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
        sceneDrawRecorder = [](const Scene& scene) { ran.push_back(scene.name); };
    }
    void TearDown() override {
        sceneDrawRecorder = nullptr;
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
    const std::pair<int, Names> rows[] = {
        {-3, {"opening squares"}}, {0, {"opening squares"}}, {43, {"opening squares"}}, {44, {}},
        {63, {}},                  {64, {"arc bands"}},      {191, {"arc bands"}},      {192, {"logo tiles"}},
        {224, {}},                 {228, {"tumbling cubes"}}, {276, {}},                {280, {"credits field"}},
        {471, {"credits field"}},  {472, {}},                {473, {"greetings"}},      {606, {"greetings"}},
        {607, {}},                 {608, {"closing wheels"}}, {751, {"closing wheels"}}, {752, {}},
        {754, {}},
    };
    for (const auto& [row, names] : rows) EXPECT_EQ(scenesAt(row), names) << "row " << row;
}

TEST_F(ScheduleTest, MusicCrossingARowBoundaryWithinOneFrameDrawsBothScenes) {
    // The arc bands take long enough for the music to reach row 192.
    sceneDrawRecorder = [](const Scene& scene) {
        ran.push_back(scene.name);
        if (std::string(scene.name) == "arc bands") clock->setRow(192);
    };
    EXPECT_EQ(scenesAt(191), (Names{"arc bands", "logo tiles"}));
}

TEST_F(ScheduleTest, TheNamedRangesAgreeWithTheScenesThatDraw) {
    for (int row = 0; row <= lastDemoRow; ++row) {
        const ScheduleRange& range = scheduleRanges[static_cast<std::size_t>(scheduleRangeOf(row))];
        ASSERT_GE(row, range.firstRow);
        ASSERT_LE(row, range.lastRow);
        const Names expected = std::string(range.name) == "none" ? Names{} : Names{range.name};
        EXPECT_EQ(scenesAt(row), expected) << "row " << row << " in " << range.name;
    }
}

TEST_F(ScheduleTest, TheRangesAreTheScenesWithTheGapsBetweenThemNamedNone) {
    const std::tuple<const char*, int, int> expected[] = {
        {"opening squares", 0, 43}, {"none", 44, 63},           {"arc bands", 64, 191},   {"logo tiles", 192, 223},
        {"none", 224, 227},         {"tumbling cubes", 228, 275}, {"none", 276, 279},     {"credits field", 280, 471},
        {"none", 472, 472},         {"greetings", 473, 606},    {"none", 607, 607},       {"closing wheels", 608, 751},
        {"none", 752, 753},
    };
    ASSERT_EQ(scheduleRangeCount, static_cast<int>(std::size(expected)));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& [name, first, last] = expected[i];
        EXPECT_EQ(std::string(scheduleRanges[i].name), name) << "range " << i;
        EXPECT_EQ(scheduleRanges[i].firstRow, first) << "range " << i;
        EXPECT_EQ(scheduleRanges[i].lastRow, last) << "range " << i;
    }
    EXPECT_EQ(scene("credits field").firstRow, 280);
    // Rows past the end belong to the last range, rows before 0 to the first.
    for (int row : {lastDemoRow + 1, 1 << 30}) EXPECT_EQ(scheduleRangeOf(row), scheduleRangeCount - 1) << row;
    EXPECT_EQ(scheduleRangeOf(-5), 0);
    EXPECT_THROW(scene("no such scene"), const char*);
}

// One value of each scene's state away from its start value, and back.
struct Touch {
    const char* scene;
    void (*move)();
    bool (*atStart)();
};
const Touch touches[] = {
    {"opening squares", [] { openingSquares.pictureLevel = 5; }, [] { return openingSquares.pictureLevel == 0.2; }},
    {"arc bands", [] { spinningArcBands.yellowPoints = 1; }, [] { return spinningArcBands.yellowPoints == 10; }},
    {"logo tiles", [] { logoTiles.tileSpin[1][2] = 3; }, [] { return logoTiles.tileSpin[1][2] == 0; }},
    {"tumbling cubes", [] { tumblingCubes.cubeApproach = 4; }, [] { return tumblingCubes.cubeApproach == 0; }},
    {"credits field", [] { creditsField.creditsStarted = true; }, [] { return !creditsField.creditsStarted; }},
    {"greetings", [] { greetings.darkness = 0.5f; }, [] { return greetings.darkness == 1.0f; }},
    {"closing wheels", [] { closingWheels.wheelTilt = 12; }, [] { return closingWheels.wheelTilt == 0; }},
};

TEST_F(ScheduleTest, EachScenesResetPutsItsOwnStateBackAndResetScenesEvery) {
    ASSERT_EQ(std::size(touches), static_cast<std::size_t>(sceneCount));
    for (const Touch& t : touches) t.move();
    for (const Touch& t : touches) {
        SCOPED_TRACE(t.scene);
        EXPECT_FALSE(t.atStart());
        scene(t.scene).reset();
        EXPECT_TRUE(t.atStart());
    }
    for (const Touch& t : touches) t.move();
    resetScenes();
    for (const Touch& t : touches) EXPECT_TRUE(t.atStart()) << t.scene;
}

}  // namespace
