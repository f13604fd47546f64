// Frames drawn through our GL 1.1 subset over OpenGL ES 2 (tarnwick-capture-es2)
// against the same frames drawn by the system's OpenGL (tarnwick-capture),
// both on Mesa: one row of every scene, from the shipped data, the whole demo
// run from row 0 up to each.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/picture.h"
#include "support/support.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;

// Both draw with the same rasteriser, and the subset splits quads as Mesa
// does; what may differ is only where an edge or a texel boundary falls
// within a rounding error of a pixel centre (the subset transforms vertices on
// the CPU, in its own order of operations). A pixel differs when any channel
// is more than `closeLevels` apart; at most `maxDifferingShare` of the pixels
// may differ. At 320 x 180, every sixth row of the demo, no frame had more
// than 4 such pixels (the glow of the greetings), and these rows have none;
// fanning every quad from its first corner instead costs 6 pixels in the
// credits field and 36 in the closing wheels here.
constexpr int closeLevels = 2;
constexpr double maxDifferingShare = 0.0001;
// A frame that shows its scene: more than this share of it is not black.
constexpr double minSceneShare = 0.01;

struct Shot {
    int row;
    const char* scene;
};
constexpr Shot shots[] = {
    {30, "opening squares"}, {150, "arc bands"}, {210, "logo tiles"}, {262, "tumbling cubes"},
    {300, "credits field"},  {560, "greetings"}, {700, "closing wheels"},
};

using Picture = testsupport::RgbPicture;

std::string shotName(int row) {
    char name[32];
    std::snprintf(name, sizeof name, "row_%03d.png", row);
    return name;
}

RunResult captureShots(const std::string& tool, const std::string& outDir) {
    std::string rows;
    for (const Shot& s : shots) rows += (rows.empty() ? "" : ",") + std::to_string(s.row);
    return testsupport::runProgram({testsupport::binaryDir() + "/tools/capture/" + tool, "--size", "320x180", "--fps",
                                    "30", "--shot", rows, "--out", outDir},
                                   testsupport::sourceDir(), {}, 500);
}

TEST(GLSubsetFrames, EverySceneDrawsAsTheSystemsOpenGLDrawsIt) {
    TempDir desktop, es2;
    for (auto [tool, dir] : {std::pair{"tarnwick-capture", &desktop}, std::pair{"tarnwick-capture-es2", &es2}}) {
        RunResult run = captureShots(tool, dir->path());
        ASSERT_EQ(run.exitCode, 0) << tool << ": " << run.err;
    }
    const char* keep = std::getenv("TARNWICK_IMAGE_DIR");
    for (const Shot& shot : shots) {
        SCOPED_TRACE(std::string(shot.scene) + ", row " + std::to_string(shot.row));
        const std::string name = shotName(shot.row);
        const Picture want = testsupport::readPngRgb(desktop.file(name)), got = testsupport::readPngRgb(es2.file(name));
        ASSERT_FALSE(want.rgb.empty());
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        std::size_t differing = 0, scene = 0;
        int largest = 0;
        for (std::size_t i = 0; i < want.rgb.size(); i += 3) {
            int d = 0;
            for (std::size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(want.rgb[i + c] - got.rgb[i + c]));
            largest = std::max(largest, d);
            differing += d > closeLevels;
            scene += want.rgb[i] + want.rgb[i + 1] + want.rgb[i + 2] > 0;
        }
        const double pixels = static_cast<double>(want.rgb.size() / 3);
        std::printf("row %3d %-16s differing pixels %5.3f %% (%zu), largest difference %3d, scene %4.1f %%\n", shot.row,
                    shot.scene, 100.0 * static_cast<double>(differing) / pixels, differing, largest,
                    100.0 * static_cast<double>(scene) / pixels);
        EXPECT_GT(static_cast<double>(scene) / pixels, minSceneShare) << "the frame should show its scene";
        EXPECT_LE(static_cast<double>(differing) / pixels, maxDifferingShare);
        if (keep) {
            std::filesystem::copy_file(desktop.file(name), std::string(keep) + "/desktop_" + name,
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::copy_file(es2.file(name), std::string(keep) + "/es2_" + name,
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

}  // namespace
