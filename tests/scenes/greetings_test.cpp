#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "support/gldouble/gl_double.h"
#include "scenes/greetings.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"
#include "textures/textures.h"

namespace {

constexpr GLuint titleName = 100;  // greetTextures[i] is named 100 + i here

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

class GreetingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        greetings = GreetingsState{};
        for (int i = 0; i < greetTextureCount; ++i) greetTextures[i].glName = titleName + i;
    }
    void TearDown() override {
        for (auto& t : greetTextures) t.glName = 0;
    }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(true, false);
        drawGreetings();
    }
    // The greeting pictures of the last frame, first to last.
    static std::vector<gldouble::Primitive> pictures() {
        std::vector<gldouble::Primitive> list;
        for (const auto& p : gldouble::primitives())
            if (p.vertices[0].texture > titleName) list.push_back(p);
        return list;
    }
    static const gldouble::Primitive& title() {
        for (const auto& p : gldouble::primitives())
            if (p.vertices[0].texture == titleName) return p;
        throw std::runtime_error("no title drawn");
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
};

TEST_F(GreetingsTest, FadesInFromBlackOverHalfASecond) {
    drawAt(473, 100);
    EXPECT_FLOAT_EQ(greetings.darkness, 0.8f);
    EXPECT_FLOAT_EQ(float(title().vertices[0].r), 0.2f);
    // The glow's colours are darkened below 0 alike; OpenGL clamps them.
    EXPECT_FLOAT_EQ(float(gldouble::primitives()[0].vertices[0].r), 0.04f - 0.8f);
    for (int i = 0; i < 3; ++i) drawAt(474, 100);
    drawAt(474, 101);  // 500 ms in all, past float rounding
    EXPECT_FLOAT_EQ(greetings.darkness, 0.0f);
    EXPECT_EQ(greetings.darknessState, 1);
    EXPECT_FLOAT_EQ(float(title().vertices[0].r), 1.0f);
    drawAt(474, 1000);  // shown: long frames change nothing
    EXPECT_FLOAT_EQ(greetings.darkness, 0.0f);
}

TEST_F(GreetingsTest, PicturesJoinOnTheirRows) {
    const int rows[] = {482, 483, 493, 494, 505, 514, 526, 546, 562, 578, 583, 606};
    const size_t counts[] = {0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9};
    for (size_t i = 0; i < std::size(rows); ++i) {
        drawAt(rows[i], 16);
        EXPECT_EQ(pictures().size(), counts[i]) << "row " << rows[i];
        EXPECT_EQ(greetings.greetCount, int(counts[i]));
    }
}

TEST_F(GreetingsTest, PicturesHangInAColumnAndKrundIsALongStrip) {
    for (int i = 0; i < 6; ++i) drawAt(600 - 1, 100);
    auto list = pictures();
    ASSERT_EQ(list.size(), 9u);
    for (int i = 1; i <= 9; ++i) {
        Centre c = centreOf(list[i - 1]);
        EXPECT_NEAR(c.x, 0, 1e-9) << i;
        EXPECT_NEAR(c.y, 20 - 4 * i, 1e-9) << i;
        EXPECT_NEAR(c.z, -44, 1e-9) << i;
        EXPECT_EQ(list[i - 1].vertices[0].texture, titleName + i);
    }
    const auto& first = list[0].vertices;
    EXPECT_NEAR(first[2].x - first[0].x, 20, 1e-9);
    EXPECT_NEAR(first[2].y - first[0].y, 4, 1e-9);
    const auto& krund = list[8].vertices;
    EXPECT_NEAR(krund[2].x - krund[0].x, 32, 1e-9);
    EXPECT_NEAR(krund[2].y - krund[0].y, 2, 1e-9);
    // The title stands upright at the left, 4 wide and 20 high.
    Centre t = centreOf(title());
    EXPECT_NEAR(t.x, -18, 1e-9);
    EXPECT_NEAR(t.z, -30, 1e-9);
    const auto& tv = title().vertices;
    EXPECT_NEAR(std::fabs(tv[2].x - tv[0].x), 4, 1e-6);
    EXPECT_NEAR(std::fabs(tv[2].y - tv[0].y), 20, 1e-6);
}

TEST_F(GreetingsTest, NewestPictureFadesInThenFollowsTheScene) {
    for (int i = 0; i < 5; ++i) drawAt(480, 100);  // fully faded in
    drawAt(483, 100);
    ASSERT_EQ(pictures().size(), 1u);
    EXPECT_FLOAT_EQ(float(pictures()[0].vertices[0].a), 0.0f);
    drawAt(484, 250);
    EXPECT_FLOAT_EQ(float(pictures()[0].vertices[0].a), 0.2f);
    drawAt(485, 250);
    EXPECT_FLOAT_EQ(float(pictures()[0].vertices[0].a), 0.7f);  // now past 1: done
    EXPECT_FALSE(greetings.newGreetFading);
    drawAt(486, 16);
    EXPECT_FLOAT_EQ(float(pictures()[0].vertices[0].a), 1.0f);
    EXPECT_EQ(gldouble::blendDestination(), GLenum(GL_ONE));  // pictures add their light
}

TEST_F(GreetingsTest, ANewPictureDuringAFadeTakesOverTheFade) {
    for (int i = 0; i < 5; ++i) drawAt(480, 100);
    drawAt(483, 300);
    drawAt(494, 100);  // the first is still fading in at 0.6
    auto list = pictures();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_FLOAT_EQ(float(list[0].vertices[0].a), 1.0f);  // jumps to full
    EXPECT_FLOAT_EQ(float(list[1].vertices[0].a), 0.6f);  // carries on from the alpha reached
}

TEST_F(GreetingsTest, AFrameCrossingTwoRowsShowsBothButFadesOnlyTheLast) {
    for (int i = 0; i < 5; ++i) drawAt(483, 200);  // the first has faded in
    drawAt(505, 100);
    auto list = pictures();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FLOAT_EQ(float(list[0].vertices[0].a), 1.0f);
    EXPECT_FLOAT_EQ(float(list[1].vertices[0].a), 1.0f);
    EXPECT_FLOAT_EQ(float(list[2].vertices[0].a), 0.0f);
}

TEST_F(GreetingsTest, FadesOutToBlackFromRow600) {
    for (int row = 590; row < 600; ++row) drawAt(row, 100);  // shown up to row 599
    drawAt(600, 100);
    EXPECT_FLOAT_EQ(greetings.darkness, 0.0f);  // starts on the next frame
    drawAt(601, 250);
    EXPECT_FLOAT_EQ(greetings.darkness, 0.5f);
    EXPECT_FLOAT_EQ(float(pictures()[0].vertices[0].a), 0.5f);
    drawAt(602, 300);
    EXPECT_FLOAT_EQ(greetings.darkness, 1.0f);  // held at black
    drawAt(606, 100);
    EXPECT_FLOAT_EQ(greetings.darkness, 1.0f);
    for (const auto& p : pictures()) {
        EXPECT_FLOAT_EQ(float(p.vertices[0].r), 0.0f);
        EXPECT_FLOAT_EQ(float(p.vertices[0].a), 0.0f);
    }
    EXPECT_FLOAT_EQ(float(title().vertices[0].r), 0.0f);
}

// One band of the glow as sent to GL: the colour current then, its depth,
// its turn and the shape of its first quad.
struct GlowBand {
    std::array<double, 3> colour;
    double depth = 0, spin = 0;
    std::array<double, 3> axis{};
    int quads = 0;
    double inner = 0, outer = 0, step = 0;
};

TEST_F(GreetingsTest, GlowLayersSendTheirTabledBands) {
    greetings.darkness = 0.25f;
    greetings.darknessState = 1;
    drawAt(500, 520);  // from the start: ring phase 520 / 52 = 10, ring spin 520 / 10 = 52
    std::vector<GlowBand> bands;
    std::array<double, 3> colour{};
    std::vector<double> glowShift;
    size_t primitive = 0;
    int level = 0;
    for (const auto& c : gldouble::calls()) {
        if (c.name == "glColor3f") colour = {c.args[0], c.args[1], c.args[2]};
        if (c.name == "glPushMatrix" && ++level == 2) bands.push_back({colour});
        if (c.name == "glPopMatrix" && --level == 0) break;
        if (c.name == "glTranslatef" && level == 1) glowShift = c.args;
        if (level != 2) continue;
        GlowBand& b = bands.back();
        if (c.name == "glTranslatef") b.depth = c.args[2];
        if (c.name == "glRotatef") b.spin = c.args[0], b.axis = {c.args[1], c.args[2], c.args[3]};
        if (c.name == "glBegin") {
            EXPECT_EQ(gldouble::primitives()[primitive].vertices[0].texture, 0u) << "untextured";
        }
        if (c.name == "glBegin" && b.quads++ == 0) {
            const auto& v = gldouble::primitives()[primitive].vertices;  // (a', b', a), (a, b, a), (A, B, A), ...
            b.inner = std::hypot(v[1].objX, v[1].objY);
            b.outer = std::hypot(v[2].objX, v[2].objY);
            b.step = std::atan2(v[1].objX, v[1].objY) * 180 / M_PI;
        }
        if (c.name == "glBegin") ++primitive;
    }
    ASSERT_EQ(glowShift.size(), 3u);
    EXPECT_EQ(glowShift[0], 0);
    EXPECT_EQ(glowShift[1], 0);
    EXPECT_NEAR(glowShift[2], std::sin(10 * M_PI / 180) - 2, 1e-6);
    ASSERT_EQ(bands.size(), 60u);
    const std::array<double, 3> a{0, 1, 1}, b{1, 0.1, 0.4};
    for (int n = 50; n < 60; ++n) {
        const int k = n - 50;
        const double d = n - 80;
        const GlowBand expected[6] = {
            {{-0.21, -0.25, -0.23}, d, 10.0 * (k + 10), a, n - 1, 10, 10.4, 18},
            {{-0.24, -0.2, -0.25}, d, 52, b, n - 1, 11, 11.4, 3.6},
            {{-0.24, -0.2, -0.25}, d, 52, a, n - 1, 11, 11.4, 3.6},
            {{-0.25, -0.2, -0.25}, d, 62, a, n - 1, 10, 10.4, 3.6},
            {{-0.25, -0.2, -0.25}, d, 62, b, n - 1, 10, 10.4, 3.6},
            {{-0.25, -0.25, -0.22}, -24, 52, b, 49, 7.5, 7.54, 360.0 / (n + 50)},
        };
        for (int i = 0; i < 6; ++i) {
            const GlowBand &got = bands[size_t(k * 6 + i)], &want = expected[i];
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(got.colour[c], want.colour[c], 1e-6) << "layer " << n << " band " << i;
                EXPECT_NEAR(got.axis[c], want.axis[c], 1e-6) << "layer " << n << " band " << i;
            }
            EXPECT_NEAR(got.depth, want.depth, 1e-6) << "layer " << n << " band " << i;
            EXPECT_NEAR(got.spin, want.spin, 1e-4) << "layer " << n << " band " << i;
            EXPECT_EQ(got.quads, want.quads) << "layer " << n << " band " << i;
            EXPECT_NEAR(got.inner, want.inner, 1e-5) << "layer " << n << " band " << i;
            EXPECT_NEAR(got.outer, want.outer, 1e-5) << "layer " << n << " band " << i;
            EXPECT_NEAR(got.step, want.step, 1e-4) << "layer " << n << " band " << i;
        }
    }
}

TEST(GreetingsBands, LieInThePlaneZEqualsXAndJoinNeighbouringPoints) {
    gldouble::reset();
    drawTiltedBandA(3, 20, 10, 10.4, 0, -24);
    const auto& quads = gldouble::primitives();
    ASSERT_EQ(quads.size(), 2u);  // points - 1
    const double s18 = std::sin(18 * M_PI / 180), c18 = std::cos(18 * M_PI / 180);
    const auto& q = quads[0].vertices;
    ASSERT_EQ(q.size(), 4u);
    // Inner point at 0 deg, inner and outer at 18 deg, outer at 0 deg; the z
    // of all four comes from the current (18 deg) point.
    EXPECT_NEAR(q[0].x, 0, 1e-5);
    EXPECT_NEAR(q[0].y, 10, 1e-5);
    EXPECT_NEAR(q[0].z, 10 * s18 - 24, 1e-5);
    EXPECT_NEAR(q[1].x, 10 * s18, 1e-5);
    EXPECT_NEAR(q[1].y, 10 * c18, 1e-5);
    EXPECT_NEAR(q[2].x, 10.4 * s18, 1e-5);
    EXPECT_NEAR(q[2].z, 10.4 * s18 - 24, 1e-5);
    EXPECT_NEAR(q[3].x, 0, 1e-5);
    EXPECT_NEAR(q[3].y, 10.4, 1e-5);
    EXPECT_NEAR(q[3].z, 10.4 * s18 - 24, 1e-5);
    EXPECT_EQ(gldouble::modelviewDepth(), 1u);

    gldouble::reset();
    drawTiltedBandB(1, 100, 11, 11.4, 30, -21);
    EXPECT_TRUE(gldouble::primitives().empty());

    // Turning about the band's own axis keeps points on that axis: B's is (1, 0.1, 0.4).
    gldouble::reset();
    drawTiltedBandB(2, 4, 0, 1, 90, 0);  // the second outer point: (1, 0, 1) before the turn
    const auto& v = gldouble::primitives()[0].vertices[2];
    const double len = std::sqrt(1 + 0.01 + 0.16);
    const double along = (v.x * 1 + v.y * 0.1 + v.z * 0.4) / len;
    EXPECT_NEAR(along, (1 + 0.4) / len, 1e-5);
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), std::sqrt(2.0), 1e-5);
}

}  // namespace
