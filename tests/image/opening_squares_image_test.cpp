// Frames rendered by real Mesa through the real frame routine.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <lodepng.h>
#include <string>
#include <vector>

#include "platform/window.h"
#include "scenes/opening_squares.h"
#include "shell/entry.h"
#include "shell/frametimer.h"
#include "shell/window.h"
#include "support/musicclock.h"
#include "support/support.h"
#include "textures/textures.h"

namespace {

// Writes the back buffer to $TARNWICK_IMAGE_DIR/name when that is set, so a
// person can look at the frame.
void keepFrame(const char* name) {
    const char* dir = std::getenv("TARNWICK_IMAGE_DIR");
    if (!dir) return;
    std::vector<unsigned char> pixels(1280 * 720 * 4), flipped(pixels.size());
    glReadPixels(0, 0, 1280, 720, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (int y = 0; y < 720; ++y)
        std::copy_n(&pixels[size_t(719 - y) * 1280 * 4], 1280 * 4, &flipped[size_t(y) * 1280 * 4]);
    for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255;
    lodepng_encode32_file((std::string(dir) + "/" + name).c_str(), flipped.data(), 1280, 720);
}

// Window pixel of an eye-space point under the demo's projection.
std::array<int, 2> project(double x, double y, double z) {
    double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    double aspect = 1280.0 / 720.0;
    double ndcX = f / aspect * x / -z, ndcY = f * y / -z;
    return {static_cast<int>((ndcX + 1) * 640), static_cast<int>((ndcY + 1) * 360)};
}

TEST(OpeningSquaresImage, RectangleEightShowsItsColourAtItsProjectedCentre) {
    isFullscreen = false;
    ASSERT_TRUE(openWindow());
    glEnable(GL_TEXTURE_2D);
    std::string picture = testsupport::sourceDir() + "/data/Grafik/plim.png";
    ASSERT_NE(loadTexture(picture.c_str(), plimTexture), 0u);

    testsupport::ManualMusic music;
    music.setRow(30);
    openingSquares = OpeningSquaresState{};
    platform::useManualCounter(1'000'000, 0);
    startFrameTimer();
    platform::setManualCounter(250'000);  // a frame of 250 ms: rectangle 8 at half its level

    ASSERT_TRUE(renderFrame());
    glFinish();
    keepFrame("opening-row30.png");
    auto at = project(10.4, -8.7, -80);
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadPixels(at[0], at[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_NEAR(pixel[0], 128, 2);
    EXPECT_NEAR(pixel[1], 0, 2);
    EXPECT_NEAR(pixel[2], 128, 2);

    // Away from every shape the cleared background shows.
    unsigned char corner[4] = {255, 255, 255, 255};
    glReadPixels(1270, 710, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[1], 0);

    // The picture at the left, seen at its steep angle, shows at its grey level.
    auto pictureCentre = project(-15, 0, -34);
    unsigned char inPicture[4] = {0, 0, 0, 0};
    glReadPixels(pictureCentre[0], pictureCentre[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, inPicture);
    EXPECT_GT(inPicture[0] + inPicture[1] + inPicture[2], 30);

    platform::useSystemCounter();
    closeWindow();
}

}  // namespace
