// tarnwick-capture run as a user runs it, on data made at test time.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/demodata.h"
#include "support/json.h"
#include "support/picture.h"
#include "support/support.h"
#include "yuv.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;

std::string captureTool() { return testsupport::binaryDir() + "/tools/capture/tarnwick-capture"; }

// For a stand-in ffmpeg: `out` is the file it was told to write (its last
// argument), and the other writes there all that it is given.
constexpr const char* lastArgument = "for a; do out=${a#file:}; done";
const std::string keepsItsInput = std::string(lastArgument) + "\ncat > \"$out\"";

RunResult capture(const std::vector<std::string>& args, const std::string& dir,
                  const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {captureTool()};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runProgram(argv, dir, env, 300);
}

// One fixture for the suite: 5 s of music; at 3000 bpm a row lasts 5 ms, so
// the 754 rows take 3.77 s; at 120 bpm a row lasts 0.125 s.
class CaptureTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fast = new TempDir;
        slow = new TempDir;
        ready = testsupport::makeDemoData(fast->path(), {5.0, 3000.0, true}) &&
                testsupport::makeDemoData(slow->path(), {10.0, 120.0, true});
    }
    static void TearDownTestSuite() {
        delete fast;
        delete slow;
    }
    void SetUp() override { ASSERT_TRUE(ready); }
    static TempDir* fast;
    static TempDir* slow;
    static bool ready;
    TempDir out;
};
TempDir* CaptureTool::fast = nullptr;
TempDir* CaptureTool::slow = nullptr;
bool CaptureTool::ready = false;

TEST_F(CaptureTool, UsageErrorsExitWithTwoBeforeRendering) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--frobnicate"},
        {"--bench", "--size", "12x"},
        {"--bench", "--size", "0x100"},
        {"--bench", "--fps", "0"},
        {"--bench", "--fps", "sixty"},
        {"--shot", "754", "--out", "x"},
        {"--shot", "30,-1", "--out", "x"},
        {"--shot", "30"},
        {"--bench", "--from-row", "800"},
        {"--bench", "--from-row", "300", "--to-row", "200"},
        {"--bench", "--frames", "x"},
        {"--frames", "x", "--json"},
        {"--shot", " 5", "--out", "x"},
        {"--shot", "+5", "--out", "x"},
        {"--bench", "--fps", "+60"},
        {"--size", "1281x720", "--video", "x.mp4"},
        {"--size", "1280x721", "--video", "x.mp4"},
    };
    for (const auto& args : bad) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        RunResult run = capture(args, fast->path());
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("rendered"), std::string::npos) << "nothing is rendered";
    }
    // Where the reason is more than a usage error, it is named.
    const std::pair<std::vector<std::string>, std::string> named[] = {
        {{"--frames", "x", "--video", "y.mp4"}, "give one of"},
        {{"--bench", "--shot", "30", "--out", "x"}, "give one of"},
        {{"--join", "a.mp4", "--video", "x.mp4", "--size", "64x36"}, "takes size, rate, rows and segments"},
    };
    for (const auto& [args, message] : named) {
        SCOPED_TRACE(message);
        RunResult run = capture(args, out.path());
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    RunResult help = capture({"--help"}, fast->path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--shot"), std::string::npos);
}

TEST_F(CaptureTool, DataAndOutputFailuresNameThePathAndExitWithOne) {
    TempDir empty;
    RunResult run = capture({"--data", empty.path(), "--bench"}, out.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(empty.path() + "/data"), std::string::npos) << run.err;

    // A folder that cannot be made: its parent is a file.
    testsupport::writeFile(out.file("plain"), "x");
    run = capture({"--shot", "30", "--out", out.file("plain/shots")}, fast->path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(out.file("plain/shots")), std::string::npos) << run.err;

    // Without ffmpeg a video cannot be made; that is said before rendering.
    run = capture({"--video", out.file("v.mp4")}, fast->path(), {"PATH=/nonexistent"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("ffmpeg"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("rendered"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out.file("v.mp4")));
}

TEST_F(CaptureTool, ShotsAreTheFirstFrameAtOrAfterTheirRow) {
    // 120 bpm: row r begins at r / 8 s. At 60 fps row 30 begins exactly on
    // frame 225; at 30 fps it begins between frames 112 and 113.
    struct Case {
        int fps;
        const char* rows;
        std::vector<std::pair<std::string, int>> expected;  // file, frame
        int rendered;  // frames run: up to the last shot, none after it
    };
    const Case cases[] = {
        {60, "30,0,7", {{"row_030.png", 225}, {"row_000.png", 0}, {"row_007.png", 53}}, 226},
        {30, "30,31", {{"row_030.png", 113}, {"row_031.png", 117}}, 118},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fps);
        TempDir shots;
        RunResult run = capture({"--fps", std::to_string(c.fps), "--size", "160x90", "--shot", c.rows, "--out",
                                 shots.path()},
                                slow->path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const auto& [file, frame] : c.expected) {
            EXPECT_TRUE(std::filesystem::exists(shots.file(file))) << file;
            EXPECT_NE(run.out.find(shots.file(file) + ": frame " + std::to_string(frame) + ","), std::string::npos)
                << run.out;
        }
        EXPECT_NE(run.err.find(": " + std::to_string(c.rendered) + " frames rendered"), std::string::npos) << run.err;
    }
    // A row the music never reaches (10 s are 80 rows) is a data failure.
    RunResult run = capture({"--size", "160x90", "--shot", "500", "--out", out.path()}, slow->path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("row 500"), std::string::npos) << run.err;
}

TEST_F(CaptureTool, FramesRunToTheLastFrameAtOrBeforeRow753) {
    // At 3000 bpm and 30 fps, frame k shows row 200 k / 30: frame 113 shows
    // row 753 and frame 114 row 760, past the end.
    RunResult run = capture({"--fps", "30", "--size", "160x90", "--frames", out.path()}, fast->path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) count += entry.is_regular_file();
    EXPECT_EQ(count, 114);
    EXPECT_TRUE(std::filesystem::exists(out.file("frame_000000.png")));
    EXPECT_TRUE(std::filesystem::exists(out.file("frame_000113.png")));
    EXPECT_NE(run.err.find("114 frames rendered"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("100%, frame 114 of 114"), std::string::npos) << run.err;  // the progress's last line
}

TEST_F(CaptureTool, TwoCapturesOfTheSameRowsAreTheSameBytes) {
    TempDir first, second;
    for (const TempDir* d : {&first, &second}) {
        RunResult run = capture({"--size", "320x180", "--fps", "30", "--shot", "30,300", "--out", d->path()},
                                fast->path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    for (const char* name : {"row_030.png", "row_300.png"}) {
        std::string a = testsupport::readFile(first.file(name)), b = testsupport::readFile(second.file(name));
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << " differs between two runs";
    }
}

TEST_F(CaptureTool, VideoHasItsFramesAtItsRateAndMusicAsLongAsThePicture) {
    if (!testsupport::haveCommand("ffmpeg") || !testsupport::haveCommand("ffprobe")) GTEST_SKIP() << "no ffmpeg";
    // The whole demo (114 frames), and from row 400 on (frame 60 at 2 s).
    for (auto [from, frames] : {std::pair{0, 114}, std::pair{400, 54}}) {
        SCOPED_TRACE(from);
        const std::string video = out.file("demo" + std::to_string(from) + ".mp4");
        RunResult run = capture({"--fps", "30", "--size", "160x90", "--from-row", std::to_string(from), "--video",
                                 video},
                                fast->path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, video + "\n");  // the finished video's name, alone on stdout
        // The mode any new file of ours gets, not the temporary file's own.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat info {};
        ASSERT_EQ(::stat(video.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask);
        auto probe = [&](const std::string& stream, const std::string& entries) {
            RunResult p = testsupport::runProgram(
                {"/bin/sh", "-c",
                 "ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream=" + entries +
                     " -of default=noprint_wrappers=1 '" + video + "'"},
                "", {}, 120);
            return p.out;
        };
        const std::string v = probe("v:0", "codec_name,pix_fmt,r_frame_rate,nb_read_frames,duration");
        EXPECT_NE(v.find("codec_name=h264"), std::string::npos) << v;
        EXPECT_NE(v.find("pix_fmt=yuv420p"), std::string::npos) << v;
        EXPECT_NE(v.find("r_frame_rate=30/1"), std::string::npos) << v;
        EXPECT_NE(v.find("nb_read_frames=" + std::to_string(frames) + "\n"), std::string::npos) << v;
        const std::string a = probe("a:0", "codec_name,duration,bit_rate");
        EXPECT_NE(a.find("codec_name=aac"), std::string::npos) << a;
        std::smatch m;
        // At 192 kb/s, not ffmpeg's default of 128.
        ASSERT_TRUE(std::regex_search(a, m, std::regex("bit_rate=([0-9]+)"))) << a;
        EXPECT_GT(std::stod(m[1]), 160000) << a;
        ASSERT_TRUE(std::regex_search(a, m, std::regex("duration=([0-9.]+)"))) << a;
        // Within one AAC frame (1024 samples, 23 ms at 44.1 kHz) of the picture.
        EXPECT_NEAR(std::stod(m[1]), frames / 30.0, 0.03) << a;
    }
}

TEST_F(CaptureTool, LoadProblemsAreReportedUnderItsOwnName) {
    TempDir broken;
    ASSERT_TRUE(testsupport::makeDemoData(broken.path(), {5.0, 3000.0, true}));
    testsupport::writeFile(broken.file("data/Grafik/greet3.png"), "not a picture");
    RunResult run = capture({"--fps", "30", "--size", "160x90", "--bench"}, broken.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("tarnwick-capture: data/Grafik/greet3.png: cannot load image: "), std::string::npos) << run.err;
    std::size_t lines = 0;
    for (std::size_t at = 0; at < run.err.size(); at = run.err.find('\n', at) + 1) {
        EXPECT_EQ(run.err.compare(at, 18, "tarnwick-capture: "), 0) << run.err.substr(at);
        if (++lines > 20 || run.err.find('\n', at) == std::string::npos) break;
    }
}

TEST_F(CaptureTool, BenchTimesEveryScheduleRange) {
    // Frames 0 to 72: frame 73 shows row 486.
    RunResult run = capture({"--fps", "30", "--size", "160x90", "--to-row", "485", "--bench", "--json"}, fast->path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    testsupport::Json json;
    std::string error;
    ASSERT_TRUE(testsupport::parseJson(run.out, json, error)) << error << "\n" << run.out;
    EXPECT_FALSE(json["renderer"].text.empty()) << run.out;
    EXPECT_EQ(json["size"].text, "160x90");
    for (const char* step : {"texturesMs", "musicMs", "syncMs"}) EXPECT_GT(json["startup"][step].number, 0) << step;
    // The yardstick, drawn among the frames, and each scene's times as
    // ratios to it.
    EXPECT_EQ(json["yardstick"]["boxes"].number, 8320);
    EXPECT_EQ(json["yardstick"]["frames"].number, 2) << "one among every 48 frames, from frame 24: 24 and 72";
    EXPECT_GT(json["yardstick"]["meanMs"].number, 0);
    const auto& scenes = json["scenes"].items;
    ASSERT_EQ(scenes.size(), 13u);
    double frames = 0;
    for (const auto& scene : scenes) {
        frames += scene["frames"].number;
        if (scene["frames"].number > 0) {
            EXPECT_GT(scene["meanRatio"].number, 0) << scene["name"].text;
        }
    }
    EXPECT_EQ(frames, 73);
    EXPECT_NE(run.err.find("73 frames rendered (0 of them without drawing), 73 timed, "), std::string::npos)
        << run.err;
    // Nothing else on stderr than the progress and the summary.
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.find("%, frame ") != std::string::npos || line.find(" frames rendered (") != std::string::npos)
            << line;
    }
    // The progress line's last, and no line after it.
    EXPECT_EQ(run.err.rfind("%, frame "), run.err.find("100%, frame 73 of 73,") + 3) << run.err;
    // Frames per second of drawing: the frames over the time they took.
    double totalMs = 0;
    for (const auto& scene : scenes) totalMs += scene["meanMs"].number * scene["frames"].number;
    const double fps = json["framesPerSecond"].number;
    EXPECT_NEAR(fps, 1000 * frames / totalMs, fps / 100);
    EXPECT_EQ(scenes[7]["name"].text, "credits field");
    EXPECT_EQ(scenes[7]["firstRow"].number, 280);
    EXPECT_EQ(scenes[7]["lastRow"].number, 471);

    RunResult table = capture({"--fps", "60", "--size", "160x90", "--bench"}, fast->path());
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("closing wheels   608-751"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("mean x"), std::string::npos) << table.out;
    // Each range's 95th percentile: below its slowest frame where a range
    // has a dozen frames or more (at 0.95 of 12 the rank rounds to the 11th).
    int belowMax = 0;
    const std::regex line(R"((\d+)-\d+ +(\d+) +[0-9.]+ +([0-9.]+) +([0-9.]+) )");
    for (std::sregex_iterator m(table.out.begin(), table.out.end(), line), end; m != end; ++m) {
        const double p95 = std::stod((*m)[3]), max = std::stod((*m)[4]);
        EXPECT_LE(p95, max) << m->str();
        if (std::stoi((*m)[2]) >= 12 && p95 < max) ++belowMax;
    }
    EXPECT_GT(belowMax, 0) << table.out;
}

// The faults of a capture that fails part-way, one case each.
TEST_F(CaptureTool, AShotThatCannotBeWrittenFailsWithoutALineOrALeftover) {
    // A folder where the second shot goes: the first is written whole and
    // reported, the second is neither reported nor left half-written, and
    // the third, after the failure, is not written at all.
    std::filesystem::create_directory(out.file("row_030.png"));
    RunResult run = capture({"--size", "160x90", "--shot", "7,30,60", "--out", out.path()}, slow->path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("row_007.png: frame"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("row_030.png"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(out.file("row_030.png")), std::string::npos) << run.err;
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
        ++entries;
        EXPECT_TRUE(entry.path().filename() == "row_007.png" || entry.path().filename() == "row_030.png")
            << entry.path();
    }
    EXPECT_EQ(entries, 2);
}

TEST_F(CaptureTool, RowsPastTheEndOfTheMusicAreAFailureInEveryMode) {
    // 10 s of music at 120 bpm end the demo after row 79.
    const std::vector<std::vector<std::string>> cases = {
        {"--frames", out.path(), "--from-row", "10", "--to-row", "300"},
        {"--bench", "--to-row", "300"},
        {"--bench", "--to-row", "80"},
        {"--shot", "300", "--out", out.path()},
        {"--video", out.file("v.mp4"), "--to-row", "300"},
    };
    // An encoder that would take the frames, were any rendered.
    TempDir bin;
    const std::string path = testsupport::fakeFfmpeg(bin.path(), "cat >/dev/null");
    for (auto args : cases) {
        SCOPED_TRACE(args[0]);
        args.insert(args.end(), {"--size", "160x90"});
        RunResult run = capture(args, slow->path(), {path});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("never drawn: the music ends the demo after row 79"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    }
}

// At 30 fps the frames of the fast data show rows 0, 6, 13, ...: none of rows
// 4 and 5. Music that ends before the demo's last row is named, and the run goes on.
TEST_F(CaptureTool, RowsWithoutAFrameFailAndMusicThatEndsEarlyIsNamed) {
    RunResult none =
        capture({"--bench", "--size", "64x36", "--fps", "30", "--from-row", "4", "--to-row", "5"}, fast->path());
    EXPECT_EQ(none.exitCode, 1) << none.err;
    EXPECT_NE(none.err.find("no frame is drawn from row 4 to row 5"), std::string::npos) << none.err;
    // One row alone is a range.
    RunResult one = capture({"--bench", "--size", "64x36", "--from-row", "10", "--to-row", "10"}, slow->path());
    EXPECT_EQ(one.exitCode, 0) << one.err;
    RunResult early = capture({"--bench", "--size", "64x36", "--to-row", "20"}, slow->path());
    EXPECT_EQ(early.exitCode, 0) << early.err;
    EXPECT_NE(early.err.find("the music ends the demo after row 79, before row 753"), std::string::npos) << early.err;
    RunResult whole = capture({"--bench", "--size", "64x36", "--to-row", "20"}, fast->path());
    EXPECT_EQ(whole.err.find("music ends"), std::string::npos) << whole.err;
}

// Every frame before the end of row 753 (3.77 s into the fast data) is timed.
TEST_F(CaptureTool, EveryFrameUpToTheLastRowIsCounted) {
    for (auto [fps, frames] : {std::pair{24, 91}, std::pair{25, 95}, std::pair{50, 189}, std::pair{60, 227}}) {
        RunResult run = capture({"--bench", "--size", "64x36", "--fps", std::to_string(fps)}, fast->path());
        EXPECT_NE(run.err.find(", " + std::to_string(frames) + " timed, "), std::string::npos) << fps << ": " << run.err;
    }
}

// A sync offset that puts the music's start past the demo's last row: not
// even the first frame is shown.
TEST_F(CaptureTool, MusicThatStartsPastTheLastRowShowsNoFrame) {
    TempDir late;
    ASSERT_TRUE(testsupport::makeDemoData(late.path(), {5.0, 3000.0, true}));
    testsupport::writeFile(late.file("data/sync/sync.csv"), testsupport::fixtureSyncFile(3000.0, -10.0));
    RunResult run = capture({"--bench", "--size", "64x36"}, late.path());
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("no frame is drawn from row 0 to row 753"), std::string::npos) << run.err;
    run = capture({"--size", "64x36", "--shot", "10", "--out", out.path()}, late.path());
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("row 10 is never drawn: the music ends the demo after row 0\n"), std::string::npos)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

// At 3000 bpm and 1 fps the frames show rows 0, 200, ..., 600, 800: the
// music goes on past row 753, so the spacing of the frames is what skips it.
TEST_F(CaptureTool, ARowThatTheFramesStepOverIsBlamedOnTheirSpacing) {
    RunResult run = capture({"--size", "64x36", "--fps", "1", "--shot", "753", "--out", out.path()}, fast->path());
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("row 753 is never drawn at --fps 1: one frame shows row 600 and the next row 800"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("music ends"), std::string::npos) << run.err;
}

TEST_F(CaptureTool, AnInterruptEndsAVideoWhoseEncoderTakesNothing) {
    // An ffmpeg that never reads its input: the pipe to it fills after a
    // few frames of this size.
    TempDir bin;
    const std::string path = testsupport::fakeFfmpeg(bin.path(), "exec sleep 600");
    std::vector<std::string> argv = {captureTool(), "--size", "640x360", "--fps", "30", "--video",
                                     out.file("nobody-reads.mp4")};
    RunResult run = testsupport::runProgram(argv, fast->path(), {path}, 120, 4.0);
    EXPECT_FALSE(run.timedOut) << "SIGINT was not heard while the encoder blocked";
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(out.path())) << "the unfinished video is removed";
}

// An interrupt while the frames are drawn ends any mode with the frame it
// came at, and a bench has no written files to count.
TEST_F(CaptureTool, AnInterruptedBenchSaysWhereItStopped) {
    std::vector<std::string> argv = {captureTool(), "--fps", "1000", "--bench"};
    RunResult run = testsupport::runProgram(argv, slow->path(), {}, 120, 2.0);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("tarnwick-capture: interrupted at frame "), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("whole"), std::string::npos) << run.err;
}

// An encoder that takes every frame and then fails, or writes nothing: the
// run fails with the reason, and the video's name is left free.
TEST_F(CaptureTool, AVideoWhoseEncoderFailsAtItsEndIsNotWritten) {
    const std::pair<std::string, std::string> encoders[] = {
        {"cat >/dev/null\nexit 1", ": ffmpeg failed with exit status 1; "},
        {std::string(lastArgument) + "\ncat >/dev/null\nrm -f \"$out\"",
         ": cannot put the finished video in place: No such file or directory; "},
    };
    for (const auto& [script, message] : encoders) {
        SCOPED_TRACE(script);
        TempDir bin;
        RunResult run = capture({"--size", "64x36", "--fps", "30", "--video", out.file("v.mp4")}, fast->path(),
                                {testsupport::fakeFfmpeg(bin.path(), script)});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(out.file("v.mp4") + message + out.file("v.mp4") + " is not written"), std::string::npos)
            << run.err;
        EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    }
}

// An encoder that keeps what it is given. A frame of 1280 x 720 is more than
// the pipe holds (1 MiB), so each reaches it in parts; the stream must be
// the frames' own pictures in 4:2:0, whole and in order.
TEST_F(CaptureTool, TheEncoderIsGivenEachFrameWholeAndInOrder) {
    TempDir bin;
    RunResult video = capture({"--fps", "30", "--from-row", "740", "--video-only", out.file("raw")}, fast->path(),
                              {testsupport::fakeFfmpeg(bin.path(), keepsItsInput)});
    ASSERT_EQ(video.exitCode, 0) << video.err;
    RunResult frames = capture({"--fps", "30", "--from-row", "740", "--frames", out.file("png")}, fast->path());
    ASSERT_EQ(frames.exitCode, 0) << frames.err;
    std::string want;
    for (const char* name : {"frame_000111.png", "frame_000112.png", "frame_000113.png"}) {
        const testsupport::RgbPicture picture = testsupport::readPngRgb(out.file("png/") + name);
        ASSERT_EQ(picture.width * picture.height, 1280u * 720u) << name;
        std::vector<unsigned char> rgba, planes;
        for (unsigned y = picture.height; y-- > 0;) {
            for (unsigned x = 0; x < picture.width; ++x) {
                const unsigned char* p = &picture.rgb[3 * (y * picture.width + x)];
                rgba.insert(rgba.end(), {p[0], p[1], p[2], 255});
            }
        }
        rgbaToYuv420(rgba, 1280, 720, planes);
        want.append(planes.begin(), planes.end());
    }
    EXPECT_TRUE(testsupport::readFile(out.file("raw")) == want) << "the stream differs from the frames";
}

// What ffmpeg is asked for: past 1920 x 1080 x264's threads share each frame
// in slices (its memory bound), and music is encoded only where it is given.
TEST_F(CaptureTool, TheEncoderIsAskedForSlicesPastFullHdAndForMusicOnlyWithIt) {
    TempDir bin;
    const std::string path =
        testsupport::fakeFfmpeg(bin.path(), "echo \"$*\" > " + bin.file("args") + "\n" + keepsItsInput);
    const std::tuple<const char*, const char*, bool, bool> cases[] = {{"1920x1080", "--video", false, true},
                                                                      {"1922x1080", "--video-only", true, false}};
    for (const auto& [size, mode, slices, music] : cases) {
        SCOPED_TRACE(size);
        RunResult run = capture({"--size", size, "--fps", "30", "--from-row", "753", mode, out.file("v.mp4")},
                                fast->path(), {path});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string args = testsupport::readFile(bin.file("args"));
        EXPECT_EQ(args.find("sliced-threads=1") != std::string::npos, slices) << args;
        EXPECT_EQ(args.find("-c:a aac -b:a 192k") != std::string::npos, music) << args;
    }
}

// Started without standard input (as a service may start it), the files it
// opens take descriptor 0: a lock file there is still a lock file.
TEST_F(CaptureTool, ShotsAndVideosAreMadeWithStandardInputClosed) {
    TempDir bin;
    const std::string path = testsupport::fakeFfmpeg(bin.path(), keepsItsInput);
    for (const std::vector<std::string>& mode : {std::vector<std::string>{"--shot", "0", "--out", out.file("shots")},
                                                std::vector<std::string>{"--video", out.file("v.mp4")}}) {
        SCOPED_TRACE(mode[0]);
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" <&-", captureTool(), "--size", "64x36",
                                         "--fps", "30", "--from-row", "700"};
        argv.insert(argv.end(), mode.begin(), mode.end());
        RunResult run = testsupport::runProgram(argv, fast->path(), {path}, 300);
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    EXPECT_TRUE(std::filesystem::exists(out.file("shots/row_000.png")));
    EXPECT_EQ(std::filesystem::file_size(out.file("v.mp4")), 9u * 64 * 36 * 3 / 2) << "frames 105 to 113, whole";
}

// Frames that are not read back (all before the last shot) must not queue
// up: unbounded, this run took about 300 MB, bounded about 130 MB.
TEST_F(CaptureTool, MemoryStaysBoundedBeforeALateShot) {
    constexpr long boundKb = testsupport::peakMemoryBoundKb(220, 700);
    RunResult run = capture({"--fps", "150", "--shot", "753", "--out", out.path()}, fast->path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_LT(run.maxRssKb, boundKb) << "peak resident memory in KiB";
}

}  // namespace
