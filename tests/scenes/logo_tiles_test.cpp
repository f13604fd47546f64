#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <utility>

#include "support/gldouble/gl_double.h"
#include "scenes/logo_tiles.h"
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

// The tile a centre belongs to, from the 0.8 x 0.4 grid centred on the view axis.
std::pair<int, int> rowAndColumn(const Centre& c) {
    return {static_cast<int>(std::lround((c.y + 3) / 0.4)), static_cast<int>(std::lround((c.x + 6) / 0.8))};
}

class LogoTilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        logoTiles = LogoTilesState{};
        logoTileRates = LogoTileRates{};
        buildTileRates();
        logoTexture.glName = 9;
        gldouble::reset();
    }
    void TearDown() override { logoTexture.glName = 0; }
    void drawAt(int row, double deltaMs) {
        music.setRow(row);
        frameDeltaMs = deltaMs;
        gldouble::resetHostile(true, false);
        drawLogoTiles();
    }
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
};

TEST_F(LogoTilesTest, RatesComeFromTheDemosRandomSequence) {
    EXPECT_FLOAT_EQ(logoTileRates.depthRate[0][0], 46);
    for (int i = 0; i < logoTileCount; ++i)
        for (int j = 0; j < logoTileCount; ++j) {
            EXPECT_GE(logoTileRates.depthRate[i][j], 40);
            EXPECT_LE(logoTileRates.depthRate[i][j], 49);
            EXPECT_FLOAT_EQ(logoTileRates.spinRate[i][j], 2);
        }
}

TEST_F(LogoTilesTest, LogoIsBuiltColumnByColumnWhileItApproaches) {
    drawAt(192, 16);
    EXPECT_TRUE(gldouble::primitives().empty());

    drawAt(200, 16);
    std::set<std::pair<int, int>> tiles;
    for (const auto& p : gldouble::primitives()) {
        Centre c = centreOf(p);
        EXPECT_NEAR(c.z, -18, 1e-5);
        tiles.insert(rowAndColumn(c));
    }
    EXPECT_EQ(gldouble::primitives().size(), 128u);
    std::set<std::pair<int, int>> leftEight;
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 8; ++j) leftEight.insert({i, j});
    EXPECT_EQ(tiles, leftEight);

    for (int row : {208, 215}) {
        drawAt(row, 16);
        const auto& all = gldouble::primitives();
        ASSERT_EQ(all.size(), 256u);
        for (const auto& p : all) EXPECT_NEAR(centreOf(p).z, -10, 1e-5);
        // Bottom-left tile first, top-right last: the whole 12.8 x 6.4 picture.
        EXPECT_NEAR(all.front().vertices[0].x, -6.4, 1e-5);
        EXPECT_NEAR(all.front().vertices[0].y, -3.2, 1e-5);
        EXPECT_NEAR(all.back().vertices[2].x, 6.4, 1e-5);
        EXPECT_NEAR(all.back().vertices[2].y, 3.2, 1e-5);
    }
    EXPECT_EQ(gldouble::boundTexture(), 9u);
    EXPECT_TRUE(gldouble::primitives()[0].vertices[0].textured);
    EXPECT_TRUE(gldouble::isEnabled(GL_BLEND));
    EXPECT_EQ(gldouble::blendSource(), GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(gldouble::blendDestination(), GLenum(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_FALSE(gldouble::isEnabled(GL_DEPTH_TEST));
    // Blending is the scene's own: it turns it on from a start without it.
    gldouble::reset();
    drawLogoTiles();
    EXPECT_TRUE(gldouble::isEnabled(GL_BLEND));
}

TEST_F(LogoTilesTest, TilesStayFlatBeforeTheBurstWhateverTheFrameLength) {
    for (double delta : {16.0, 5000.0}) {
        drawAt(215, delta);
        for (const auto& p : gldouble::primitives())
            for (const auto& v : p.vertices) EXPECT_NEAR(v.z, -10, 1e-5);
    }
    for (int i = 0; i < logoTileCount; ++i)
        for (int j = 0; j < logoTileCount; ++j) {
            EXPECT_EQ(logoTiles.tileDepth[i][j], 0);
            EXPECT_EQ(logoTiles.tileSpin[i][j], 0);
        }
}

TEST_F(LogoTilesTest, EachTileShowsItsOwnCellUpright) {
    drawAt(208, 16);
    for (const auto& p : gldouble::primitives()) {
        auto [i, j] = rowAndColumn(centreOf(p));
        ASSERT_EQ(p.vertices.size(), 4u);
        const auto& bottomLeft = p.vertices[0];
        const auto& topRight = p.vertices[2];
        // Column from the left, row from the bottom; t grows downwards in the image.
        EXPECT_FLOAT_EQ(bottomLeft.s, j / 16.0f);
        EXPECT_FLOAT_EQ(bottomLeft.t, (16 - i) / 16.0f);
        EXPECT_FLOAT_EQ(topRight.s, (j + 1) / 16.0f);
        EXPECT_FLOAT_EQ(topRight.t, (15 - i) / 16.0f);
        EXPECT_LT(bottomLeft.x, topRight.x);
        EXPECT_LT(bottomLeft.y, topRight.y);
    }
}

TEST_F(LogoTilesTest, OneLongFrameMovesEveryTileByItsWholeAmount) {
    drawAt(216, 4600);
    const auto& all = gldouble::primitives();
    ASSERT_EQ(all.size(), 256u);
    for (const auto& p : all) {
        Centre c = centreOf(p);
        auto [i, j] = rowAndColumn(c);
        const double depth = 4600.0 / logoTileRates.depthRate[i][j];
        EXPECT_FLOAT_EQ(logoTiles.tileDepth[i][j], static_cast<float>(depth));
        EXPECT_FLOAT_EQ(logoTiles.tileSpin[i][j], 2300);
        EXPECT_NEAR(c.z, -10 + depth, 1e-4);
        // 2300° is 140° past six turns: the tile is seen turned about its vertical axis.
        EXPECT_NEAR(p.vertices[1].x - p.vertices[0].x, 0.8 * std::cos(140 * M_PI / 180), 1e-4);
    }
    // The bottom-left tile, rate 46 ms per unit, is 100 units nearer.
    EXPECT_NEAR(centreOf(all.front()).z, 90, 1e-4);
}

TEST_F(LogoTilesTest, TilesPaintRowByRowAndFlyAtTheGeneratorsRates) {
    // The generator as the demo describes it, run here on its own: per tile,
    // bottom row first and left to right, three numbers of which the second
    // gives the depth rate in ms per unit.
    std::uint32_t state = 1;
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state / 65536u) % 32768u);
    };
    double rate[16][16];
    for (auto& row : rate)
        for (double& r : row) {
            next();
            r = (next() % 100 + 400) / 10;
            next();
        }
    drawAt(216, 460);
    const auto& all = gldouble::primitives();
    ASSERT_EQ(all.size(), 256u);
    for (size_t k = 0; k < all.size(); ++k) {
        const int i = int(k / 16), j = int(k % 16);  // painting order: rows bottom to top
        const Centre c = centreOf(all[k]);
        EXPECT_NEAR(c.x, -6 + 0.8 * j, 1e-4) << "tile " << k;
        EXPECT_NEAR(c.y, -3 + 0.4 * i, 1e-4) << "tile " << k;
        EXPECT_NEAR(c.z, -10 + 460 / rate[i][j], 1e-4) << "tile " << k;
    }
    // Every tile turns by 460 / 2 degrees about its vertical axis.
    int turns = 0;
    for (const auto& call : gldouble::calls())
        if (call.name == "glRotatef") {
            EXPECT_EQ(call.args, (std::vector<double>{230, 0, 1, 0}));
            ++turns;
        }
    EXPECT_EQ(turns, 256);
}

}  // namespace
