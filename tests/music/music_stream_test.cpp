// MusicSync's stream: opening, re-opening, failing, and the teardown, on real
// MP3 files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "support/audiotest.h"
#include "support/loadmessages.h"
#include "support/mp3fixtures.h"
#include "support/support.h"

namespace {

using audiotest::toneFiles;

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        audiotest::useClock(audio::Clock::Manual);
        if (toneFiles().empty()) GTEST_SKIP() << "neither lame nor ffmpeg can make MP3 files";
    }
    void TearDown() override { audio::freeOutput(); }
};

class MusicStreamTest : public StreamTest {
protected:
    std::string why;  // what the last failed open said
};

TEST_F(MusicStreamTest, MissingFileLeavesNoStreamButMarksItOpen) {
    {
        MusicSync ms;
        openStream(audiotest::scratchDir() + "/no-such.mp3", why, ms);
        EXPECT_TRUE(ms.streamOpen);
        EXPECT_EQ(ms.stream, 0u);
        EXPECT_EQ(musicRow(ms), 0);
    }  // teardown stops and frees handle 0: nothing happens
    SUCCEED();
}

TEST_F(MusicStreamTest, ReopeningReleasesTheOldStream) {
    const auto& files = toneFiles();
    MusicSync ms;
    openStream(files.front().path, why, ms);
    audio::StreamHandle first = ms.stream;
    ASSERT_NE(first, 0u);
    openStream(files.back().path, why, ms);
    EXPECT_NE(ms.stream, 0u);
    EXPECT_NE(ms.stream, first);
    EXPECT_EQ(audio::length(first), 0u) << "the first stream was not freed";
    // A failed open still releases the one before.
    audio::StreamHandle second = ms.stream;
    openStream(audiotest::scratchDir() + "/no-such.mp3", why, ms);
    EXPECT_EQ(ms.stream, 0u);
    EXPECT_EQ(audio::length(second), 0u);
}

TEST_F(MusicStreamTest, TeardownFreesTheStream) {
    audio::StreamHandle h;
    {
        MusicSync ms;
        openStream(toneFiles().front().path, why, ms);
        h = ms.stream;
        ASSERT_NE(h, 0u);
        startPlayback(ms);
    }
    EXPECT_EQ(audio::length(h), 0u);
}

class InitMusicTest : public StreamTest {
protected:
    void SetUp() override {
        StreamTest::SetUp();
        if (IsSkipped()) return;
        dir = std::make_unique<testsupport::TempDir>();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir->path());
        loadFailed = false;
    }
    void TearDown() override {
        if (dir) std::filesystem::current_path(previous);
        loadFailed = false;
        StreamTest::TearDown();
    }
    std::unique_ptr<testsupport::TempDir> dir;
    std::filesystem::path previous;
};

TEST_F(InitMusicTest, MissingMusicFailsWithOneLineNamingFileAndReason) {
    MusicSync ms;
    testsupport::watchLoadMessages();
    EXPECT_EQ(initMusic(ms), 1);
    EXPECT_EQ(testsupport::loadMessagesPrintedAs("tarnwick-capture"), "tarnwick-capture: data/musik/musik.mp3: no such file\n");
    EXPECT_TRUE(loadFailed);
    EXPECT_TRUE(ms.streamOpen);
    EXPECT_EQ(ms.stream, 0u);
}

TEST_F(InitMusicTest, UndecodableMusicNamesTheReason) {
    testsupport::writeFile("data/musik/musik.mp3", "<html>not found</html>\n");
    MusicSync ms;
    testsupport::watchLoadMessages();
    EXPECT_EQ(initMusic(ms), 1);
    EXPECT_EQ(testsupport::loadMessagesPrintedAs("tarnwick"), "tarnwick: data/musik/musik.mp3: not an MP3 stream\n");
    EXPECT_TRUE(loadFailed);
}

TEST_F(InitMusicTest, OpensTheMusicAndReleasesAnEarlierStream) {
    std::filesystem::create_directories("data/musik");
    std::filesystem::copy_file(toneFiles().front().path, "data/musik/musik.mp3");
    MusicSync ms;
    ms.stream = audio::createBlankStream(44100, 2, 100);
    ms.streamOpen = true;
    audio::StreamHandle blank = ms.stream;
    EXPECT_EQ(initMusic(ms), 0);
    EXPECT_FALSE(loadFailed);
    EXPECT_NE(ms.stream, 0u);
    EXPECT_NE(ms.stream, blank);
    EXPECT_EQ(audio::length(blank), 0u);
    EXPECT_EQ(audio::length(ms.stream), audio::secondsToBytes(ms.stream, 3.3));
}

}  // namespace
