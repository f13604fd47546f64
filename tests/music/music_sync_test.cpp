// The sync file as the demo loads it: laid out on the length of the music
// stream, its warnings on stderr.
#include <gtest/gtest.h>

#include "music/musicsync.h"
#include "support/audiotest.h"
#include "support/loadmessages.h"
#include "support/support.h"

namespace {

TEST(MusicSyncLoad, TakesTheSongLengthFromTheStream) {
    audiotest::useClock(audio::Clock::Manual);
    testsupport::TempDir dir;
    // 125 bpm, one FLOAT pattern of one beat, looped.
    testsupport::writeFile(dir.file("sync.csv"),
                           "h\tt\r\nbpm\t125\r\noff\t0.5\r\nPATTERNS\r\nr\t4\r\nt\tFLOAT\r\nfade\t0\t\t\t1\r\n"
                           "CHANNELS\r\nmain\tfade\r\nf\t1\r\n");
    MusicSync ms;
    ms.stream = audio::createBlankStream(48000, 2, 60 * 48000);
    ms.streamOpen = true;
    SyncWarnings warnings;
    loadSync(dir.file("sync.csv"), '\t', ms, &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(ms.file.bpm, 125.0f);
    EXPECT_EQ(ms.file.offset, 0.5f);
    // 60 s at 125 bpm: 125 beats of 4 rows.
    EXPECT_EQ(ms.timeline.totalRows, 500);

    // Loaded again: onto an empty model, the first playback gone with it.
    const std::size_t patterns = ms.file.patterns.size();
    ms.playback.syncRow = 7;
    ms.playback.pendingRows.assign(3, true);
    loadSync(dir.file("sync.csv"), '\t', ms, &warnings);
    EXPECT_EQ(ms.file.patterns.size(), patterns);
    EXPECT_EQ(ms.timeline.totalRows, 500);
    EXPECT_EQ(ms.playback.syncRow, 0);
    EXPECT_TRUE(ms.playback.pendingRows.empty());

    // A reset for the next run: no stream, no file, no sync.
    const audio::StreamHandle stream = ms.stream;
    ms.playback.syncRow = 7;
    resetMusic(ms);
    EXPECT_EQ(audio::length(stream), 0u) << "the stream was not freed";
    EXPECT_EQ(ms.stream, 0u);
    EXPECT_FALSE(ms.streamOpen);
    EXPECT_EQ(ms.playback.syncRow, 0);
    EXPECT_EQ(ms.timeline.totalRows, 0);
    EXPECT_TRUE(ms.file.patterns.empty());
    EXPECT_EQ(ms.file.bpm, SyncFile{}.bpm);
    audio::freeOutput();
}

TEST(MusicSyncLoad, PrintsWarningsWithTheFileAndLine) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("bad.csv"), "h\tt\r\nbpm\tfast\r\noff\t0\r\nPATTERNS\r\nCHANNELS\r\n");
    MusicSync ms;
    testsupport::watchLoadMessages();
    loadSync(dir.file("bad.csv"), '\t', ms);
    std::string err = testsupport::loadMessagesPrintedAs("tarnwick");
    EXPECT_EQ(err, "tarnwick: " + dir.file("bad.csv") + ":2: bpm \"fast\" is not a number above 0; keeping 120\n");
}

}  // namespace

namespace {

TEST(MusicSyncLoad, AFloodOfWarningsPrintsTwentyAndTheCountOfTheRest) {
    testsupport::TempDir dir;
    std::string text = "h\tt\r\nbpm\t125\r\noff\t0\r\n";
    for (int i = 0; i < 200; ++i) text += "\r\n";  // 100 joined lines
    text += "PATTERNS\r\nCHANNELS\r\n";
    testsupport::writeFile(dir.file("flood.csv"), text);
    MusicSync ms;
    testsupport::watchLoadMessages();
    loadSync(dir.file("flood.csv"), '\t', ms);
    std::string err = testsupport::loadMessagesPrintedAs("tarnwick");
    std::size_t lines = 0;
    for (char c : err) lines += c == '\n';
    EXPECT_EQ(lines, 21u) << err;
    EXPECT_NE(err.find("tarnwick: " + dir.file("flood.csv") + ": ... and 80 more warnings like this\n"),
              std::string::npos)
        << err;

    // One warning past the twenty is counted as well.
    text = "h\tt\r\nbpm\t125\r\noff\t0\r\n";
    for (int i = 0; i < 42; ++i) text += "\r\n";  // 21 joined lines
    testsupport::writeFile(dir.file("flood.csv"), text + "PATTERNS\r\nCHANNELS\r\n");
    testsupport::watchLoadMessages();
    loadSync(dir.file("flood.csv"), '\t', ms);
    err = testsupport::loadMessagesPrintedAs("tarnwick");
    lines = 0;
    for (char c : err) lines += c == '\n';
    EXPECT_EQ(lines, 21u) << err;
}

}  // namespace
