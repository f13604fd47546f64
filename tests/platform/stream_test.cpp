// File streams on real MP3 files: exact lengths, byte positions, seeks, and
// the failures that give no stream.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support/audiotest.h"
#include "music/musicsync.h"
#include "support/mp3fixtures.h"
#include "support/support.h"

namespace {

using audiotest::toneFiles;

// Frames that libmpg123 delivers when it decodes the whole file gaplessly.
std::int64_t mpg123DecodedFrames(const std::string& path) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (!mh) return -1;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    std::int64_t frames = -1;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK && mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK) {
        std::int64_t bytes = 0;
        unsigned char buffer[16384];
        std::size_t done = 0;
        int r;
        while ((r = mpg123_read(mh, buffer, sizeof buffer, &done)) == MPG123_OK || r == MPG123_NEW_FORMAT)
            bytes += static_cast<std::int64_t>(done);
        bytes += static_cast<std::int64_t>(done);
        if (r == MPG123_DONE) frames = bytes / (channels * mpg123_encsize(encoding));
    }
    mpg123_delete(mh);
    return frames;
}

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        audiotest::useClock(audio::Clock::Manual);
        if (toneFiles().empty()) GTEST_SKIP() << "neither lame nor ffmpeg can make MP3 files";
    }
    void TearDown() override { audio::freeOutput(); }
};

// The encoders record their delay and padding in the file; without them
// removed the length would be off by more than a thousand frames.
TEST_F(StreamTest, LengthIsTheExactGaplessFrameCount) {
    for (const auto& f : toneFiles()) {
        SCOPED_TRACE(f.path);
        std::string why;
        audio::StreamHandle h = audio::createFileStream(f.path, why);
        ASSERT_NE(h, 0u) << why;
        const std::uint64_t frames = audio::length(h) / (f.channels * 4);
        EXPECT_EQ(audio::length(h) % (f.channels * 4), 0u);
        EXPECT_EQ(static_cast<std::int64_t>(frames), mpg123DecodedFrames(f.path));
        std::int64_t ffmpegFrames = testsupport::ffmpegDecodedFrames(f.path, f.channels);
        if (ffmpegFrames >= 0) {
            EXPECT_EQ(static_cast<std::int64_t>(frames), ffmpegFrames);
        }
        // And both give back exactly the tone that went in.
        EXPECT_EQ(frames, static_cast<std::uint64_t>(3.3 * f.rate + 0.5));
        // One second is rate x channels x 4 bytes.
        EXPECT_EQ(audio::secondsToBytes(h, 1.0), static_cast<std::uint64_t>(f.rate * f.channels * 4));
        audio::freeStream(h);
    }
}

TEST_F(StreamTest, SecondsAndBytesRoundTrip) {
    const auto& f = toneFiles().front();
    std::string why;
    audio::StreamHandle h = audio::createFileStream(f.path, why);
    ASSERT_NE(h, 0u);
    const std::uint64_t frameBytes = f.channels * 4;
    for (std::uint64_t frame : {0ull, 1ull, 4409ull, 4410ull, 44099ull, 100001ull, 145529ull}) {
        std::uint64_t bytes = frame * frameBytes;
        EXPECT_EQ(audio::secondsToBytes(h, audio::bytesToSeconds(h, bytes)), bytes) << "frame " << frame;
    }
    // Seconds to bytes rounds down to a whole frame; bytes inside a frame
    // count as that frame.
    EXPECT_EQ(audio::secondsToBytes(h, 1.5 / f.rate), frameBytes);
    EXPECT_EQ(audio::secondsToBytes(h, 0.99999 / f.rate), 0u);
    EXPECT_EQ(audio::bytesToSeconds(h, frameBytes * 3 + 1), 3.0 / f.rate);
    EXPECT_EQ(audio::secondsToBytes(h, 0.1), 4410 * frameBytes);
    EXPECT_EQ(audio::secondsToBytes(h, -1.0), 0u);
    // Beyond the end still converts; positions are what gets clamped.
    EXPECT_EQ(audio::secondsToBytes(h, 100.0), 4410000 * frameBytes);
    audio::freeStream(h);
}

TEST_F(StreamTest, SeekThenPositionIsTheTarget) {
    for (const auto& f : toneFiles()) {
        SCOPED_TRACE(f.path);
        std::string why;
        audio::StreamHandle h = audio::createFileStream(f.path, why);
        ASSERT_NE(h, 0u);
        const std::uint64_t second = audio::secondsToBytes(h, 1.0);
        audio::setPosition(h, second);  // before it plays, too
        EXPECT_EQ(audio::position(h), second);
        audio::playChannel(h, true);
        for (double seconds : {2.0, 0.5, 3.0}) {
            std::uint64_t bytes = audio::secondsToBytes(h, seconds);
            audio::setPosition(h, bytes);
            EXPECT_EQ(audio::position(h), bytes);
            EXPECT_EQ(audio::bytesToSeconds(h, audio::position(h)), seconds);
        }
        // Beyond the end the position stays at the length.
        audio::setPosition(h, audio::length(h) + 4000);
        EXPECT_EQ(audio::position(h), audio::length(h));
        EXPECT_TRUE(audio::hasEnded(h));
        audio::playChannel(h, true);
        EXPECT_EQ(audio::position(h), 0u);
        EXPECT_FALSE(audio::hasEnded(h));
        audio::freeStream(h);
    }
}

TEST_F(StreamTest, FilesWithoutAudioGiveNoStreamAndAReason) {
    const std::string dir = audiotest::scratchDir() + "/bad";
    testsupport::writeFile(dir + "/text.mp3", "this is not music\n");
    testsupport::writeFile(dir + "/empty.mp3", "");
    testsupport::writeFile(dir + "/id3only.mp3", std::string("ID3\x04\x00\x00\x00\x00\x00\x0a", 10) + "0123456789");
    std::string noise;
    for (unsigned i = 0; i < 200000; ++i) noise += static_cast<char>((i * 7919 + (i >> 5) * 104729) & 0xff);
    testsupport::writeFile(dir + "/noise.mp3", noise);
    ASSERT_TRUE(testsupport::writeToneWav(dir + "/tone.wav", 44100, 2, 44100));
    mkdir((dir + "/folder.mp3").c_str(), 0755);
    mkfifo((dir + "/fifo.mp3").c_str(), 0644);

    struct Case {
        std::string file, reason;
    };
    std::vector<Case> cases = {
        {"missing.mp3", "no such file"},     {"missing/dir/x.mp3", "no such file"},
        {"text.mp3", "not an MP3 stream"},   {"noise.mp3", "not an MP3 stream"},
        {"tone.wav", "not an MP3 stream"},   {"empty.mp3", "empty file"},
        {"id3only.mp3", "no audio frames"},  {"folder.mp3", "is a directory"},
        {"fifo.mp3", "not a regular file"},
    };
    // lame writes a frame with only its header when given no samples.
    if (testsupport::haveCommand("lame") && testsupport::writeToneWav(dir + "/silence.wav", 44100, 1, 0) &&
        testsupport::shell("lame --quiet '" + dir + "/silence.wav' '" + dir + "/noframes.mp3'"))
        cases.push_back({"noframes.mp3", "no audio frames"});
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(audio::createFileStream(dir + "/" + c.file, why), 0u) << c.file;
        EXPECT_EQ(why, c.reason) << c.file;
    }
}

TEST_F(StreamTest, TruncatedFileOpensWithTheFramesItHas) {
    const auto& f = toneFiles().front();
    std::string bytes = testsupport::readFile(f.path);
    const std::string cut = audiotest::scratchDir() + "/cut.mp3";
    testsupport::writeFile(cut, bytes.substr(0, bytes.size() / 2));
    std::string why;
    audio::StreamHandle h = audio::createFileStream(cut, why);
    ASSERT_NE(h, 0u) << why;
    const std::uint64_t frames = audio::length(h) / (f.channels * 4);
    EXPECT_GT(frames, 0u);
    EXPECT_LT(frames, static_cast<std::uint64_t>(3.3 * f.rate));
}

TEST_F(StreamTest, HandlesAreNotReusedAndDeadHandlesAreHarmless) {
    const auto& f = toneFiles().front();
    std::string why;
    audio::StreamHandle a = audio::createFileStream(f.path, why);
    ASSERT_TRUE(audio::freeStream(a));
    audio::StreamHandle b = audio::createFileStream(f.path, why);
    EXPECT_NE(a, b);
    for (audio::StreamHandle dead : {a, audio::StreamHandle(0)}) {
        EXPECT_FALSE(audio::playChannel(dead, true));
        EXPECT_FALSE(audio::stopChannel(dead));
        EXPECT_FALSE(audio::freeStream(dead));
        EXPECT_FALSE(audio::setPosition(dead, 8));
        EXPECT_FALSE(audio::setVolume(dead, 1.0f));
        EXPECT_EQ(audio::position(dead), 0u);
        EXPECT_EQ(audio::length(dead), 0u);
        EXPECT_EQ(audio::secondsToBytes(dead, 1.0), 0u);
        EXPECT_EQ(audio::bytesToSeconds(dead, 8), 0.0);
        EXPECT_FALSE(audio::hasEnded(dead));
    }
    EXPECT_TRUE(audio::setVolume(b, 1.0f));
    EXPECT_TRUE(audio::setVolume(b, 0.0f));
    EXPECT_FALSE(audio::setVolume(b, -1.0f));
    // Freeing the output frees its streams.
    audio::freeOutput();
    EXPECT_EQ(audio::length(b), 0u);
    EXPECT_FALSE(audio::stopChannel(b));
}

}  // namespace
