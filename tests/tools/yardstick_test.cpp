// The bench's yardstick, drawn into the recording GL. Its ratios compare one
// bench report with another only while it draws the same load: these boxes,
// so placed, textured and depth-tested, whatever state it finds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "support/gldouble/gl_double.h"
#include "textures/textures.h"
#include "yardstick.h"

namespace {

using Point = std::array<double, 3>;

Point centreOf(const gldouble::Primitive& box) {
    Point c{0, 0, 0};
    for (const auto& v : box.vertices) c = {c[0] + v.x, c[1] + v.y, c[2] + v.z};
    const double n = static_cast<double>(box.vertices.size());
    return {c[0] / n, c[1] / n, c[2] / n};
}

Point minus(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double length(const Point& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

TEST(Yardstick, DrawsItsGridOfBoxesTexturedDepthTestedTiltedAndCentred) {
    constexpr int columns = 104, rows = 80;  // drawn column by column
    constexpr double degree = 3.14159265358979 / 180;
    gldouble::resetHostile(/*depthTest=*/false, /*texturing=*/false);
    bord2Texture.glName = 42;
    drawYardstickFrame();
    bord2Texture.glName = 0;

    const auto& boxes = gldouble::primitives();
    ASSERT_EQ(boxes.size(), static_cast<std::size_t>(yardstickBoxes));
    ASSERT_EQ(columns * rows, yardstickBoxes);
    int unlike = 0;  // boxes not drawn as the first one is
    Point sum{0, 0, 0};
    for (const auto& box : boxes) {
        for (const auto& v : box.vertices) {
            if (!v.textured || v.texture != 42 || v.r != 1 || v.g != 1 || v.b != 1 || v.a != 1) ++unlike;
        }
        if (box.mode != GL_QUADS || box.vertices.size() != 24 || !box.depthTested) ++unlike;
        const Point c = centreOf(box);
        sum = {sum[0] + c[0], sum[1] + c[1], sum[2] + c[2]};
    }
    EXPECT_EQ(unlike, 0) << "every box: six white textured faces, depth-tested";
    // The grid's centre is on the view axis, 42 units ahead.
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(sum[i] / yardstickBoxes, i == 2 ? -42 : 0, 1e-3) << "axis " << i;
    // Neighbours 0.5 apart along both sides, the grid's face turned 20
    // degrees about the vertical and tilted 30 about the horizontal.
    const Point up = minus(centreOf(boxes[1]), centreOf(boxes[0]));
    const Point across = minus(centreOf(boxes[rows]), centreOf(boxes[0]));
    EXPECT_NEAR(length(up), 0.5, 1e-4);
    EXPECT_NEAR(length(across), 0.5, 1e-4);
    const Point face = {across[1] * up[2] - across[2] * up[1], across[2] * up[0] - across[0] * up[2],
                        across[0] * up[1] - across[1] * up[0]};
    const Point want = {std::sin(20 * degree), std::cos(20 * degree) * std::sin(30 * degree),
                        std::cos(20 * degree) * std::cos(30 * degree)};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(face[i] / 0.25, want[i], 1e-3) << "axis " << i;
    // What it found is put back.
    EXPECT_FALSE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(gldouble::isEnabled(GL_BLEND));
    EXPECT_EQ(gldouble::boundTexture(), gldouble::strayTexture);
    EXPECT_EQ(gldouble::currentColor(), gldouble::strayColour);
    EXPECT_EQ(gldouble::modelviewDepth(), 1u);
}

}  // namespace
