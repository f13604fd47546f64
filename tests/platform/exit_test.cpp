// The music object is destroyed at process exit, after the entry routine has
// returned, and stops and frees its stream then, whether or not the output
// was shut down before. Each case runs in a child process of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "support/audiotest.h"
#include "music/musicsync.h"
#include "support/support.h"

namespace {

std::string selfPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Leaves the global music object playing on the device; `shutDown` stops and
// frees the output first, as the shell does at the end of a run. Run only as
// a child of the tests below.
void playUntilExit(bool shutDown) {
    const char* file = std::getenv("TARNWICK_EXIT_TEST_MP3");
    if (!file) GTEST_SKIP() << "only run by ProcessExit tests";
    audio::selectClock(audio::Clock::Device);
    audio::initOutput(-1, 48000);
    std::string why;
    ASSERT_TRUE(openStream(file, why)) << why;
    audio::setVolume(musicSync.stream, 1.0f);
    startPlayback();
    usleep(100000);
    if (shutDown) {
        audio::stopOutput();
        audio::freeOutput();
    }
}

TEST(ProcessExitChild, DISABLED_DeviceStillOpen) { playUntilExit(false); }
TEST(ProcessExitChild, DISABLED_OutputShutDown) { playUntilExit(true); }

TEST(ProcessExit, TeardownAfterOrWithoutShutdownEndsCleanly) {
    const std::string mp3 = audiotest::longTone();
    if (mp3.empty()) GTEST_SKIP() << "no MP3 encoder";
    for (const char* child : {"DeviceStillOpen", "OutputShutDown"}) {
        testsupport::RunResult r = testsupport::runProgram(
            {selfPath(), "--gtest_also_run_disabled_tests", std::string("--gtest_filter=ProcessExitChild.DISABLED_") + child},
            "", {"SDL_AUDIODRIVER=dummy", "TARNWICK_EXIT_TEST_MP3=" + mp3}, 20.0);
        EXPECT_FALSE(r.timedOut) << child;
        EXPECT_EQ(r.signal, 0) << child << "\n" << r.err;
        EXPECT_EQ(r.exitCode, 0) << child << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << child << "\n" << r.out;
    }
}

}  // namespace
