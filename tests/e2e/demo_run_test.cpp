// The real demo, run headless on data made at test time.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/demodata.h"
#include "support/support.h"

namespace {

using testsupport::TempDir;

// Bounds below only catch a hang: a busy machine may take many times longer
// than an idle one for the same run.
TEST(DemoRun, EndsCleanlyOnInterruptDuringStartupAndPlay) {
    TempDir dir;
    // 120 s of music at a slow tempo: only the signal can end the run early.
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {120.0, 60.0, true}));
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        // Early (on an idle machine still in the start-up, which must not
        // lose it), and at 2 s, when the frames run.
        for (double after : {0.3, 2.0}) {
            SCOPED_TRACE("signal " + std::to_string(sig) + " after " + std::to_string(after) + " s");
            auto run = testsupport::runDemo(dir.path(), 110, after, {}, sig);
            EXPECT_FALSE(run.timedOut);
            EXPECT_EQ(run.signal, 0);
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_LT(run.seconds, 60.0) << "the music would have ended it at 120 s";
        }
    }
}

TEST(DemoRun, PlaysEveryRowAndEndsByItself) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    auto run = testsupport::runDemo(dir.path(), 60);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // 754 rows at 3000 bpm are 3.77 s of music.
    EXPECT_GT(run.seconds, 3.7);
}

// The last row is shown before the run ends: at 120 bpm row 753 lasts 0.125 s
// from 94.125 s on, and the frame log gives each shown frame's position.
TEST(DemoRun, ShowsTheLastRowThenEndsByItself) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {95.0, 120.0, true}));
    auto run = testsupport::runProgram({testsupport::demoExecutable(), "--windowed", "--start-row", "752"}, dir.path(),
                                       {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                        "TARNWICK_FRAME_LOG=" + dir.file("frames.log")},
                                       110);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    double lastSeconds = 0;
    std::istringstream log(testsupport::readFile(dir.file("frames.log")));
    for (std::string clock, seconds; log >> clock >> seconds;) lastSeconds = std::stod(seconds);
    EXPECT_EQ(static_cast<int>(lastSeconds * 8), 753) << lastSeconds;
}

TEST(DemoRun, EndsWhenTheMusicIsShorterThanTheSchedule) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {2.0, 120.0, true}));
    auto run = testsupport::runDemo(dir.path(), 110);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_LT(run.seconds, 60.0) << "the schedule would take 94 s; the music ends after 2";
}

// 2 s at 120 bpm end after row 15: a start row at or past that is never
// played, and so says so instead of ending at once with success.
TEST(DemoRun, AStartRowPastTheEndOfTheMusicIsNamedAndFailsTheRun) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {2.0, 120.0, true}));
    for (const char* row : {"16", "700"}) {
        SCOPED_TRACE(row);
        auto run = testsupport::runProgram({testsupport::demoExecutable(), "--windowed", "--start-row", row},
                                           dir.path(), {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"}, 110);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(run.err, "tarnwick: data/musik/musik.mp3: the music ends at row 16, so the start row " +
                               std::string(row) + " is never played\n");
    }
    auto run = testsupport::runProgram({testsupport::demoExecutable(), "--windowed", "--start-row", "15"}, dir.path(),
                                       {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"}, 110);
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(DemoRun, EachMissingDataFileIsNamedAndFailsTheRun) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    for (const std::string& file : testsupport::demoDataFiles()) {
        SCOPED_TRACE(file);
        std::string path = dir.file(file), aside = path + ".aside";
        std::filesystem::rename(path, aside);
        auto run = testsupport::runDemo(dir.path(), 60);
        std::filesystem::rename(aside, path);
        EXPECT_FALSE(run.timedOut);
        EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
        // Without a sync file the demo plays on at the default tempo (here
        // until the short music ends); every other file is needed.
        EXPECT_EQ(run.exitCode, file == "data/sync/sync.csv" ? 0 : 1);
    }
}

TEST(DemoRun, AnImageThatIsNoPngIsNamedWithTheReason) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    testsupport::writeFile(dir.file("data/Grafik/end.png"), "not a picture");
    auto run = testsupport::runDemo(dir.path(), 60);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("data/Grafik/end.png"), std::string::npos) << run.err;
}

// The whole shipped demo at real speed: about 94 s of music, so it runs only
// where asked for (the sanitizer build asks, to catch what only a full run
// reaches: every scene, the end of the music, and what is left at exit).
TEST(DemoRun, ShippedDemoPlaysToTheEndByItself) {
    if (!std::getenv("TARNWICK_LONG_RUN")) GTEST_SKIP() << "set TARNWICK_LONG_RUN=1 to play the whole shipped demo";
    auto run = testsupport::runDemo(testsupport::sourceDir(), 500);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // 754 rows at 120 bpm, four rows a beat: 94.25 s.
    EXPECT_GT(run.seconds, 94.0) << "ended before the schedule did";
}

// Headless, nothing paces the frames but the drawing itself; the frames in
// flight stay bounded, so memory stays near that of a windowed run.
TEST(DemoRun, HeadlessRunOfTheShippedDemoKeepsItsMemoryFlat) {
    constexpr long boundKb = testsupport::peakMemoryBoundKb(200, 700);
    auto run = testsupport::runDemo(testsupport::sourceDir(), 110, 8.0);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(run.maxRssKb, 0);
    EXPECT_LT(run.maxRssKb, boundKb) << "peak resident memory in KiB";
}

// Whether the failure message can be delivered or not, the exit status says
// what happened: a missing picture with stderr on a pipe whose reader has
// gone (SIGPIPE at its default, as a shell leaves it) still exits with 1.
TEST(DemoRun, AFailureExitsWithOneWhenNobodyReadsStderr) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {5.0, 3000.0, true}));
    std::filesystem::remove(dir.file("data/Grafik/bak.png"));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const std::string demo = testsupport::demoExecutable();
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        dup2(fds[1], 2);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(demo.c_str(), demo.c_str(), "--windowed", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
