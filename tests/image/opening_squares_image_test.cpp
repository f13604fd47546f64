// The opening squares in real frames, rendered by Mesa through the capture
// path from the shipped data.
#include <gtest/gtest.h>

#include "support/framecapture.h"

namespace {

using testsupport::Frame;

class OpeningSquaresImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { frames = testsupport::captureRows({30, 34, 50}); }
    static std::map<int, Frame> frames;
};
std::map<int, Frame> OpeningSquaresImage::frames;

TEST_F(OpeningSquaresImage, RectangleEightShowsItsColourAtItsProjectedCentre) {
    ASSERT_TRUE(frames.count(30));
    const Frame& f = frames[30];
    testsupport::keepFrame(f, "opening-row30.png");
    auto at = testsupport::projectToPixel(10.4, -8.7, -80, f.width, f.height);
    auto pixel = f.at(at[0], at[1]);
    // Magenta fading in: red and blue at the rectangle's level, no green yet.
    EXPECT_GT(pixel[0], 60);
    EXPECT_NEAR(pixel[0], pixel[2], 2);
    EXPECT_LE(pixel[1], 2);
    // Away from every shape the cleared background shows.
    EXPECT_EQ(f.at(f.width - 3, f.height - 3), (std::array<int, 3>{0, 0, 0}));
    // The picture at the left, seen at its steep angle, shows at its grey level.
    auto picture = testsupport::projectToPixel(-15, 0, -34, f.width, f.height);
    auto inPicture = f.at(picture[0], picture[1]);
    EXPECT_GT(inPicture[0] + inPicture[1] + inPicture[2], 30);
}

TEST_F(OpeningSquaresImage, TheFlashFillsTheBackgroundWithWhite) {
    ASSERT_TRUE(frames.count(34));
    const Frame& f = frames[34];
    testsupport::keepFrame(f, "opening-row34.png");
    for (auto [x, y] : {std::pair{2, 2}, std::pair{f.width - 3, f.height - 3}, std::pair{f.width / 2, 2}}) {
        EXPECT_EQ(f.at(x, y), (std::array<int, 3>{255, 255, 255})) << x << "," << y;
    }
}

TEST_F(OpeningSquaresImage, AfterTheSceneTheScreenIsClearedToTheFadesBlack) {
    ASSERT_TRUE(frames.count(50));
    const Frame& f = frames[50];
    EXPECT_EQ(f.row, 50);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            ASSERT_EQ(f.at(x, y), (std::array<int, 3>{0, 0, 0})) << x << "," << y;
        }
    }
}

}  // namespace
