#include <gtest/gtest.h>

#include "support/gldouble/gl_double.h"
#include "scenes/tumbling_cubes.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"
#include "textures/textures.h"

namespace {

struct Point {
    double x, y, z;
};

Point average(const std::vector<gldouble::Vertex>& vs, size_t first, size_t count) {
    Point c{0, 0, 0};
    for (size_t i = first; i < first + count; ++i) {
        c.x += vs[i].x / count;
        c.y += vs[i].y / count;
        c.z += vs[i].z / count;
    }
    return c;
}

Point centreOf(const gldouble::Primitive& box) { return average(box.vertices, 0, box.vertices.size()); }
// The middle of the box's first face, the one that faces the viewer unturned.
Point frontOf(const gldouble::Primitive& box) { return average(box.vertices, 0, 4); }

class TumblingCubesTest : public ::testing::Test {
protected:
    void SetUp() override {
        tumblingCubes = TumblingCubesState{};
        bord2Texture.glName = 5;
        gldouble::reset();
    }
    void TearDown() override { bord2Texture.glName = 0; }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(false, false);
        drawTumblingCubes();
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
};

TEST_F(TumblingCubesTest, AnglesTurnBeforeAnyCubeIsShown) {
    for (int row = 228; row <= 231; ++row) {
        drawAt(row, 225);
        EXPECT_TRUE(gldouble::primitives().empty()) << "row " << row;
    }
    EXPECT_FLOAT_EQ(tumblingCubes.cubeAngle1, 45);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeAngle2, 900 / 242.0f);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeAngle3, 90);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeAngle4, 18);
    EXPECT_EQ(tumblingCubes.cubeApproach, 0);

    // The first cube appears already turned by what it gained since row 228.
    // Here a further 900 ms give it a quarter turn: its front face tips down.
    drawAt(232, 900);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeAngle1, 90);
    ASSERT_EQ(gldouble::primitives().size(), 1u);
    const auto& box = gldouble::primitives()[0];
    Point c = centreOf(box), f = frontOf(box);
    EXPECT_LT(f.y - c.y, -0.35);
    EXPECT_EQ(box.vertices.size(), 24u);
}

TEST_F(TumblingCubesTest, CubesJoinOnTheirRowsAtTheirPlaces) {
    const std::pair<int, size_t> counts[] = {{232, 1}, {235, 1}, {236, 2}, {240, 3}, {242, 4}, {243, 5},
                                             {248, 6}, {252, 7}, {256, 8}, {258, 9}, {259, 10}, {263, 10}};
    for (auto [row, count] : counts) {
        drawAt(row, 16);
        EXPECT_EQ(gldouble::primitives().size(), count) << "row " << row;
    }
    drawAt(259, 16);
    const Point expected[] = {{-4, -4, -20}, {-6, 0, -20}, {2, -4, -20}, {0, 5, -20},  {-2, 0, -23},
                              {-4, 1, -23},  {2, -3, -22}, {4, 1, -22},  {6, 5, -22},  {8, 1, -28}};
    const auto& boxes = gldouble::primitives();
    ASSERT_EQ(boxes.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        Point c = centreOf(boxes[i]);
        EXPECT_NEAR(c.x, expected[i].x, 1e-5) << "cube " << i + 1;
        EXPECT_NEAR(c.y, expected[i].y, 1e-5) << "cube " << i + 1;
        EXPECT_NEAR(c.z, expected[i].z, 1e-5) << "cube " << i + 1;
        EXPECT_EQ(boxes[i].vertices[0].texture, 5u);
        EXPECT_TRUE(boxes[i].vertices[0].textured);
    }
    EXPECT_FALSE(gldouble::isEnabled(GL_BLEND));
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
}

TEST_F(TumblingCubesTest, FirstCubeTurnsTheOtherWay) {
    tumblingCubes.cubeAngle1 = 90;
    tumblingCubes.cubeAngle2 = 90;
    tumblingCubes.cubeAngle3 = 90;
    tumblingCubes.cubeAngle4 = 90;
    drawAt(259, 0);
    const auto& boxes = gldouble::primitives();
    ASSERT_EQ(boxes.size(), 10u);
    // A quarter turn about nearly +x tips the front face down; about nearly
    // -x, up. Cubes 1, 3 and 9 share an angle but only cube 1 tips down.
    for (size_t i = 0; i < 10; ++i) {
        const double tip = frontOf(boxes[i]).y - centreOf(boxes[i]).y;
        if (i == 0)
            EXPECT_LT(tip, -0.35);
        else
            EXPECT_GT(tip, 0.35) << "cube " << i + 1;
    }
    // Cubes sharing an angle and axis turn in step.
    const Point c3 = centreOf(boxes[2]), f3 = frontOf(boxes[2]);
    const Point c9 = centreOf(boxes[8]), f9 = frontOf(boxes[8]);
    EXPECT_NEAR(f3.x - c3.x, f9.x - c9.x, 1e-6);
    EXPECT_NEAR(f3.z - c3.z, f9.z - c9.z, 1e-6);
}

TEST_F(TumblingCubesTest, EachCubeTurnsByItsOwnAngleAboutItsOwnAxis) {
    tumblingCubes.cubeAngle1 = 11;
    tumblingCubes.cubeAngle2 = 22;
    tumblingCubes.cubeAngle3 = 33;
    tumblingCubes.cubeAngle4 = 44;
    drawAt(259, 0);
    struct Turn {
        double angle, x, y, z;
    };
    const Turn expected[10] = {{11, 1, 0.1, 0.2},  {22, -1, 0.1, 0.2}, {11, -1, 0.1, 0.2}, {33, -1, 0.1, 0.2},
                               {44, -1, 0.1, 0.2}, {33, -1, 0.1, 0.2}, {22, -1, 0.1, 0.2}, {44, -1, 0.1, 0.2},
                               {11, -1, 0.1, 0.2}, {22, -1, 0.1, 0.2}};
    std::vector<Turn> turns;
    for (const auto& c : gldouble::calls())
        if (c.name == "glRotatef") turns.push_back({c.args[0], c.args[1], c.args[2], c.args[3]});
    ASSERT_EQ(turns.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_NEAR(turns[i].angle, expected[i].angle, 1e-6) << "cube " << i + 1;
        EXPECT_NEAR(turns[i].x, expected[i].x, 1e-6) << "cube " << i + 1;
        EXPECT_NEAR(turns[i].y, expected[i].y, 1e-6) << "cube " << i + 1;
        EXPECT_NEAR(turns[i].z, expected[i].z, 1e-6) << "cube " << i + 1;
        // A cube of edge 0.8: its first corner as passed is (-0.4, -0.4, 0.4).
        const auto& v = gldouble::primitives()[i].vertices[0];
        EXPECT_NEAR(v.objX, -0.4, 1e-6);
        EXPECT_NEAR(v.objY, -0.4, 1e-6);
        EXPECT_NEAR(v.objZ, 0.4, 1e-6);
    }
    // The scene sets no colour of its own: the cubes keep the one they find.
    EXPECT_EQ(gldouble::currentColor(), gldouble::strayColour);
}

TEST_F(TumblingCubesTest, GroupApproachesFromRow264) {
    drawAt(263, 500);
    EXPECT_EQ(tumblingCubes.cubeApproach, 0);
    EXPECT_NEAR(centreOf(gldouble::primitives()[0]).z, -20, 1e-5);

    drawAt(264, 50);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeApproach, 1);
    EXPECT_NEAR(centreOf(gldouble::primitives()[0]).z, -19, 1e-5);

    // Nothing holds it back: after another 1.5 s the nearer cubes are behind the viewer.
    drawAt(275, 1500);
    EXPECT_FLOAT_EQ(tumblingCubes.cubeApproach, 31);
    const auto& boxes = gldouble::primitives();
    EXPECT_NEAR(centreOf(boxes[0]).z, 11, 1e-5);
    EXPECT_NEAR(centreOf(boxes[9]).z, 3, 1e-5);
    EXPECT_NEAR(centreOf(boxes[9]).x, 8, 1e-5);
}

}  // namespace
