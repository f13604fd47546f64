// The greetings and the closing wheels in real frames, rendered by Mesa
// through the capture path from the shipped data. One capture serves every
// test here: the credits field before them makes it the longest in the suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "support/framecapture.h"

namespace {

using testsupport::Frame;

// Mean brightness (0..765) of the screen rectangle that an eye-space
// rectangle at depth z covers, clipped to the frame.
double meanLight(const Frame& f, double x0, double y0, double x1, double y1, double z) {
    auto a = testsupport::projectToPixel(x0, y0, z, f.width, f.height);
    auto b = testsupport::projectToPixel(x1, y1, z, f.width, f.height);
    double sum = 0;
    int n = 0;
    for (int y = std::max(a[1], 0); y < std::min(b[1], f.height); ++y)
        for (int x = std::max(a[0], 0); x < std::min(b[0], f.width); ++x) {
            auto p = f.at(x, y);
            sum += p[0] + p[1] + p[2];
            ++n;
        }
    return n ? sum / n : -1;
}

class LateScenesImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { frames = testsupport::captureRows({560, 606, 700, 745}); }
    static std::map<int, Frame> frames;
};
std::map<int, Frame> LateScenesImage::frames;

// Greeting picture i (1..8) is 20 x 4, centred at (0, 20 - 4i, -44).
double greetingLight(const Frame& f, int i) {
    const double y = 20 - 4.0 * i;
    return meanLight(f, -10, y - 2, 10, y + 2, -44);
}

TEST_F(LateScenesImage, GreetingsShowTheNamesThatHaveJoinedAndFadeOutFromRow600) {
    ASSERT_TRUE(frames.count(560) && frames.count(606));
    const Frame& shown = frames[560];
    testsupport::keepFrame(shown, "greetings-row560.png");
    // By row 560 six pictures have joined: the third is lit, the seventh's
    // place shows only the glow behind it.
    EXPECT_GT(greetingLight(shown, 3), 2 * greetingLight(shown, 7) + 20);
    // The title stands upright at the left: 4 wide and 20 high at (-18, 0, -30).
    EXPECT_GT(meanLight(shown, -20, -10, -16, 10, -30), 40);

    // Half a second after row 600 everything is dark.
    const Frame& faded = frames[606];
    testsupport::keepFrame(faded, "greetings-row606.png");
    EXPECT_LT(greetingLight(faded, 3), 3);
    EXPECT_LT(meanLight(faded, -20, -10, -16, 10, -30), 3);
}

TEST_F(LateScenesImage, TheWheelsTurnBeforeTheBackdropThenFadeToTheCaption) {
    ASSERT_TRUE(frames.count(700) && frames.count(745));
    const Frame& wheels = frames[700];
    testsupport::keepFrame(wheels, "wheels-row700.png");
    // The backdrop's sky shows at the left edge, above the horizon.
    auto sky = wheels.at(2, wheels.height * 3 / 4);
    EXPECT_GT(sky[0] + sky[1] + sky[2], 30);

    // From row 740 backdrop and wheels fade to black within half a second;
    // the caption, 3 wide and centred 2 units away, keeps its light until
    // row 750, at its full 0.4 height.
    const Frame& faded = frames[745];
    testsupport::keepFrame(faded, "wheels-row745.png");
    EXPECT_EQ(faded.at(2, faded.height * 3 / 4), (std::array<int, 3>{0, 0, 0}));
    EXPECT_GT(meanLight(faded, -1.2, -0.15, 1.2, 0.15, -2), 40);
    EXPECT_LT(meanLight(faded, -1.2, 0.25, 1.2, 0.6, -2), 1);
    EXPECT_LT(meanLight(faded, -1.2, -0.6, 1.2, -0.25, -2), 1);
}

}  // namespace
