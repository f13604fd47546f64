// A window or GL context that cannot be made: each program exits 1 with one
// line under its own name that says what failed and the system's reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/support.h"

namespace {

TEST(NoWindow, EachProgramExitsOneWithALineNamingTheSystemsReason) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {10.0, 120.0, true}));
    const std::string capture = testsupport::binaryDir() + "/tools/capture/tarnwick-capture";
    struct Program {
        std::vector<std::string> argv;
        std::string prefix;  // the start of the line that says why
    };
    const Program programs[] = {
        {{testsupport::demoExecutable(), "--windowed"}, "tarnwick: "},
        {{capture, "--shot", "10", "--out", dir.file("shots")},
         "tarnwick-capture: no offscreen OpenGL context could be made: "},
    };
    struct Case {
        std::string video;   // the video driver, and what breaks
        std::string broken;
        std::string failed;  // what the line says failed
        std::string reason;  // a word of the system's own reason
    };
    const Case cases[] = {
        {"SDL_VIDEODRIVER=nosuch", "", "the video system could not start: ", "nosuch"},
        // A GL library that does not load.
        {"SDL_VIDEODRIVER=offscreen", "SDL_VIDEO_EGL_DRIVER=/nonexistent", "the window could not be made: ", "EGL"},
    };
    for (const Program& p : programs) {
        for (const Case& c : cases) {
            SCOPED_TRACE(p.argv[0] + " with " + c.video + " " + c.broken);
            std::vector<std::string> env = {c.video, "SDL_AUDIODRIVER=dummy"};
            if (!c.broken.empty()) env.push_back(c.broken);
            const auto run = testsupport::runProgram(p.argv, dir.path(), env, 60);
            EXPECT_FALSE(run.timedOut);
            EXPECT_EQ(run.exitCode, 1);
            const std::string line = p.prefix + c.failed;
            const auto at = run.err.find(line);
            ASSERT_NE(at, std::string::npos) << run.err;
            const std::string reason = run.err.substr(at + line.size(), run.err.find('\n', at) - at - line.size());
            EXPECT_NE(reason.find(c.reason), std::string::npos) << run.err;
        }
    }
}

}  // namespace
