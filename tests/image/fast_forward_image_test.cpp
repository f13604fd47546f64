// Fast-forward: frames run through the scenes with drawing switched off leave
// the scenes and GL exactly where drawing them would have, so the frames drawn
// after them are the same bytes as in a run that drew everything.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "scenes/schedule.h"
#include "support/framecapture.h"
#include "support/support.h"

namespace {

using testsupport::Frame;

// One row well inside every scene, and one between scenes.
const std::vector<int> rowsInEveryScene = {20, 50, 120, 200, 250, 400, 550, 745};
const CaptureSettings small{160, 90, 30};

TEST(FastForwardImage, FramesAfterSkippedOnesEqualThoseOfARunThatDrewEverything) {
    ASSERT_NE(switchDrawing, nullptr) << "this test program is linked without the drawing switch";
    const std::map<int, Frame> drawn = testsupport::captureRows(rowsInEveryScene, small);
    const std::map<int, Frame> skipped = testsupport::captureRows(rowsInEveryScene, small, "", true);
    for (int row : rowsInEveryScene) {
        SCOPED_TRACE("row " + std::to_string(row) + ", " + scheduleRanges[scheduleRangeOf(row)].name);
        ASSERT_TRUE(drawn.count(row) && skipped.count(row));
        const Frame &a = drawn.at(row), &b = skipped.at(row);
        EXPECT_EQ(a.index, b.index);
        // Byte for byte: nothing is allowed to differ.
        EXPECT_TRUE(a.rgb == b.rgb) << "frame " << a.index << " differs after a fast-forward";
        testsupport::keepFrame(b, "fast-forward-row" + std::to_string(row) + ".png");
    }
}

TEST(FastForwardImage, ASkippedFrameLeavesThePictureAsItWas) {
    ASSERT_NE(switchDrawing, nullptr) << "this test program is linked without the drawing switch";
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(testsupport::sourceDir());
    resetScenes();
    Capture capture;
    std::string why;
    ASSERT_TRUE(openCapture(small, capture, why)) << why;
    // Row 120 (arc bands) changes from frame to frame: a frame drawn there
    // would show.
    const std::int64_t k = firstFrameAtRow(capture, frameCount(capture), 120);
    while (capture.nextFrame < k) skipNextFrame(capture);
    std::vector<unsigned char> before, after, next;
    drawNextFrame(capture);
    readFrame(capture, before);
    skipNextFrame(capture);
    readFrame(capture, after);
    drawNextFrame(capture);
    readFrame(capture, next);
    closeCapture(capture);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(before == after);
    EXPECT_FALSE(before == next) << "the scene should have moved on in two frames";
}

// What the scenes give while drawing is off reaches GL when it comes back on:
// the last colour (glColor3f's with alpha 1), texture coordinate and normal.
TEST(FastForwardImage, TheLastColourCoordinateAndNormalGivenWhileOffAreCurrentAfter) {
    ASSERT_NE(switchDrawing, nullptr) << "this test program is linked without the drawing switch";
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(testsupport::sourceDir());
    Capture capture;
    std::string why;
    const bool opened = openCapture(small, capture, why);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(opened) << why;
    switchDrawing(false);
    glColor4f(1, 0, 0, 0.5f);
    glColor3f(0.25f, 0.5f, 0.75f);
    glTexCoord2f(0.125f, 0.375f);
    glNormal3f(0, 0.6f, 0.8f);
    switchDrawing(true);
    const struct {
        GLenum name;
        std::vector<float> expected;
    } currents[] = {{GL_CURRENT_COLOR, {0.25f, 0.5f, 0.75f, 1}},
                    {GL_CURRENT_TEXTURE_COORDS, {0.125f, 0.375f}},
                    {GL_CURRENT_NORMAL, {0, 0.6f, 0.8f}}};
    for (const auto& c : currents) {
        float values[4] = {};
        glGetFloatv(c.name, values);
        EXPECT_EQ(std::vector<float>(values, values + c.expected.size()), c.expected) << c.name;
    }
    closeCapture(capture);
}

}  // namespace
