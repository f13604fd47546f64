// What a capture may do to its output: nothing to what it did not make, and
// one capture at a time into one folder or one video.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/demodata.h"
#include "support/demosuite.h"
#include "support/support.h"
#include "output.h"
#include "outputlock.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunResult;
using testsupport::TempDir;

std::string captureTool() { return testsupport::binaryDir() + "/tools/capture/tarnwick-capture"; }

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

class CaptureOutput : public FastDemoSuite {
protected:
    RunResult capture(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv = {captureTool(), "--data", data->file("data")};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::runProgram(argv, out.path(), env, 300);
    }
};

// ffmpeg that refuses the name, or dies at once, must not cost the file that
// was there: a capture removes only what it made itself.
TEST_F(CaptureOutput, AFailedVideoLeavesTheFileAtItsNameAsItWas) {
    TempDir bin;
    const std::string path = testsupport::fakeFfmpeg(bin.path(), "exit 1");
    const struct {
        const char* name;
        bool readOnly;
    } cases[] = {{"notes.txt", false}, {"myproject", false}, {"demo.mp4", false}, {"kept.mp4", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(out.file(c.name), std::string("notes of ") + c.name);
        if (c.readOnly) fs::permissions(out.file(c.name), fs::perms::owner_read);
        RunResult run = capture({"--size", "64x36", "--to-row", "20", "--video", c.name},
                                {path});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(testsupport::readFile(out.file(c.name)), std::string("notes of ") + c.name);
        EXPECT_NE(run.err.find(std::string(c.name) + " is left as it was"), std::string::npos) << run.err;
        fs::remove(out.file(c.name));
        EXPECT_TRUE(entriesOf(out.path()).empty()) << "a temporary file was left: " << entriesOf(out.path())[0];
    }
}

TEST_F(CaptureOutput, AVideoIsNeverWrittenOverAFolderFifoOrDevice) {
    fs::create_directory(out.file("folder.mp4"));
    ASSERT_EQ(mkfifo(out.file("fifo.mp4").c_str(), 0600), 0);
    for (const std::string& target : {out.file("folder.mp4"), out.file("fifo.mp4"), std::string("/dev/null")}) {
        SCOPED_TRACE(target);
        RunResult run = capture({"--size", "64x36", "--to-row", "20", "--video", target});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("tarnwick-capture: " + target + ": "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("rendered"), std::string::npos) << "refused before rendering: " << run.err;
    }
    EXPECT_TRUE(fs::is_directory(out.file("folder.mp4")));
    EXPECT_TRUE(fs::is_fifo(out.file("fifo.mp4")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// Two captures started together into one output: one writes, the other
// refuses with a message naming the output. For frames the later one may
// also find the first one's frames already there, which it refuses as well.
TEST_F(CaptureOutput, TwoCapturesIntoOneOutputOneRefuses) {
    TempDir bin;
    // An ffmpeg that takes every frame and then takes its time, and shots
    // of a late row at 1000 frames a second, so that the two runs overlap
    // by seconds.
    testsupport::fakeFfmpeg(bin.path(), "cat >/dev/null; sleep 3; exit 0");
    const std::string tool = captureTool() + " --data '" + data->file("data") + "' --size 320x180 --to-row 200 ";
    for (const std::string& output : {std::string("--frames frames"), std::string("--video demo.mp4"),
                                      std::string("--fps 1000 --shot 700 --out shots")}) {
        SCOPED_TRACE(output);
        const std::string script = "PATH='" + bin.path() + "':$PATH; " + tool + output + " >o1 2>e1 & a=$!; " + tool +
                                   output + " >o2 2>e2 & b=$!; wait $a; echo $? >r1; wait $b; echo $? >r2";
        RunResult run = testsupport::runProgram({"/bin/sh", "-c", script}, out.path(), {}, 300);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string r1 = testsupport::readFile(out.file("r1")), r2 = testsupport::readFile(out.file("r2"));
        EXPECT_TRUE((r1 == "0\n" && r2 == "1\n") || (r1 == "1\n" && r2 == "0\n")) << r1 << r2;
        const std::string refused = testsupport::readFile(out.file(r1 == "1\n" ? "e1" : "e2"));
        const std::string name = output.substr(output.rfind(' ') + 1);
        EXPECT_NE(refused.find("tarnwick-capture: " + name + ": "), std::string::npos) << refused;
        EXPECT_TRUE(refused.find("another capture") != std::string::npos ||
                    refused.find("of an earlier run") != std::string::npos)
            << refused;
        EXPECT_EQ(refused.find("rendered"), std::string::npos) << "refused before rendering: " << refused;
    }
    // Each lock went with its run.
    for (const auto& name : entriesOf(out.path())) EXPECT_EQ(name.find(".lock"), std::string::npos) << name;
    for (const auto& name : entriesOf(out.file("frames"))) EXPECT_EQ(name.find(".lock"), std::string::npos) << name;
}

TEST_F(CaptureOutput, FramesIntoAFolderHoldingAnEarlierRunsFramesAreRefused) {
    testsupport::writeFile(out.file("frames/frame_000000.png"), "an earlier run's frame");
    RunResult run = capture({"--size", "64x36", "--to-row", "10", "--frames", "frames"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("frames: already holds 1 frame (frame_000000.png"), std::string::npos) << run.err;
    EXPECT_EQ(entriesOf(out.file("frames")).size(), 1u);
    EXPECT_EQ(testsupport::readFile(out.file("frames/frame_000000.png")), "an earlier run's frame");
}

// A folder deeper than the system's path limit (4096) counted from /, named
// relative to a current folder that is itself deep: usable as given.
TEST_F(CaptureOutput, ARelativeOutputPastThePathLimitFromTheRootIsWrittenAsGiven) {
    const std::string part(200, 'd');
    std::string script;
    for (int i = 0; i < 14; ++i) script += "mkdir " + part + " && cd " + part + " && ";
    std::string relative = "shots";
    for (int i = 0; i < 8; ++i) relative += "/" + part;
    script += "exec '" + captureTool() + "' --data '" + data->file("data") + "' --size 64x36 --shot 30 --out " +
              relative + " && ls " + relative;
    RunResult run = testsupport::runProgram({"/bin/sh", "-c", script}, out.path(), {}, 120);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(relative + "/row_030.png: frame"), std::string::npos) << run.out << run.err;
}

// On a terminal the progress is one line redrawn in place, with a bar of 30
// that fills with the frames done.
TEST_F(CaptureOutput, TheProgressBarOnATerminalFillsWithTheFramesDone) {
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0) GTEST_SKIP() << "no pseudo-terminal here: " << std::strerror(errno);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const int side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(side, 0);
    std::fflush(stderr);
    const int savedStderr = ::dup(2);
    ::dup2(side, 2);
    {
        Progress progress(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a line at most every 0.25 s
        progress.update(97, 700);
        progress.update(100, 753);  // the last is always drawn
    }
    std::fflush(stderr);
    ::dup2(savedStderr, 2);
    ::close(savedStderr);
    ::close(side);
    std::string drawn;
    char buffer[4096];
    for (pollfd ready{terminal, POLLIN, 0}; ::poll(&ready, 1, 1000) > 0;) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;
        drawn.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(terminal);
    EXPECT_NE(drawn.find("\r[" + std::string(29, '#') + ".]  97%  frame 97/100  row 700  "), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("\r[" + std::string(30, '#') + "] 100%  frame 100/100  row 753  "), std::string::npos) << drawn;
}

// The lock names who holds it, and it is free again once given up (its file
// gone with it).
TEST_F(CaptureOutput, ALockNamesTheProcessThatHoldsItUntilItIsGivenUp) {
    const std::string path = out.file(".v.mp4.lock");
    std::string why;
    {
        OutputLock first, second;
        ASSERT_TRUE(first.acquire(path, why)) << why;
        EXPECT_FALSE(second.acquire(path, why));
        EXPECT_EQ(why, "another capture (process " + std::to_string(::getpid()) + ") is writing there; it holds " + path);
    }
    EXPECT_FALSE(fs::exists(path));
    OutputLock again;
    EXPECT_TRUE(again.acquire(path, why)) << why;
}

}  // namespace
