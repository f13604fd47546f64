#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "support/gldouble/gl_double.h"
#include "scenes/arc_bands.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"

namespace {

constexpr double degrees = 180.0 / 3.14159265358979323846;

// Clockwise angle from straight up, as the viewer sees it, in degrees.
double angleFromUp(double x, double y) { return std::atan2(x, y) * degrees; }

bool allArgumentsFinite() {
    for (const auto& call : gldouble::calls())
        for (double a : call.args)
            if (!std::isfinite(a)) return false;
    return true;
}

class ArcBandsTest : public ::testing::Test {
protected:
    void SetUp() override { startAfresh(); }
    static void startAfresh() {
        spinningArcBands = ArcBandsState{};
        gldouble::reset();
    }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(true);
        drawArcBands();
    }
    // Quads drawn per band this frame: each band's colour call opens it, and
    // the scene's final white closes the last one.
    static std::array<int, arcBandCount> quadsPerBand() {
        std::array<int, arcBandCount> quads{};
        int band = -1;
        for (const auto& call : gldouble::calls()) {
            if (call.name == "glColor3f") ++band;
            if (call.name == "glBegin" && band >= 0 && band < arcBandCount) ++quads[band];
        }
        EXPECT_EQ(band, arcBandCount) << "one colour per band and the closing white";
        return quads;
    }
    // Rotations about the vertical axis: the turn of the whole group.
    static std::vector<double> groupTurns() {
        std::vector<double> angles;
        for (const auto& call : gldouble::calls())
            if (call.name == "glRotatef" && call.args[2] == 1.0) angles.push_back(call.args[0]);
        return angles;
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
};

TEST_F(ArcBandsTest, FirstFrameFillsOnlyTheBandsOfRow64) {
    drawAt(64, 16);
    // Band 2 has int(61 sin 1.6° + 4) = 5 points, band 4 int(61 cos 1.6°) = 60.
    const std::array<int, arcBandCount> expected{0, 14, 4, 14, 59, 0, 14, 0, 64};
    EXPECT_EQ(quadsPerBand(), expected);
    EXPECT_EQ(gldouble::boundTexture(), 0u);
    EXPECT_EQ(gldouble::currentColor(), (std::array<float, 4>{1, 1, 1, 1}));
    // Every band lies in the group's plane, ten units in, give or take its swing.
    const auto& first = gldouble::primitives().front().vertices.front();
    EXPECT_NEAR(first.z, -10 + 6 * std::sin(0.8 / degrees), 1e-5);  // band 1, depth 6 sin phaseA
}

TEST_F(ArcBandsTest, LaterBandsJoinOnTheirRowsAndTheYellowOneFliesIn) {
    drawAt(95, 53);
    EXPECT_FLOAT_EQ(spinningArcBands.yellowPoints, 11);
    EXPECT_FLOAT_EQ(spinningArcBands.yellowDepth, 9);
    auto quads = quadsPerBand();
    EXPECT_EQ(quads[0], 10);
    EXPECT_NEAR(gldouble::primitives().front().vertices.front().z, -1, 1e-5);
    EXPECT_EQ(quads[5], 0);
    EXPECT_EQ(quads[7], 0);

    for (int frame = 0; frame < 12; ++frame) drawAt(100, 53);
    // It stops growing at 15 points and stops at the group's plane.
    EXPECT_FLOAT_EQ(spinningArcBands.yellowPoints, 15);
    EXPECT_FLOAT_EQ(spinningArcBands.yellowDepth, 0);
    EXPECT_EQ(quadsPerBand()[0], 14);
    EXPECT_NEAR(gldouble::primitives().front().vertices.front().z, -10, 1e-5);

    drawAt(126, 16);
    EXPECT_GT(quadsPerBand()[5], 0);
    EXPECT_EQ(quadsPerBand()[7], 0);
    drawAt(154, 16);
    EXPECT_EQ(quadsPerBand()[7], 64);
}

TEST_F(ArcBandsTest, BandLengthsFollowPhaseB) {
    // 61 sin(-60°) + 4 is negative: band 2 vanishes; band 4 has int(30.5) points.
    spinningArcBands.phaseB = -60;
    drawAt(70, 0);
    EXPECT_EQ(quadsPerBand()[2], 0);
    EXPECT_EQ(quadsPerBand()[4], 29);

    // Here 61 cos phaseB is 58.99999996 in double and 59 in single precision:
    // band 4 takes the single-precision value before it truncates.
    spinningArcBands.phaseB = 14.7123318f;
    drawAt(70, 0);
    EXPECT_FLOAT_EQ(spinningArcBands.arcBands[4].points, 59);
    EXPECT_EQ(quadsPerBand()[4], 58);
}

TEST_F(ArcBandsTest, ShortBandsIssueOnlyTheirTransform) {
    for (int points : {1, 0, -3}) {
        gldouble::reset();
        drawArcBand(points, 100, 1.4, 1.5, 30, -2);
        EXPECT_EQ(gldouble::callNames(),
                  (std::vector<std::string>{"glPushMatrix", "glTranslatef", "glRotatef", "glPopMatrix"}))
            << points << " points";
        EXPECT_TRUE(gldouble::primitives().empty());
        EXPECT_EQ(gldouble::modelviewDepth(), 1u);
    }
}

TEST_F(ArcBandsTest, ArcStartsStraightUpAndRunsClockwise) {
    drawArcBand(15, 100, 1.4, 1.5, 0, 0);
    const auto& quads = gldouble::primitives();
    ASSERT_EQ(quads.size(), 14u);
    for (const auto& q : quads) ASSERT_EQ(q.vertices.size(), 4u);
    // previous inner, current inner, current outer, previous outer
    const auto& v = quads.front().vertices;
    EXPECT_NEAR(v[0].x, 0, 1e-12);
    EXPECT_NEAR(v[0].y, 1.4, 1e-12);
    EXPECT_NEAR(v[3].y, 1.5, 1e-12);
    EXPECT_NEAR(angleFromUp(v[1].x, v[1].y), 3.6, 1e-5);  // towards +x: clockwise
    EXPECT_NEAR(std::hypot(v[2].x, v[2].y), 1.5, 1e-12);
    // 15 points of 3.6° span 50.4°, and every quad follows on from the last.
    const auto& last = quads.back().vertices;
    EXPECT_NEAR(angleFromUp(last[2].x, last[2].y), 50.4, 1e-4);
    for (size_t i = 1; i < quads.size(); ++i) EXPECT_EQ(quads[i].vertices[0].x, quads[i - 1].vertices[1].x);

    // Spin turns the arc about the view axis (counter-clockwise), depth moves it along it.
    gldouble::reset();
    drawArcBand(2, 4, 1, 2, 90, -3);
    ASSERT_EQ(gldouble::primitives().size(), 1u);
    const auto& turned = gldouble::primitives()[0].vertices;
    EXPECT_NEAR(turned[0].x, -1, 1e-6);  // straight up turned to the left
    EXPECT_NEAR(turned[0].y, 0, 1e-6);
    EXPECT_NEAR(turned[1].x, 0, 1e-6);  // a quarter turn on: straight up again
    EXPECT_NEAR(turned[1].y, 1, 1e-6);
    EXPECT_NEAR(turned[0].z, -3, 1e-12);
}

TEST_F(ArcBandsTest, GroupTurnsOnlyInsideItsWindows) {
    spinningArcBands.viewSpin = 40;
    for (int row : {64, 125, 132, 133, 135, 163, 192}) {
        drawAt(row, 22);
        EXPECT_TRUE(groupTurns().empty()) << "row " << row;
        EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, 40) << "row " << row;
    }
    float expected = 40;
    for (int row : {126, 131, 164, 191}) {
        drawAt(row, 22);
        expected -= 1;
        ASSERT_EQ(groupTurns().size(), 1u) << "row " << row;
        EXPECT_FLOAT_EQ(groupTurns()[0], expected);
        EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, expected);
    }
}

TEST_F(ArcBandsTest, TurnStartsOverOnlyOnAFrameAtRow134) {
    drawAt(130, 44);
    EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, -2);
    drawAt(135, 44);  // no frame fell on row 134
    drawAt(164, 44);
    EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, -4);

    startAfresh();
    drawAt(130, 44);
    drawAt(134, 44);
    EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, 0);
    EXPECT_TRUE(groupTurns().empty());
    drawAt(164, 44);
    EXPECT_FLOAT_EQ(spinningArcBands.viewSpin, -2);
}

TEST_F(ArcBandsTest, BandWithoutDivisionsDrawsNothing) {
    // phaseD reaches -90°: band 5 has 50 + 50 sin(-90°) divisions, truncated to 0.
    spinningArcBands.phaseD = -89;
    drawAt(126, 6);
    EXPECT_FLOAT_EQ(spinningArcBands.phaseD, -90);
    EXPECT_LT(spinningArcBands.arcBands[5].divisions, 1);
    EXPECT_GT(spinningArcBands.arcBands[5].points, 9);  // it would have 8 quads
    EXPECT_EQ(quadsPerBand()[5], 0);
    EXPECT_TRUE(allArgumentsFinite());

    gldouble::reset();
    drawArcBand(10, 0, 1.4, 1.5, 50, -10);
    EXPECT_TRUE(gldouble::primitives().empty());
    EXPECT_EQ(gldouble::modelviewDepth(), 1u);
    EXPECT_TRUE(allArgumentsFinite());

    // Elsewhere in its cycle band 5 is drawn in a few coarse segments:
    // 50 + 50 sin(-60°) = 6.7 gives steps of 60°.
    spinningArcBands.phaseC = 0;
    spinningArcBands.phaseD = -60;
    drawAt(140, 0);  // outside the turning windows
    EXPECT_EQ(quadsPerBand()[5], 9);
    const auto& coarse = gldouble::primitives();
    const auto band5 = std::find_if(coarse.begin(), coarse.end(),
                                    [](const gldouble::Primitive& p) { return p.vertices[0].r == 0.1f; });
    ASSERT_NE(band5, coarse.end());
    EXPECT_NEAR(angleFromUp(band5->vertices[1].x, band5->vertices[1].y) -
                    angleFromUp(band5->vertices[0].x, band5->vertices[0].y),
                60, 1e-4);
}

// What one band sends to GL between its push and pop: the colour current
// then, its translation and turn, and the shape of its first quad.
struct SentBand {
    std::array<double, 3> colour;
    double depth = 0, spin = 0;
    int quads = 0;
    double inner = 0, outer = 0, step = 0;
};

std::vector<SentBand> sentBands() {
    std::vector<SentBand> bands;
    std::array<double, 3> colour{};
    size_t primitive = 0;
    bool inBand = false;
    for (const auto& c : gldouble::calls()) {
        if (c.name == "glColor3f") colour = {c.args[0], c.args[1], c.args[2]};
        if (c.name == "glPushMatrix") bands.push_back({colour}), inBand = true;
        if (c.name == "glPopMatrix") inBand = false;
        if (!inBand) continue;
        SentBand& b = bands.back();
        if (c.name == "glTranslatef") b.depth = c.args[2];
        if (c.name == "glRotatef") b.spin = c.args[0];
        if (c.name == "glBegin" && b.quads++ == 0) {
            const auto& v = gldouble::primitives()[primitive].vertices;
            b.inner = std::hypot(v[0].objX, v[0].objY);
            b.outer = std::hypot(v[3].objX, v[3].objY);
            b.step = angleFromUp(v[1].objX, v[1].objY) - angleFromUp(v[0].objX, v[0].objY);
        }
        if (c.name == "glBegin") ++primitive;
    }
    return bands;
}

TEST_F(ArcBandsTest, EveryBandSendsItsColourPlaceAndShape) {
    // Phases with known sines: sin A = 0.5, sin B = 0.866, cos B = 0.5,
    // sin C = -0.7071, sin D = -0.5, sin E = -0.866, cos E = 0.5.
    ArcBandsState& s = spinningArcBands;
    s.phaseA = 30, s.phaseB = 60, s.phaseC = -45, s.phaseD = -30, s.phaseE = -60;
    s.yellowPoints = 15, s.yellowDepth = 0;
    drawAt(160, 0);  // every band filled, outside the turning windows
    const double r3 = std::sqrt(3.0), r2 = std::sqrt(2.0);
    const SentBand expected[arcBandCount] = {
        // colour, depth, spin, quads (points - 1), inner, outer, step (360 / divisions)
        {{1, 1, 0}, 0, 30, 14, 1.4, 1.43, 3.6},
        {{1, 0, 0}, 3, 60, 14, 2.4, 2.5, 3.6},
        {{1, 0, 1}, -3 * r2, -45, 55, 1.4, 1.42, 3.6},        // int(61 * 0.866 + 4) = 56 points
        {{0, 0.5, 1}, 3, -30, 14, 1.4, 1.5, 3.6},
        {{1, 1, 1}, -3, -45, 29, 1.4, 1.5, 3.6},              // int(61 * 0.5) = 30 points
        {{0.1, 0.1, 0.1}, -9, 50, 5, 1.4, 1.5, 14.4},         // 10 - 3.5 points, 50 - 25 divisions
        {{-0.5, 0, 1}, -3 * r3, -60, 14, 1.4, 1.5, 3.6},
        {{0.4, 0, 0.2}, -8, -100 * r3, 64, 1.4, 1.5, 3.6},
        {{0, 1, 0}, 5, 100, 64, 1.4, 1.5, 3.6},
    };
    const auto sent = sentBands();
    ASSERT_EQ(sent.size(), size_t(arcBandCount));
    for (int i = 0; i < arcBandCount; ++i) {
        const SentBand &got = sent[i], &want = expected[i];
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got.colour[c], want.colour[c], 1e-5) << "band " << i;
        EXPECT_NEAR(got.depth, want.depth, 1e-4) << "band " << i;
        EXPECT_NEAR(got.spin, want.spin, 1e-3) << "band " << i;
        EXPECT_EQ(got.quads, want.quads) << "band " << i;
        EXPECT_NEAR(got.inner, want.inner, 1e-5) << "band " << i;
        EXPECT_NEAR(got.outer, want.outer, 1e-5) << "band " << i;
        EXPECT_NEAR(got.step, want.step, 1e-3) << "band " << i;
    }
}

TEST_F(ArcBandsTest, PhasesTurnAtTheirOwnRatesAndDirections) {
    // One frame of 1300 ms from the start: the bands that spin with a phase
    // show it. Band: 0 A (+/20), 1 B (+/10), 2 and 4 C (-/13), 3 D (-/6), 6 E (-/22).
    drawAt(160, 1300);
    const auto sent = sentBands();
    ASSERT_EQ(sent.size(), size_t(arcBandCount));
    const std::pair<int, double> spins[] = {{0, 65}, {1, 130}, {2, -100}, {4, -100}, {3, -1300 / 6.0}, {6, -1300 / 22.0}};
    for (const auto& [band, spin] : spins) EXPECT_NEAR(sent[band].spin, spin, 1e-3) << "band " << band;
}

TEST(RecordingDouble, RejectsNonFiniteGeometry) {
    gldouble::reset();
    EXPECT_NONFATAL_FAILURE(glVertex3d(0, std::nan(""), 0), "non-finite");
    EXPECT_NONFATAL_FAILURE(glTranslatef(0, 0, INFINITY), "non-finite");
    EXPECT_NONFATAL_FAILURE(glRotatef(NAN, 0, 0, 1), "non-finite");
    EXPECT_NONFATAL_FAILURE(glColor3f(1, -INFINITY, 0), "non-finite");
}

}  // namespace
