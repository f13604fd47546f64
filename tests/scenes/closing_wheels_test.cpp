#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/gldouble/gl_double.h"
#include "scenes/closing_wheels.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"
#include "textures/textures.h"

namespace {

constexpr GLuint bakName = 11, bordName = 12, endName = 13;
constexpr int quadsPerWheel = 4 * wheelSegments;

struct Point {
    double x, y, z;
};

Point at(const gldouble::Vertex& v) { return {v.x, v.y, v.z}; }
double distance(Point a, Point b) { return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z)); }

// The quads as drawn, whichever way they were sent: GL_QUADS four corners at
// a time, GL_TRIANGLES six (the fan GL makes of a quad from its first corner).
std::vector<gldouble::Primitive> quadsOf(const std::vector<gldouble::Primitive>& sent) {
    std::vector<gldouble::Primitive> quads;
    for (const auto& p : sent) {
        const size_t step = p.mode == GL_TRIANGLES ? 6 : 4;
        for (size_t f = 0; f + step <= p.vertices.size(); f += step) {
            gldouble::Primitive quad = p;
            quad.vertices = {p.vertices[f], p.vertices[f + 1], p.vertices[f + 2], p.vertices[f + step - 1]};
            quads.push_back(quad);
        }
    }
    return quads;
}

class ClosingWheelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        closingWheels = ClosingWheelsState{};
        bakTexture.glName = bakName;
        bordTexture.glName = bordName;
        endTexture.glName = endName;
    }
    void TearDown() override { bakTexture.glName = bordTexture.glName = endTexture.glName = 0; }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(false, false);
        drawClosingWheels();
    }
    static std::vector<gldouble::Primitive> withTexture(GLuint name) {
        std::vector<gldouble::Primitive> list;
        for (const auto& p : quadsOf(gldouble::primitives()))
            if (p.vertices[0].texture == name) list.push_back(p);
        return list;
    }
    // Quad `k` of band `band` (1 to 4) of wheel `wheel` (0 to 2).
    static const gldouble::Primitive& segment(int wheel, int band, int k) {
        static std::vector<gldouble::Primitive> quads;
        quads = withTexture(bordName);
        return quads.at(size_t(wheel * quadsPerWheel + (band - 1) * wheelSegments + k));
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
};

const Point wheelCentre[3] = {{1, 0, -5}, {0, 0, -5}, {-1, 0, -5}};

TEST_F(ClosingWheelsTest, FirstRowShowsBackdropAndThreeClosedWheels) {
    drawAt(608, 16);
    auto backdrop = withTexture(bakName);
    ASSERT_EQ(backdrop.size(), 1u);
    const auto& b = backdrop[0].vertices;
    EXPECT_NEAR((b[0].x + b[2].x) / 2, 0, 1e-6);
    EXPECT_NEAR((b[0].y + b[2].y) / 2, 0, 1e-6);
    EXPECT_NEAR(b[0].z, -6, 1e-6);
    EXPECT_NEAR(b[2].x - b[0].x, 12, 1e-6);
    EXPECT_NEAR(b[2].y - b[0].y, 4, 1e-6);
    ASSERT_EQ(withTexture(bordName).size(), size_t(3 * quadsPerWheel));
    EXPECT_TRUE(withTexture(endName).empty());
    // Closed: both caps of every segment meet at the wheel's centre.
    for (int w = 0; w < 3; ++w)
        for (int k = 0; k < wheelSegments; ++k) {
            EXPECT_LT(distance(at(segment(w, 1, k).vertices[2]), wheelCentre[w]), 1e-5) << w << " " << k;
            EXPECT_LT(distance(at(segment(w, 4, k).vertices[3]), wheelCentre[w]), 1e-5) << w << " " << k;
        }
    // The rim: radius 1 + 1/1.4 around the centre, inner edges at radius 1.
    EXPECT_NEAR(distance(at(segment(0, 2, 7).vertices[1]), wheelCentre[0]), 1 + 1 / 1.4, 1e-5);
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(gldouble::isEnabled(GL_BLEND));
}

TEST_F(ClosingWheelsTest, EverySecondBeatTheSegmentsBurstApartAlongTheAxis) {
    drawAt(612, 1);  // 612 + 4 is a multiple of 8
    const double sin33 = std::sin(33.0) - 1.0 / 500;
    for (int w = 0; w < 3; ++w) {
        // Segment 33 opens by almost 1 on each side: at the centre and at the rim.
        const Point minusApex = at(segment(w, 1, 33).vertices[2]);
        const Point plusApex = at(segment(w, 4, 33).vertices[2]);
        EXPECT_NEAR(distance(minusApex, wheelCentre[w]), sin33, 1e-5);
        EXPECT_NEAR(distance(plusApex, wheelCentre[w]), sin33, 1e-5);
        EXPECT_NEAR(distance(minusApex, plusApex), 2 * sin33, 1e-5);
        EXPECT_NEAR(distance(at(segment(w, 2, 33).vertices[1]), at(segment(w, 3, 33).vertices[1])), 2 * sin33, 1e-5);
        // sin 11 is negative: segment 11 stays closed.
        EXPECT_LT(distance(at(segment(w, 1, 11).vertices[2]), wheelCentre[w]), 1e-5);
        EXPECT_LT(distance(at(segment(w, 2, 11).vertices[1]), at(segment(w, 3, 11).vertices[1])), 1e-5);
    }
    // Held for the whole row, then closing by 2 units a second.
    drawAt(612, 1);
    EXPECT_NEAR(closingWheels.segmentBurst[33], sin33, 1e-6);
    drawAt(613, 250);
    EXPECT_NEAR(closingWheels.segmentBurst[33], sin33 - 0.5, 1e-6);
    drawAt(614, 500);
    EXPECT_EQ(closingWheels.segmentBurst[33], 0.0);
    drawAt(611, 1);
    drawAt(615, 1);
    EXPECT_EQ(closingWheels.segmentBurst[33], 0.0);  // other rows do not burst
}

TEST_F(ClosingWheelsTest, CaptionOpensFromRow720) {
    drawAt(719, 16);
    EXPECT_TRUE(withTexture(endName).empty());
    const std::pair<int, double> heights[] = {{720, 0.0}, {730, 0.2}, {740, 0.4}, {751, 0.4}};
    for (auto [row, height] : heights) {
        drawAt(row, 16);
        auto caption = withTexture(endName);
        ASSERT_EQ(caption.size(), 1u) << row;
        const auto& v = caption[0].vertices;
        EXPECT_NEAR(v[2].x - v[0].x, 3.0, 1e-6) << row;
        EXPECT_NEAR(v[2].y - v[0].y, height, 1e-6) << row;
        EXPECT_NEAR((v[0].x + v[2].x) / 2, 0, 1e-6);
        EXPECT_NEAR(v[0].z, -2, 1e-6);
        EXPECT_TRUE(gldouble::isEnabled(GL_BLEND));
        EXPECT_FALSE(gldouble::isEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(gldouble::blendDestination(), GLenum(GL_ONE));
    }
}

TEST_F(ClosingWheelsTest, FadesToBlackFromRow740AndTheCaptionFromRow750) {
    drawAt(739, 500);
    EXPECT_EQ(closingWheels.sceneFade, 0.0f);
    drawAt(741, 500);  // one long frame: black from the next frame on
    EXPECT_FLOAT_EQ(float(withTexture(bakName)[0].vertices[0].r), 1.0f);
    drawAt(742, 16);
    EXPECT_LE(withTexture(bakName)[0].vertices[0].r, 0.0);
    for (const auto& p : withTexture(bordName)) EXPECT_LE(p.vertices[0].r, 0.0);
    EXPECT_FLOAT_EQ(float(withTexture(endName)[0].vertices[0].r), 1.0f);  // the caption still shines
    drawAt(750, 250);
    drawAt(751, 16);
    EXPECT_NEAR(withTexture(endName)[0].vertices[0].r, 0.5 - 16.0 / 500, 1e-6);
}

TEST_F(ClosingWheelsTest, WheelsTiltSpinAndSizeAsTabled) {
    drawAt(609, 600);  // from the start: tilt 600 / 20, spin 600 / 12
    std::vector<double> tilts;
    int spins = 0;
    for (const auto& c : gldouble::calls()) {
        if (c.name != "glRotatef") continue;
        if (c.args[1] == 1) tilts.push_back(c.args[0]);
        if (c.args[3] == 1) {
            EXPECT_EQ(c.args[0], 50);
            ++spins;
        }
    }
    EXPECT_EQ(tilts, (std::vector<double>{30, 40, 50}));  // the group's tumble, then 40 and 50 more
    EXPECT_EQ(spins, 3);  // once for each wheel
    // The -z cap's rim corner as passed lies at minus the wheel's half-depth.
    const double halfDepth[3] = {0.5, 0.42, 0.9};
    for (int w = 0; w < 3; ++w) EXPECT_FLOAT_EQ(float(segment(w, 1, 10).vertices[0].objZ), float(-halfDepth[w]));
    // Texture coordinates of segment 10 (s from 0.2 to 0.22), band by band.
    const double s0 = 0.2, s1 = 0.22;
    const double tex[4][4][2] = {{{s0, 0.25}, {s1, 0.25}, {s1, 0}, {s0, 0}},
                                 {{s0, 0.25}, {s0, 0.5}, {s1, 0.5}, {s1, 0.25}},
                                 {{s0, 0.75}, {s0, 0.5}, {s1, 0.5}, {s1, 0.75}},
                                 {{s0, 0.75}, {s1, 0.75}, {s1, 1}, {s0, 1}}};
    for (int band = 1; band <= 4; ++band)
        for (int v = 0; v < 4; ++v) {
            EXPECT_NEAR(segment(2, band, 10).vertices[v].s, tex[band - 1][v][0], 1e-6) << band << " " << v;
            EXPECT_NEAR(segment(2, band, 10).vertices[v].t, tex[band - 1][v][1], 1e-6) << band << " " << v;
        }
}

TEST(DrawWheel, EverySegmentsFourBandsHaveTheTabledCorners) {
    // A quarter spin, and segment 13 burst open by 0.3; (x, y) turns to (-y, x).
    closingWheels = ClosingWheelsState{};
    closingWheels.wheelSpin = 90;
    closingWheels.segmentBurst[13] = 0.3;
    gldouble::reset();
    const double d = 0.42;
    drawWheel(d);
    const auto quads = quadsOf(gldouble::primitives());
    ASSERT_EQ(quads.size(), size_t(quadsPerWheel));
    EXPECT_EQ(gldouble::modelviewDepth(), 1u);
    // The projection is the identity here, so the view is the cube from -1 to
    // 1: the quads inside it go as triangles, the others each on their own.
    int asTriangles = 0, onTheirOwn = 0;
    for (const auto& p : gldouble::primitives()) {
        bool inside = true;
        for (const auto& v : p.vertices) inside = inside && std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}) < 1;
        if (p.mode == GL_TRIANGLES) {
            asTriangles += int(p.vertices.size()) / 6;
            EXPECT_TRUE(inside);
        } else {
            ++onTheirOwn;
            EXPECT_EQ(p.vertices.size(), 4u);
            EXPECT_FALSE(inside);
        }
    }
    EXPECT_GT(asTriangles, 0);
    EXPECT_GT(onTheirOwn, 0);
    for (int k : {0, 13, 49}) {
        const int next = (k + 1) % wheelSegments;
        const double b = k == 13 ? 0.3 : 0;
        auto ring = [](int i, int point, double z) {
            const double radius = i == 0 ? 1 : 1 + 1 / 1.4, theta = point * 7.2 * M_PI / 180;
            return Point{-std::cos(theta) * radius, std::sin(theta) * radius, z};
        };
        const Point axis0{0, 0, -b}, axis1{0, 0, b};
        const Point corners[4][4] = {
            {ring(0, k, -d - b), ring(0, next, -d - b), axis0, axis0},
            {ring(0, k, -d - b), ring(1, k, -b), ring(1, next, -b), ring(0, next, -d - b)},
            {ring(0, k, d + b), ring(1, k, b), ring(1, next, b), ring(0, next, d + b)},
            {ring(0, k, d + b), ring(0, next, d + b), axis1, axis1},
        };
        for (int band = 0; band < 4; ++band) {
            const auto& quad = quads[size_t(band * wheelSegments + k)].vertices;
            ASSERT_EQ(quad.size(), 4u);
            for (int v = 0; v < 4; ++v)
                EXPECT_LT(distance(at(quad[size_t(v)]), corners[band][v]), 1e-5)
                    << "segment " << k << " band " << band + 1 << " corner " << v + 1;
        }
    }
}

TEST(WheelRing, TwoRingsOfFiftyPointsAFullTurn) {
    EXPECT_DOUBLE_EQ(wheelRing.point[0][0].x, 0.0);
    EXPECT_DOUBLE_EQ(wheelRing.point[0][0].y, 1.0);
    EXPECT_NEAR(wheelRing.point[1][0].y, 1 + 1 / 1.4, 1e-12);
    EXPECT_NEAR(wheelRing.point[0][12].x, std::sin(86.4 * M_PI / 180), 1e-9);  // 12 x 7.2 degrees
    EXPECT_NEAR(wheelRing.point[1][25].y, -(1 + 1 / 1.4), 1e-9);
}

}  // namespace
