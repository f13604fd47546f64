// tarnwick-capture --supersample: a frame drawn at S times the size and
// averaged down S x S, and sizes past what the GL draws refused up front.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/demosuite.h"
#include "support/picture.h"
#include "support/support.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;

RunResult capture(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> argv = {testsupport::binaryDir() + "/tools/capture/tarnwick-capture"};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runProgram(argv, dir, {}, 300);
}

using Picture = testsupport::RgbPicture;
using testsupport::readPngRgb;

// The test's own box filter: each channel the mean of its s x s block,
// rounded half up.
Picture scaleDown(const Picture& big, unsigned s) {
    Picture small{big.width / s, big.height / s, {}};
    for (unsigned y = 0; y < small.height; ++y)
        for (unsigned x = 0; x < small.width; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                unsigned sum = 0;
                for (unsigned dy = 0; dy < s; ++dy)
                    for (unsigned dx = 0; dx < s; ++dx) sum += big.rgb[((y * s + dy) * big.width + x * s + dx) * 3 + c];
                small.rgb.push_back(static_cast<unsigned char>((sum + s * s / 2) / (s * s)));
            }
    return small;
}

class CaptureSupersample : public FastDemoSuite {};

TEST_F(CaptureSupersample, AFrameIsThePlainFrameAtSTimesTheSizeBoxFilteredExactly) {
    // A shot and a frame file, in scenes with edges and textures.
    for (int s : {2, 3}) {
        for (const std::string row : {"150", "400"}) {
            SCOPED_TRACE("supersample " + std::to_string(s) + ", row " + row);
            const std::string big = std::to_string(160 * s) + "x" + std::to_string(90 * s);
            const std::string tag = std::to_string(s) + "-" + row;
            RunResult a = capture({"--size", "160x90", "--supersample", std::to_string(s), "--fps", "30", "--shot", row,
                                   "--out", out.file("ss" + tag)},
                                  data->path());
            RunResult b = capture({"--size", big, "--fps", "30", "--shot", row, "--out", out.file("big" + tag)},
                                  data->path());
            ASSERT_EQ(a.exitCode, 0) << a.err;
            ASSERT_EQ(b.exitCode, 0) << b.err;
            const Picture got = readPngRgb(out.file("ss" + tag + "/row_" + row + ".png"));
            const Picture want = scaleDown(readPngRgb(out.file("big" + tag + "/row_" + row + ".png")), s);
            ASSERT_EQ(got.width, 160u);
            ASSERT_EQ(got.height, 90u);
            EXPECT_TRUE(got.rgb == want.rgb) << "the supersampled frame is not the big one box-filtered";
        }
    }
    RunResult frames = capture({"--size", "160x90", "--supersample", "2", "--fps", "30", "--from-row", "400",
                                "--to-row", "410", "--frames", out.file("frames")},
                               data->path());
    ASSERT_EQ(frames.exitCode, 0) << frames.err;
    for (const auto& f : std::filesystem::directory_iterator(out.file("frames"))) {
        const Picture p = readPngRgb(f.path());
        EXPECT_EQ(p.width, 160u) << f.path();
        EXPECT_EQ(p.height, 90u) << f.path();
    }
    if (!testsupport::haveCommand("ffprobe")) return;
    RunResult video = capture({"--size", "160x90", "--supersample", "2", "--fps", "30", "--from-row", "400",
                               "--video", out.file("v.mp4")},
                              data->path());
    ASSERT_EQ(video.exitCode, 0) << video.err;
    RunResult p = testsupport::runProgram({"/bin/sh", "-c",
                                           "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of "
                                           "csv=p=0 '" + out.file("v.mp4") + "'"},
                                          "", {}, 60);
    EXPECT_EQ(p.out, "160,90\n");
}

TEST_F(CaptureSupersample, ASizeTheGLCannotDrawIsRefusedNamingTheLimitBeforeAnyFrame) {
    RunResult r = capture({"--size", "8192x8192", "--supersample", "4", "--shot", "10", "--out", out.file("x")},
                          data->path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("32768x32768"), std::string::npos) << r.err;
    const std::regex limit("largest viewport \\(GL_MAX_VIEWPORT_DIMS\\) is ([1-9][0-9]*)x[1-9][0-9]*\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m, limit)) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(out.file("x")));
    // Exactly as wide as that limit is drawn.
    const int widest = std::stoi(m[1]) / 4;
    r = capture({"--size", std::to_string(widest) + "x16", "--supersample", "4", "--shot", "10", "--out", out.file("x")},
                data->path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // One side too many is enough.
    r = capture({"--size", "8192x90", "--supersample", "4", "--shot", "10", "--out", out.file("x")}, data->path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("GL_MAX_VIEWPORT_DIMS"), std::string::npos) << r.err;
    for (const std::string bad : {"0", "5", "x", "-2"}) {
        RunResult u = capture({"--supersample", bad, "--shot", "10", "--out", out.file("x")}, data->path());
        EXPECT_EQ(u.exitCode, 2) << bad << ": " << u.err;
    }
}

}  // namespace
