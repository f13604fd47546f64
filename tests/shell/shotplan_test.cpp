// Planning the frames of a list of shot rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scenes/schedule.h"
#include "shell/shotplan.h"

namespace {

// Frames 0 .. 6 drawn at these rows: none at rows 2, 5 and 6, two at 0 and 3.
const std::vector<int> frameRows = {0, 0, 1, 3, 3, 4, 7};

ShownFrames shownFramesOf(const std::vector<int>& rows) {
    return {static_cast<std::int64_t>(rows.size()), [rows](std::int64_t k) { return rows[static_cast<std::size_t>(k)]; },
            [rows](int row) { return std::lower_bound(rows.begin(), rows.end(), row) - rows.begin(); }};
}

struct Case {
    std::vector<int> rows;
    std::vector<std::int64_t> frames;  // expected
    std::int64_t end;                  // expected
    std::string why;                   // expected failure; "" for none
};

TEST(ShotPlan, EachRowGetsTheFirstFrameAtOrAfterItAndARowNeverDrawnFailsNamingTheLastRow) {
    const std::string late = " never drawn: the music ends the demo after row 7";
    const Case cases[] = {
        {{}, {}, 0, ""},
        {{0}, {0}, 1, ""},
        {{3}, {3}, 4, ""},
        {{2}, {3}, 4, ""},  // no frame at row 2: the next one
        {{7, 1, 7}, {6, 2, 6}, 7, ""},  // in the order given, repeats kept; end after the latest
        {{8}, {}, 0, "row 8 is" + late},
        {{1, 9, 3}, {}, 0, "row 9 is" + late},  // the first row that fails is named
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.rows));
        ShotPlan plan;
        std::string why;
        EXPECT_EQ(planShots(shownFramesOf(frameRows), c.rows, plan, why), c.why.empty());
        EXPECT_EQ(why, c.why);
        if (!c.why.empty()) continue;
        EXPECT_EQ(plan.frames, c.frames);
        EXPECT_EQ(plan.end, c.end);
    }
}

TEST(ShotPlan, WithNoFrameShownEveryRowIsNeverDrawnAfterRow0) {
    ShotPlan plan;
    std::string why;
    EXPECT_FALSE(planShots(shownFramesOf({}), {0}, plan, why));
    EXPECT_EQ(why, "row 0 is never drawn: the music ends the demo after row 0");
    EXPECT_EQ(neverDrawn("rows 8 to 753 are", shownFramesOf(frameRows)),
              "rows 8 to 753 are never drawn: the music ends the demo after row 7");

    // Frames at --fps 30 on either side of the last row: stepped over it, or reached it.
    ShownFrames stepped = shownFramesOf({lastDemoRow - 1, lastDemoRow + 1});
    stepped.count = 1;
    for (int fps : {1, 30}) {
        stepped.fps = fps;
        EXPECT_EQ(neverDrawn("row 753 is", stepped)
                      .rfind("row 753 is never drawn at --fps " + std::to_string(fps) + ": one frame shows row 752", 0),
                  0u);
    }
    // The next frame would show the last row itself: the music ended first.
    ShownFrames ended = shownFramesOf({lastDemoRow - 1, lastDemoRow});
    ended.count = 1;
    ended.fps = 30;
    EXPECT_EQ(neverDrawn("row 753 is", ended), "row 753 is never drawn: the music ends the demo after row 752");
    // No frame shown at all (the music starts past the last row): the plain reason.
    ShownFrames none = shownFramesOf({800});
    none.count = 0;
    none.fps = 30;
    EXPECT_EQ(neverDrawn("row 10 is", none), "row 10 is never drawn: the music ends the demo after row 0");
    stepped.fps = 0;  // no rate to name: the plain reason
    EXPECT_EQ(neverDrawn("row 753 is", stepped), "row 753 is never drawn: the music ends the demo after row 752");
    ShownFrames reached = shownFramesOf({lastDemoRow, lastDemoRow + 2});
    reached.count = 1;
    reached.fps = 30;
    EXPECT_EQ(neverDrawn("row 755 is", reached), "row 755 is never drawn: the music ends the demo after row 753");
}

}  // namespace
