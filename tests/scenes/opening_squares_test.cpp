#include <gtest/gtest.h>

#include <cmath>

#include "support/gldouble/gl_double.h"
#include "scenes/opening_squares.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"
#include "textures/textures.h"

namespace {

struct Centre {
    double x, y, z;
};

Centre centreOf(const gldouble::Primitive& p) {
    Centre c{0, 0, 0};
    for (const auto& v : p.vertices) {
        c.x += v.x / p.vertices.size();
        c.y += v.y / p.vertices.size();
        c.z += v.z / p.vertices.size();
    }
    return c;
}

class OpeningSquaresTest : public ::testing::Test {
protected:
    void SetUp() override {
        openingSquares = OpeningSquaresState{};
        plimTexture.glName = 7;
        gldouble::reset();
    }
    void TearDown() override { plimTexture.glName = 0; }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(true, false);
        drawOpeningSquares();
    }
    // The rectangles: every block but the last, which is the picture.
    std::vector<gldouble::Primitive> rectangles() const {
        auto all = gldouble::primitives();
        all.pop_back();
        return all;
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 10.0f};
};

TEST_F(OpeningSquaresTest, RectanglesJoinOnTheirRows) {
    const std::pair<int, size_t> expected[] = {{-2, 1}, {0, 1}, {5, 1}, {6, 2}, {8, 3}, {12, 4},
                                              {16, 5}, {22, 6}, {24, 7}, {28, 8}, {39, 8}};
    for (auto [row, count] : expected) {
        drawAt(row, 10);
        EXPECT_EQ(rectangles().size(), count) << "row " << row;
    }
}

TEST_F(OpeningSquaresTest, RectanglesSitAtTheSumOfTheirSteps) {
    drawAt(28, 10);
    auto rects = rectangles();
    ASSERT_EQ(rects.size(), 8u);
    const Centre expected[] = {{2, 2, -10},   {4, 2.3, -20},  {1, 3.3, -30},  {-2, 2.3, -40},
                               {-5, -0.7, -50}, {-2, -3.7, -60}, {3, -6.7, -70}, {10.4, -8.7, -80}};
    for (size_t i = 0; i < 8; ++i) {
        Centre c = centreOf(rects[i]);
        EXPECT_NEAR(c.x, expected[i].x, 1e-5) << i;
        EXPECT_NEAR(c.y, expected[i].y, 1e-5) << i;
        EXPECT_NEAR(c.z, expected[i].z, 1e-5) << i;
    }
    EXPECT_NEAR(rects[7].vertices[2].x - rects[7].vertices[0].x, 11.4, 1e-5);
    // The group's matrix is undone before the picture: it stands on its own.
    Centre picture = centreOf(gldouble::primitives().back());
    EXPECT_NEAR(picture.x, -15, 1e-5);
    EXPECT_NEAR(picture.z, -34, 1e-5);
    EXPECT_EQ(gldouble::modelviewDepth(), 1u);
}

TEST_F(OpeningSquaresTest, EveryRectangleHasItsTabledSizeColourAndRate) {
    openingSquares.flashLevel = 0.25;
    drawAt(28, 600);  // every rectangle from level 0: 600 ms of its divisor
    struct Rect {
        double halfWidth, halfHeight, divisor;
        char red, green, blue;  // 'L' its level, 'F' the flash level
    };
    const Rect table[8] = {{0.4, 0.4, 1100, 'L', 'L', 'F'}, {0.4, 0.4, 800, 'L', 'F', 'L'},
                           {0.7, 0.7, 1000, 'L', 'L', 'F'}, {1.7, 1.7, 1200, 'L', 'L', 'F'},
                           {2.7, 2.7, 1200, 'F', 'L', 'F'}, {1.7, 2.7, 400, 'F', 'L', 'F'},
                           {1.7, 1.7, 500, 'F', 'L', 'L'},  {5.7, 5.7, 500, 'L', 'F', 'L'}};
    const auto rects = rectangles();
    ASSERT_EQ(rects.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const auto& v = rects[i].vertices;
        const Rect& want = table[i];
        EXPECT_NEAR(v[2].x - v[0].x, 2 * want.halfWidth, 1e-5) << "rectangle " << i + 1;
        EXPECT_NEAR(v[2].y - v[0].y, 2 * want.halfHeight, 1e-5) << "rectangle " << i + 1;
        auto level = [&](char c) { return c == 'L' ? 600 / want.divisor : 0.25; };
        EXPECT_NEAR(v[0].r, level(want.red), 1e-6) << "rectangle " << i + 1;
        EXPECT_NEAR(v[0].g, level(want.green), 1e-6) << "rectangle " << i + 1;
        EXPECT_NEAR(v[0].b, level(want.blue), 1e-6) << "rectangle " << i + 1;
    }
    // The picture: 12 x 12 at (-15, 0, -34), turned 70 degrees about the vertical axis.
    const auto& picture = gldouble::primitives().back().vertices;
    const double c70 = std::cos(70 * M_PI / 180), s70 = std::sin(70 * M_PI / 180);
    const double corners[4][3] = {{-15 - 6 * c70, -6, -34 + 6 * s70}, {-15 + 6 * c70, -6, -34 - 6 * s70},
                                  {-15 + 6 * c70, 6, -34 - 6 * s70}, {-15 - 6 * c70, 6, -34 + 6 * s70}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(picture[k].x, corners[k][0], 1e-4) << "corner " << k;
        EXPECT_NEAR(picture[k].y, corners[k][1], 1e-4) << "corner " << k;
        EXPECT_NEAR(picture[k].z, corners[k][2], 1e-4) << "corner " << k;
    }
}

TEST_F(OpeningSquaresTest, RectanglesFadeInByTheirOwnRates) {
    drawAt(0, 550);  // half of rectangle 1's 1100 ms
    auto first = rectangles()[0].vertices[0];
    EXPECT_FLOAT_EQ(first.r, 0.5f);
    EXPECT_FLOAT_EQ(first.g, 0.5f);
    EXPECT_FLOAT_EQ(first.b, 0.0f);  // the flash level, still 0
    drawAt(0, 550);
    EXPECT_FLOAT_EQ(rectangles()[0].vertices[0].r, 1.0f);

    drawAt(28, 250);
    auto eighth = rectangles()[7].vertices[0];
    EXPECT_FLOAT_EQ(eighth.r, 0.5f);  // 250 ms of its 500
    EXPECT_FLOAT_EQ(eighth.g, 0.0f);
    EXPECT_FLOAT_EQ(eighth.b, 0.5f);
    EXPECT_FLOAT_EQ(openingSquares.squareLevel[0], 1.0f + 250.0f / 1100.0f);
}

TEST_F(OpeningSquaresTest, FlashTurnsTheBackgroundAndRectanglesWhite) {
    drawAt(33, 50);
    EXPECT_DOUBLE_EQ(openingSquares.flashLevel, 0.25);
    EXPECT_DOUBLE_EQ(openingSquares.pictureLevel, 0.45);
    EXPECT_EQ(gldouble::clearColor(), (std::array<float, 4>{0.25f, 0.25f, 0.25f, 1.0f}));
    drawAt(34, 1000);  // a long frame goes far past white
    EXPECT_DOUBLE_EQ(openingSquares.flashLevel, 5.25);
    // The rectangles take up the flash on the next frame.
    drawAt(36, 10);
    EXPECT_FLOAT_EQ(rectangles()[0].vertices[0].b, 5.25f);
    EXPECT_EQ(gldouble::countCalls("glClearColor"), 0);
}

TEST_F(OpeningSquaresTest, ClosingFadeDrawsOnlyThePicture) {
    drawAt(41, 100);
    EXPECT_DOUBLE_EQ(openingSquares.fadeLevel, 0.5);
    EXPECT_DOUBLE_EQ(openingSquares.pictureLevel, 0.2 - 2.0);
    EXPECT_EQ(gldouble::clearColor(), (std::array<float, 4>{0.5f, 0.5f, 0.5f, 1.0f}));
    ASSERT_EQ(gldouble::primitives().size(), 1u);
    EXPECT_EQ(gldouble::countCalls("glPushMatrix"), 1);
    EXPECT_EQ(gldouble::countCalls("glPopMatrix"), 1);
    const auto& picture = gldouble::primitives()[0].vertices[0];
    EXPECT_EQ(picture.texture, 7u);
    EXPECT_TRUE(picture.textured);
    EXPECT_FLOAT_EQ(picture.r, -1.8f);  // not clamped by the scene
    drawAt(40, 0);  // the fade's first row draws no rectangle either
    EXPECT_EQ(gldouble::primitives().size(), 1u);
    EXPECT_EQ(gldouble::countCalls("glPopMatrix"), 1);
}

TEST_F(OpeningSquaresTest, PictureIsBlendedByItsAlphaWithoutDepthTest) {
    drawAt(10, 16);
    EXPECT_TRUE(gldouble::isEnabled(GL_BLEND));
    EXPECT_FALSE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(gldouble::blendSource(), GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(gldouble::blendDestination(), GLenum(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(gldouble::boundTexture(), 7u);
    // The rectangles are untextured.
    EXPECT_EQ(gldouble::primitives()[0].vertices[0].texture, 0u);
}

TEST_F(OpeningSquaresTest, PastItsRowsTheSceneOnlyUnbindsTheTexture) {
    drawAt(44, 100);
    ASSERT_EQ(gldouble::calls().size(), 1u);
    EXPECT_EQ(gldouble::calls()[0].name, "glBindTexture");
    EXPECT_EQ(gldouble::calls()[0].args[1], 0.0);
    EXPECT_DOUBLE_EQ(openingSquares.fadeLevel, 1.0);
}

}  // namespace
