// The two scenes that send their geometry in batches, rendered by real Mesa
// both ways: the credits field cube by cube and batched, the closing wheels
// segment by segment and a wheel at a time.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <functional>
#include <lodepng.h>
#include <memory>
#include <string>
#include <vector>

#include "scenes/closing_wheels.h"
#include "scenes/credits_field.h"
#include "scenes/framedelta.h"
#include "shell/window.h"
#include "support/musicclock.h"
#include "support/support.h"
#include "textures/textures.h"

namespace {

constexpr int width = 1280, height = 720;

class BatchedDrawingImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        isFullscreen = false;
        std::string why;
        ASSERT_TRUE(openWindow(why)) << why;
        const std::string pictures = testsupport::sourceDir() + "/data/Grafik/";
        ASSERT_NE(loadTexture((pictures + "bord.png").c_str(), bord2Texture), 0u);
        ASSERT_NE(loadTexture((pictures + "bord.png").c_str(), bordTexture), 0u);
        ASSERT_NE(loadTexture((pictures + "bak.png").c_str(), bakTexture), 0u);
        ASSERT_NE(loadTexture((pictures + "end.png").c_str(), endTexture), 0u);
    }
    static void TearDownTestSuite() {
        bord2Texture.glName = bordTexture.glName = bakTexture.glName = endTexture.glName = 0;
        closeWindow();
    }
    static void clearFrame() {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    static std::vector<unsigned char> readFrame() {
        glFinish();
        std::vector<unsigned char> pixels(size_t(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    // One frame as the frame loop draws it: cleared, from the identity, with
    // the field's state fresh apart from the time base.
    void drawFrame(double seconds, bool everyFace, float plasmaTime) {
        music.setSeconds(seconds);
        auto fresh = std::make_unique<CreditsFieldState>();
        creditsField = *fresh;
        creditsField.drawEveryFace = everyFace;
        creditsField.plasmaTime = plasmaTime;
        frameDeltaMs = 16;
        clearFrame();
        drawCreditsField();
    }
    std::vector<unsigned char> render(double seconds, bool everyFace, float plasmaTime) {
        drawFrame(seconds, everyFace, plasmaTime);
        return readFrame();
    }
    testsupport::ManualMusic music;  // 120 bpm from 0 s: row 280 begins at 35 s
};

// Pixels where the two differ by more than one step in some channel.
std::vector<bool> differences(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    std::vector<bool> marks(size_t(width) * height);
    for (size_t p = 0; p < marks.size(); ++p)
        for (int ch = 0; ch < 3; ++ch) marks[p] = marks[p] || std::abs(int(a[p * 4 + ch]) - int(b[p * 4 + ch])) > 1;
    return marks;
}

// The largest number of differing pixels in any 3 x 3 square: a face drawn
// in the wrong place or left out shows as a solid patch.
int densestSquare(const std::vector<bool>& marks) {
    int densest = 0;
    for (int y = 1; y + 1 < height; ++y)
        for (int x = 1; x + 1 < width; ++x) {
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) n += marks[size_t(y + dy) * width + x + dx];
            densest = std::max(densest, n);
        }
    return densest;
}

// The two drawings of one frame agree but for single pixels: under 1 % of the
// lit pixels differ by more than one step, and never more than 5 in a 3 x 3
// square. With TARNWICK_IMAGE_DIR set, reference, batched and their
// difference are written side by side as `name`.
void expectAlike(const std::vector<unsigned char>& reference, const std::vector<unsigned char>& batched,
                 const std::string& name) {
    const auto marks = differences(reference, batched);
    size_t lit = 0, differing = 0;
    for (size_t p = 0; p < marks.size(); ++p) {
        lit += reference[p * 4] + reference[p * 4 + 1] + reference[p * 4 + 2] > 0;
        differing += marks[p];
    }
    const int densest = densestSquare(marks);
    if (const char* dir = std::getenv("TARNWICK_IMAGE_DIR")) {
        std::vector<unsigned char> out(reference.size() * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int part = 0; part < 3; ++part) {
                    const size_t from = (size_t(height - 1 - y) * width + x) * 4;
                    const size_t to = (size_t(y) * width * 3 + size_t(part) * width + x) * 4;
                    for (int ch = 0; ch < 3; ++ch) {
                        const int a = reference[from + ch], b = batched[from + ch];
                        out[to + ch] = part == 0 ? a : part == 1 ? b : std::min(255, 40 * std::abs(a - b));
                    }
                    out[to + 3] = 255;
                }
        lodepng_encode32_file((std::string(dir) + "/" + name).c_str(), out.data(), width * 3, height);
    }
    std::printf("%s: %zu lit pixels, %zu differ by more than 1, at most %d in a 3 x 3 square\n", name.c_str(), lit,
                differing, densest);
    EXPECT_GT(lit, size_t(width) * height / 4) << name;
    EXPECT_LT(differing, lit / 100) << name;
    EXPECT_LE(densest, 5) << name;
}

// The batched field places its cubes by arithmetic of its own instead of the
// matrix stack and leaves out the faces turned away from the eye. Both only
// move single pixels: a pixel centre on a cube's edge may fall to the other
// side, and where a hidden face and a visible one meet at an edge the 16-bit
// depth buffer cannot tell them apart, so cube by cube the face drawn later
// may win the pixel. What must not happen is a patch of differing pixels.
TEST_F(BatchedDrawingImage, BatchedFieldLooksLikeCubeByCube) {
    const double moments[] = {35.0, 35.0 + 3.3 / 8, 37.1, 42.4, 49.0, 53.0, 58.9};
    float plasma = 0;
    for (double seconds : moments) {
        plasma += 1234.5f;
        const auto reference = render(seconds, true, plasma);
        const auto batched = render(seconds, false, plasma);
        char name[64];
        std::snprintf(name, sizeof name, "credits-%.1f.png", seconds);
        expectAlike(reference, batched, name);
    }
}

// A wheel in one block moves its segments along the axis by arithmetic
// instead of a matrix per segment, and sends its quads as triangles. Tumbled
// to different sides, burst open or closed, reaching past the edges of the
// view (612, 700) or not, with the caption from row 720.
TEST_F(BatchedDrawingImage, WheelsInOneBlockLookLikeSegmentBySegment) {
    struct Moment {
        int row;  // all but 690 burst open
        float tilt, spin;
    };
    const Moment moments[] = {{612, 0.8f, 0.0f}, {652, 75.0f, 33.0f}, {690, 230.0f, 250.0f},
                              {700, 150.0f, 200.0f}, {724, 260.0f, 301.5f}};
    for (const Moment& m : moments) {
        std::vector<unsigned char> frames[2];
        for (int apart = 1; apart >= 0; --apart) {
            music.setRow(m.row);
            closingWheels = ClosingWheelsState{};
            closingWheels.drawSegmentsApart = apart;
            closingWheels.wheelTilt = m.tilt;
            closingWheels.wheelSpin = m.spin;
            frameDeltaMs = 16;
            clearFrame();
            drawClosingWheels();
            frames[apart] = readFrame();
        }
        expectAlike(frames[1], frames[0], "wheels-" + std::to_string(m.row) + ".png");
    }
}

// Not checks: frame times of the field on this machine's Mesa, cleared frame
// and glFinish included. Run with --gtest_also_run_disabled_tests.
void reportFrameTimes(const char* label, const std::function<void(int)>& frame) {
    const int frames = 40;
    for (int round = 0; round < 3; ++round) {
        std::vector<double> ms, sent, cpu;
        for (int f = 0; f < frames; ++f) {
            const std::clock_t cpuStart = std::clock();
            const auto start = std::chrono::steady_clock::now();
            frame(f);
            sent.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            glFinish();
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            cpu.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);  // all threads
        }
        double sum = 0;
        for (double m : ms) sum += m;
        std::sort(ms.begin(), ms.end());
        std::sort(sent.begin(), sent.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("%s: mean %.1f ms, median %.1f ms, min %.1f ms over %d frames "
                    "(median %.1f ms to send, %.1f ms of CPU in all threads)\n",
                    label, sum / frames, ms[frames / 2], ms[0], frames, sent[frames / 2], cpu[frames / 2]);
    }
}

TEST_F(BatchedDrawingImage, DISABLED_FrameTimesCubeByCube) {
    reportFrameTimes("cube by cube", [&](int f) { drawFrame(35.0 + f * 0.1, true, 10.0f * f); });
}

TEST_F(BatchedDrawingImage, DISABLED_FrameTimesBatched) {
    reportFrameTimes("batched", [&](int f) { drawFrame(35.0 + f * 0.1, false, 10.0f * f); });
}

}  // namespace
