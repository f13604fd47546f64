// The capture's own RGB to 4:2:0 conversion, which the video encoder takes
// as it comes: the reference colours, where each row lands, and the chroma
// of mixed 2x2 squares.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "yuv.h"

namespace {

using Rgb = std::array<int, 3>;
using Yuv = std::array<int, 3>;

// A 2x2 picture of one colour, converted.
Yuv convertFlat(const Rgb& c) {
    std::vector<unsigned char> rgba;
    for (int i = 0; i < 4; ++i) rgba.insert(rgba.end(), {static_cast<unsigned char>(c[0]),
                                                         static_cast<unsigned char>(c[1]),
                                                         static_cast<unsigned char>(c[2]), 255});
    std::vector<unsigned char> planes;
    rgbaToYuv420(rgba, 2, 2, planes);
    EXPECT_EQ(planes.size(), 6u);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(planes[i], planes[0]);
    return {planes[0], planes[4], planes[5]};
}

}  // namespace

TEST(Yuv420, ReferenceColoursComeOutAsBt601LimitedRange) {
    // Y', Cb, Cr of the colour bars in 8-bit BT.601 (within one level).
    const std::pair<Rgb, Yuv> table[] = {
        {{0, 0, 0}, {16, 128, 128}},       {{255, 255, 255}, {235, 128, 128}}, {{255, 0, 0}, {81, 90, 240}},
        {{0, 255, 0}, {145, 54, 34}},      {{0, 0, 255}, {41, 240, 110}},      {{255, 255, 0}, {210, 16, 146}},
        {{128, 128, 128}, {126, 128, 128}},
    };
    for (const auto& [rgb, yuv] : table) {
        const Yuv got = convertFlat(rgb);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], yuv[c], 1) << rgb[0] << "," << rgb[1] << "," << rgb[2] << " channel " << c;
    }
}

// Against BT.601's exact weights over a sweep of flat colours: the integer
// weights are off by less than a level and by nothing on average. A weight
// one off shifts a channel by half a level on average.
TEST(Yuv420, EveryChannelIsWithinALevelOfTheExactWeightsAndUnbiased) {
    std::array<double, 3> sum{}, worst{};
    int n = 0;
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15, ++n) {
                const Yuv got = convertFlat({r, g, b});
                const double exact[3] = {16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255,
                                         128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255,
                                         128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255};
                for (int c = 0; c < 3; ++c) {
                    sum[c] += got[c] - exact[c];
                    worst[c] = std::max(worst[c], std::abs(got[c] - exact[c]));
                }
            }
    for (int c = 0; c < 3; ++c) {
        EXPECT_LT(worst[c], 1.0) << "channel " << c;
        EXPECT_LT(std::abs(sum[c] / n), 0.1) << "channel " << c;
    }
}

TEST(Yuv420, RowsComeUprightAndChromaIsTheMeanOfEachSquare) {
    // 4x2, GL's order: the bottom row first. Left square: white on top of
    // black (mean grey); right square: red on top, blue below.
    const std::vector<unsigned char> bottomUp = {
        0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255,            // bottom row
        255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 255, 0, 0, 255,  // top row
    };
    std::vector<unsigned char> planes;
    rgbaToYuv420(bottomUp, 4, 2, planes);
    ASSERT_EQ(planes.size(), 8u + 2 + 2);
    const int luma[8] = {235, 235, 81, 81, 16, 16, 41, 41};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(planes[i], luma[i], 1) << "pixel " << i;
    EXPECT_EQ(planes[8], 128);   // Cb of the grey square
    EXPECT_EQ(planes[10], 128);  // its Cr
    EXPECT_NEAR(planes[9], (90 + 240) / 2, 1);    // Cb of red over blue
    EXPECT_NEAR(planes[11], (240 + 110) / 2, 1);  // its Cr
}
