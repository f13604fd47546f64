// The arc bands, the logo tiles and the tumbling cubes in real frames,
// rendered by Mesa through the capture path from the shipped data.
#include <gtest/gtest.h>
#include <lodepng.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "scenes/arc_bands.h"
#include "support/framecapture.h"
#include "support/support.h"

namespace {

using testsupport::Frame;

constexpr double pi = 3.14159265358979323846;
const double focal = 1.0 / std::tan(22.5 * pi / 180.0);  // the demo's 45-degree view

// An eye-space point on the plane at depth z seen through the pixel centre
// (x from the left, y from the bottom).
std::array<double, 2> eyeAt(const Frame& f, double px, double py, double z) {
    const double aspect = static_cast<double>(f.width) / f.height;
    const double ndcX = (px + 0.5) / f.width * 2 - 1, ndcY = (py + 0.5) / f.height * 2 - 1;
    return {ndcX * aspect / focal * -z, ndcY / focal * -z};
}

std::array<int, 3> expectedColour(float r, float g, float b) {
    auto level = [](float c) { return static_cast<int>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); };
    return {level(r), level(g), level(b)};
}

// ---- Arc bands ------------------------------------------------------------

constexpr double sceneDepth = -10;  // the scene's whole group sits this far away

double spanDegrees(const ArcBand& b) { return (static_cast<int>(b.points) - 1) * 360.0 / static_cast<int>(b.divisions); }
bool drawsSomething(const ArcBand& b) { return static_cast<int>(b.points) > 1 && static_cast<int>(b.divisions) > 0; }

// Whether the band, with a margin, could cover the pixel.
bool mayCover(const ArcBand& b, const Frame& f, double px, double py) {
    if (!drawsSomething(b)) return false;
    const double z = sceneDepth + b.depth;
    if (z > -0.5) return true;  // at or behind the eye: anything may show
    auto [x, y] = eyeAt(f, px, py, z);
    const double r = std::hypot(x, y);
    if (r < b.innerRadius - 0.05 || r > b.outerRadius + 0.05) return false;
    // Undo the spin, then measure clockwise from straight up.
    const double s = b.spin * pi / 180.0;
    const double ux = x * std::cos(s) + y * std::sin(s), uy = -x * std::sin(s) + y * std::cos(s);
    double theta = std::atan2(ux, uy) * 180.0 / pi;
    if (theta < -5) theta += 360;
    return theta > -5 && theta < spanDegrees(b) + 5;
}

TEST(ArcBandsImage, EveryBandThatNothingCoversShowsItsColourHalfwayAlongItsArc) {
    // Row 150 lies between the turning windows, so the group faces the viewer.
    auto frames = testsupport::captureRows({150}, {1280, 720, 30});
    ASSERT_TRUE(frames.count(150));
    const Frame& f = frames[150];
    testsupport::keepFrame(f, "arc-bands-row150.png");
    const ArcBandsState& s = spinningArcBands;

    int checked = 0;
    for (int i = 0; i < arcBandCount; ++i) {
        const ArcBand& b = s.arcBands[i];
        if (!drawsSomething(b)) continue;
        const double z = sceneDepth + b.depth;
        if (z > -1) continue;
        // Too thin on screen to hit reliably.
        const double widthPixels = (b.outerRadius - b.innerRadius) / -z * focal * f.height / 2;
        if (widthPixels < 4) continue;
        const double mid = spanDegrees(b) / 2 * pi / 180.0, spin = b.spin * pi / 180.0;
        const double r = (b.innerRadius + b.outerRadius) / 2;
        const double x0 = r * std::sin(mid), y0 = r * std::cos(mid);
        const double x = x0 * std::cos(spin) - y0 * std::sin(spin), y = x0 * std::sin(spin) + y0 * std::cos(spin);
        auto p = testsupport::projectToPixel(x, y, z, f.width, f.height);
        if (p[0] < 1 || p[1] < 1 || p[0] >= f.width - 1 || p[1] >= f.height - 1) continue;
        bool covered = false;
        for (int j = 0; j < arcBandCount; ++j)
            if (j != i && mayCover(s.arcBands[j], f, p[0], p[1])) covered = true;
        if (covered) continue;
        auto want = expectedColour(b.red, b.green, b.blue);
        auto got = f.at(p[0], p[1]);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 3) << "band " << i << " channel " << c;
        ++checked;
    }
    // The frame at row 150 leaves several bands in the clear.
    EXPECT_GE(checked, 3);
    // Every band is a ring: the middle of the screen stays black.
    EXPECT_EQ(f.at(f.width / 2, f.height / 2), (std::array<int, 3>{0, 0, 0}));
}

// ---- Logo tiles -----------------------------------------------------------

struct Picture {
    unsigned width = 0, height = 0;
    std::unique_ptr<unsigned char, decltype(&std::free)> rgba{nullptr, &std::free};
    // Bilinear filtering at texture coordinates (s, t), t = 0 at the top row,
    // as GL samples a texture uploaded top row first.
    std::array<double, 4> sample(double s, double t) const {
        const double u = s * width - 0.5, v = t * height - 0.5;
        const int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
        const double fu = u - u0, fv = v - v0;
        std::array<double, 4> out{};
        for (int dv = 0; dv < 2; ++dv)
            for (int du = 0; du < 2; ++du) {
                const int x = std::clamp(u0 + du, 0, static_cast<int>(width) - 1);
                const int y = std::clamp(v0 + dv, 0, static_cast<int>(height) - 1);
                const double w = (du ? fu : 1 - fu) * (dv ? fv : 1 - fv);
                for (int c = 0; c < 4; ++c) out[c] += w * rgba.get()[(static_cast<std::size_t>(y) * width + x) * 4 + c];
            }
        return out;
    }
};

TEST(LogoTilesImage, TheWholeLogoAtRow210IsThePictureItselfWithoutSeams) {
    auto frames = testsupport::captureRows({210}, {1280, 720, 30});
    ASSERT_TRUE(frames.count(210));
    const Frame& f = frames[210];
    testsupport::keepFrame(f, "logo-tiles-row210.png");

    Picture logo;
    unsigned char* pixels = nullptr;
    const std::string path = testsupport::sourceDir() + "/data/Grafik/tarnwicklogo.png";
    ASSERT_EQ(lodepng_decode32_file(&pixels, &logo.width, &logo.height, path.c_str()), 0u);
    logo.rgba.reset(pixels);

    // Sixteen by sixteen tiles of 0.8 x 0.4 centred from (-6, -3), at depth -10.
    constexpr double left = -6.4, bottom = -3.2, wide = 12.8, high = 6.4, depth = -10;
    int compared = 0, off = 0, seamCompared = 0, seamOff = 0;
    for (int py = 0; py < f.height; ++py) {
        for (int px = 0; px < f.width; ++px) {
            auto [x, y] = eyeAt(f, px, py, depth);
            const double s = (x - left) / wide, v = (y - bottom) / high;
            // Leave out the picture's own border, where wrapping blends in the far side.
            if (s < 0.003 || s > 0.997 || v < 0.006 || v > 0.994) continue;
            auto texel = logo.sample(s, 1 - v);
            auto got = f.at(px, py);
            bool near = true;
            for (int c = 0; c < 3; ++c) {
                // Blended over the black background by the picture's alpha.
                const double want = texel[c] * texel[3] / 255.0;
                if (std::abs(got[c] - want) > 24) near = false;
            }
            ++compared;
            if (!near) ++off;
            // Pixels that straddle a boundary between two tiles.
            const double column = s * 16, row = v * 16;
            const bool seam = std::abs(column - std::round(column)) < 0.02 || std::abs(row - std::round(row)) < 0.02;
            if (seam) {
                ++seamCompared;
                if (!near) ++seamOff;
            }
        }
    }
    ASSERT_GT(compared, 500000);
    ASSERT_GT(seamCompared, 10000);
    // Sharp edges in the picture may land a pixel apart; a gap or a shifted
    // tile would put whole lines off.
    EXPECT_LT(off, compared / 100) << off << " of " << compared << " pixels differ from the picture";
    EXPECT_LT(seamOff, seamCompared / 50) << seamOff << " of " << seamCompared << " seam pixels differ";
    // Beyond the logo the screen is black.
    EXPECT_EQ(f.at(4, 4), (std::array<int, 3>{0, 0, 0}));
}

// ---- Tumbling cubes -------------------------------------------------------

TEST(TumblingCubesImage, EveryCubeShowsAtItsCentreAndTheGapsStayBlack) {
    auto frames = testsupport::captureRows({260}, {640, 360, 30});
    ASSERT_TRUE(frames.count(260));
    const Frame& f = frames[260];
    testsupport::keepFrame(f, "tumbling-cubes-row260.png");
    // The cube centres in eye coordinates before the approach from row 264:
    // each one's offset adds to the one before, from (0, 0, -10).
    const double centres[10][3] = {{-4, -4, -20}, {-6, 0, -20}, {2, -4, -20}, {0, 5, -20}, {-2, 0, -23},
                                   {-4, 1, -23},  {2, -3, -22}, {4, 1, -22},  {6, 5, -22}, {8, 1, -28}};
    for (const auto& c : centres) {
        auto p = testsupport::projectToPixel(c[0], c[1], c[2], f.width, f.height);
        auto pixel = f.at(p[0], p[1]);
        EXPECT_GT(pixel[0] + pixel[1] + pixel[2], 45) << "cube at " << c[0] << "," << c[1] << "," << c[2];
    }
    for (auto [x, y, z] : {std::array<double, 3>{0, 0, -20}, {-5, -2, -20}, {4, -6, -20}}) {
        auto p = testsupport::projectToPixel(x, y, z, f.width, f.height);
        EXPECT_EQ(f.at(p[0], p[1]), (std::array<int, 3>{0, 0, 0})) << "between the cubes at " << x << "," << y;
    }
}

}  // namespace
