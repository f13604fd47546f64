// tarnwick-capture --segment and --join, run as a user runs them: segments
// tile the frames of one run exactly, and their join is the whole video.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/demosuite.h"
#include "support/support.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;
namespace fs = std::filesystem;

RunResult capture(const std::vector<std::string>& args, const std::string& dir,
                  const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {testsupport::binaryDir() + "/tools/capture/tarnwick-capture"};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runProgram(argv, dir, env, 300);
}

std::string shell(const std::string& command) {
    return testsupport::runProgram({"/bin/sh", "-c", command}, "", {}, 120).out;
}

// "name=value" lines of ffprobe for one stream of a video.
std::string probe(const std::string& video, const std::string& stream) {
    return shell("ffprobe -v error -count_frames -select_streams " + stream +
                 " -show_entries stream=nb_read_frames,duration -of default=noprint_wrappers=1 '" + video + "'");
}

double number(const std::string& text, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(key + "=([0-9.]+)"))) return -1;
    return std::stod(m[1]);
}

// The decoded pictures' checksums, one line a frame.
std::string pictureSums(const std::string& video) {
    return shell("ffmpeg -v error -i '" + video + "' -map 0:v:0 -f framemd5 - | grep -v '^#' | cut -d, -f6");
}

// 5 s of music at 3000 bpm: the 754 rows take 3.77 s, 114 frames at 30 fps.
class CaptureSegments : public FastDemoSuite {
protected:
    const std::vector<std::string> small = {"--size", "160x90", "--fps", "30"};

    RunResult run(std::vector<std::string> args) {
        args.insert(args.begin(), small.begin(), small.end());
        return capture(args, data->path());
    }
    bool haveFfmpeg() { return testsupport::haveCommand("ffmpeg") && testsupport::haveCommand("ffprobe"); }
};

TEST_F(CaptureSegments, TheFramesOfNSegmentsAreTheFramesOfOneRunEachOnce) {
    RunResult whole = run({"--from-row", "300", "--frames", out.file("whole")});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    std::set<std::string> wanted;
    for (const auto& f : fs::directory_iterator(out.file("whole"))) wanted.insert(f.path().filename());
    ASSERT_GT(wanted.size(), 20u);
    for (int n : {2, 7}) {
        SCOPED_TRACE(n);
        std::multiset<std::string> got;
        for (int k = 1; k <= n; ++k) {
            const std::string dir = out.file("n" + std::to_string(n) + "k" + std::to_string(k));
            RunResult part =
                run({"--from-row", "300", "--segment", std::to_string(k) + "/" + std::to_string(n), "--frames", dir});
            ASSERT_EQ(part.exitCode, 0) << part.err;
            for (const auto& f : fs::directory_iterator(dir)) {
                got.insert(f.path().filename());
                EXPECT_TRUE(testsupport::readFile(f.path()) ==
                            testsupport::readFile(out.file("whole/" + f.path().filename().string())))
                    << f.path();
            }
        }
        EXPECT_EQ(got, std::multiset<std::string>(wanted.begin(), wanted.end()));
    }
}

TEST_F(CaptureSegments, AJoinHasTheFramesAndLengthOfTheWholeAndItsMusicOnce) {
    if (!haveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
    RunResult whole = run({"--from-row", "100", "--video", out.file("whole.mp4")});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    std::vector<std::string> args = {"--join"};
    std::string segmentSums;
    for (int k : {1, 2, 3}) {
        const std::string part = out.file("part" + std::to_string(k) + ".mp4");
        RunResult r = run({"--from-row", "100", "--segment", std::to_string(k) + "/3", "--video-only", part});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(probe(part, "a"), "") << "a segment for joining has no sound";
        segmentSums += pictureSums(part);
        args.insert(args.begin() + 1, part);  // in reverse order: the join sorts them
    }
    args.insert(args.end(), {"--video", out.file("joined.mp4")});
    RunResult joined = capture(args, data->path());
    ASSERT_EQ(joined.exitCode, 0) << joined.err;
    EXPECT_NE(joined.out.find("joined 3 segments"), std::string::npos) << joined.out;
    const std::string v = probe(out.file("joined.mp4"), "v:0"), w = probe(out.file("whole.mp4"), "v:0");
    const double frames = number(w, "nb_read_frames");
    EXPECT_GT(frames, 50);
    EXPECT_EQ(number(v, "nb_read_frames"), frames) << v << w;
    EXPECT_NEAR(number(v, "duration"), number(w, "duration"), 1e-4) << v << w;
    EXPECT_NE(joined.out.find("(" + std::to_string(static_cast<int>(frames)) + " frames"), std::string::npos)
        << joined.out;
    // The music as long as the picture, within one frame.
    EXPECT_NEAR(number(probe(out.file("joined.mp4"), "a:0"), "duration"), frames / 30.0, 1.0 / 30) << v;
    // The pictures are the segments' own, not encoded again.
    EXPECT_EQ(pictureSums(out.file("joined.mp4")), segmentSums);
}

TEST_F(CaptureSegments, AJoinRefusesSegmentsThatAreNotOneWholeAndWritesNothing) {
    if (!haveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
    const std::string a = out.file("a.mp4"), b = out.file("b.mp4"), big = out.file("big.mp4"),
                      late = out.file("late.mp4"), plain = out.file("plain.mp4"), cut = out.file("cut.mp4"),
                      text = out.file("text.mp4");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--segment", "1/2", "--video-only", a},
             {"--segment", "2/2", "--video-only", b},
             {"--size", "320x180", "--segment", "2/2", "--video-only", big},
             {"--from-row", "200", "--segment", "2/2", "--video-only", late},
             {"--to-row", "100", "--video", plain}}) {
        RunResult r = run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const std::string bytes = testsupport::readFile(b);
    testsupport::writeFile(cut, bytes.substr(0, bytes.size() / 2));
    testsupport::writeFile(text, "no video\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{a}, "segments missing: 2/2"},
        {{a, b, b}, "segment 2/2 is given twice"},
        {{a, big}, "big.mp4: a segment of another capture"},
        {{a, late}, "late.mp4: a segment of another capture"},
        {{a, plain}, "plain.mp4: not a segment"},
        {{a, cut}, "cut.mp4"},
        {{a, text}, "text.mp4: not a video"},
        {{a, out.file("none.mp4")}, "none.mp4"},
    };
    for (const auto& [segments, message] : bad) {
        SCOPED_TRACE(message);
        std::vector<std::string> args = {"--join"};
        args.insert(args.end(), segments.begin(), segments.end());
        args.insert(args.end(), {"--video", out.file("joined.mp4")});
        RunResult r = capture(args, data->path());
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("tarnwick-capture: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out.file("joined.mp4")));
    }
    // With --video given first, the segments run to the last argument.
    RunResult last = capture({"--video", out.file("joined.mp4"), "--join", a, b, b}, data->path());
    EXPECT_EQ(last.exitCode, 1) << last.err;
    EXPECT_NE(last.err.find("segment 2/2 is given twice"), std::string::npos) << last.err;
    // Whole segments, but no ffmpeg on PATH, or one that fails.
    TempDir bin;
    testsupport::fakeFfmpeg(bin.path(), "exit 3");
    fs::create_symlink(shell("command -v ffprobe | tr -d '\\n'"), bin.file("ffprobe"));
    // A name of 248 characters: its lock's name fits, its temporary file's
    // (eight more) does not.
    const std::string joined = out.file("joined.mp4"), longName = out.file(std::string(244, 'j') + ".mp4");
    const std::string broken[][3] = {
        {"PATH=/nonexistent", joined, "--join needs ffmpeg and ffprobe on PATH"},
        {"PATH=" + bin.path(), joined, "ffmpeg failed with exit status 3; " + joined + " is not written"},
        {"PATH=" + bin.path(), longName, "cannot make a temporary file beside it: File name too long"}};
    for (const auto& [path, video, message] : broken) {
        SCOPED_TRACE(message);
        RunResult r = capture({"--join", a, b, "--video", video}, data->path(), {path});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(video));
    }
}

// A worker whose encoder dies half-way leaves nothing named like a segment,
// and the join then says which one is missing.
TEST_F(CaptureSegments, AFailedWorkerLeavesNoSegmentThatLooksComplete) {
    if (!haveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
    TempDir bin;
    const std::string path = testsupport::fakeFfmpeg(bin.path(), "head -c 100000 >/dev/null\nexit 1");
    TempDir segments;
    std::vector<std::string> argv = {testsupport::binaryDir() + "/tools/capture/tarnwick-capture", "--size", "160x90",
                                     "--fps", "30", "--segment", "2/2", "--video-only", segments.file("part2.mp4")};
    RunResult failed = testsupport::runProgram(argv, data->path(), {path}, 300);
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_NE(failed.err.find("part2.mp4 is not written"), std::string::npos) << failed.err;
    EXPECT_TRUE(fs::is_empty(segments.path())) << fs::directory_iterator(segments.path())->path();
    RunResult first = run({"--segment", "1/2", "--video-only", segments.file("part1.mp4")});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    RunResult join = capture({"--join", segments.file("part1.mp4"), "--video", out.file("demo.mp4")}, data->path());
    EXPECT_EQ(join.exitCode, 1);
    EXPECT_NE(join.err.find("segments missing: 2/2"), std::string::npos) << join.err;
}

TEST_F(CaptureSegments, SegmentOptionsOutOfPlaceAreUsageErrorsAndAnEmptySegmentAFailure) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--segment", "1/2", "--shot", "30", "--out", "x"},
             {"--segment", "1/2", "--bench"},
             {"--segment", "3/2", "--frames", "x"},
             {"--join", "a.mp4"},
             {"--join", "--video", "x.mp4"},
             {"--join", "a.mp4", "--video", "x.mp4", "--from-row", "3"},
             {"--join", "a.mp4", "--frames", "x"},
             {"--size", "161x90", "--video-only", "x.mp4"}}) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        RunResult r = capture(args, data->path());
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    }
    // Rows 750 to 753 are one frame at 30 fps: of three parts the last holds
    // it and the first is empty.
    RunResult r = run({"--from-row", "750", "--segment", "1/3", "--frames", out.file("f")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("segment 1/3 holds no frame"), std::string::npos) << r.err;
    r = run({"--from-row", "750", "--segment", "3/3", "--frames", out.file("g")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace

namespace {

// The README's commands for one machine, with GNU parallel running two
// segments at a time, at a small size over a short range.
TEST_F(CaptureSegments, GnuParallelOnOneMachineMakesTheFramesAndVideoOfOneRun) {
    if (!testsupport::haveCommand("parallel")) GTEST_SKIP() << "no GNU parallel (make deps installs it)";
    if (!haveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
    const std::string tool = testsupport::binaryDir() + "/tools/capture/tarnwick-capture";
    const std::string opts = " --data '" + data->path() + "/data' --size 160x90 --fps 30 --from-row 250 --to-row 600";
    const std::string script =
        "set -e\ncd '" + out.path() + "'\nN=4\n" +
        "parallel -j 2 --halt now,fail=1 '" + tool + "'" + opts + " --segment {}/$N --video-only part{}.mp4 ::: $(seq $N)\n" +
        "'" + tool + "' --data '" + data->path() + "/data' --join part*.mp4 --video joined.mp4\n" +
        "parallel -j 2 --halt now,fail=1 '" + tool + "'" + opts + " --segment {}/$N --frames frames{} ::: $(seq $N)\n" +
        "'" + tool + "'" + opts + " --frames whole\n'" + tool + "'" + opts + " --video whole.mp4\n";
    RunResult r = testsupport::runProgram({"/bin/bash", "-c", script}, out.path(), {}, 300);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("joined.mp4: joined 4 segments"), std::string::npos) << r.out;
    // The frames written, before any encoding: the same files, the same bytes.
    std::set<std::string> whole, parts;
    for (const auto& f : fs::directory_iterator(out.file("whole"))) whole.insert(f.path().filename());
    for (int k = 1; k <= 4; ++k)
        for (const auto& f : fs::directory_iterator(out.file("frames" + std::to_string(k)))) {
            EXPECT_TRUE(parts.insert(f.path().filename()).second) << f.path() << " twice";
            EXPECT_TRUE(testsupport::readFile(f.path()) ==
                        testsupport::readFile(out.file("whole/" + f.path().filename().string())))
                << f.path();
        }
    EXPECT_EQ(parts, whole);
    // The joined video: the frame count and duration of the single run's.
    const std::string v = probe(out.file("joined.mp4"), "v:0"), w = probe(out.file("whole.mp4"), "v:0");
    EXPECT_EQ(number(v, "nb_read_frames"), static_cast<double>(whole.size())) << v;
    EXPECT_EQ(number(w, "nb_read_frames"), static_cast<double>(whole.size())) << w;
    EXPECT_NEAR(number(v, "duration"), number(w, "duration"), 1e-4) << v << w;
}

}  // namespace
