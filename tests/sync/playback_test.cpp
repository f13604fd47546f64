// Sync playback: the start and seek of the channels and the per-frame
// advance, driven by a manual clock. At 120 bpm and 4 rows per beat a sync
// row lasts 0.125 s, 6000 sample frames at 48 kHz.
#include "sync_test_util.h"

using namespace synctest;

namespace {

constexpr std::uint64_t rowFrames = 6000;

// a = 1 2 3 4, b = 5 6; "seq" plays a b and then loops a.
std::string seqFile(const std::vector<std::string>& moreChannels = {},
                    const std::vector<std::string>& morePatterns = {}) {
    std::vector<std::string> lines = {"h\tt",       "bpm\t120", "off\t0",        "PATTERNS", "r\t4",
                                      "t\tINTEGER", "a\t1\t2\t3\t4", "r\t4",     "t\tINTEGER", "b\t5\t6"};
    for (const std::string& l : morePatterns) lines.push_back(l);
    lines.push_back("CHANNELS");
    lines.push_back("seq\ta\tb");
    lines.push_back("f\t1");
    for (const std::string& l : moreChannels) lines.push_back(l);
    return crlf(lines);
}

int seqValue(int row) { return row < 6 ? row + 1 : (row - 6) % 4 + 1; }

int pendingCount(const Loaded& ms) {
    int n = 0;
    for (bool b : ms.playback.pendingRows) n += b;
    return n;
}

int valueOf(const SyncValue* v) { return v ? asInt(v) : 0; }

// Two advances on a row, as a fast frame rate gives: the first computes it,
// the second processes it.
void twoAdvancesAt(Loaded& ms, int row) {
    setFrame(ms, row * rowFrames);
    advanceSync(ms);
    setFrame(ms, row * rowFrames + rowFrames / 2);
    advanceSync(ms);
}

}  // namespace

TEST(SyncPlayback, FirstAdvanceAtTheStartProcessesRowZeroOnly) {
    auto ms = load(seqFile(), 10.0);
    ASSERT_EQ(ms->timeline.totalRows, 80);
    startPlayback(*ms);
    EXPECT_EQ(ms->playback.pendingRows, ms->timeline.rowHasValue);
    EXPECT_EQ(ms->playback.syncRow, 0);

    setFrame(*ms, 0);
    std::vector<const SyncValue*> result = advanceSync(*ms);
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(valueOf(result[0]), 1);
    EXPECT_EQ(ms->playback.currentValues[0], result[0]);
    EXPECT_FALSE(ms->playback.pendingRows[0]);
    EXPECT_EQ(pendingCount(*ms), 79);

    // Still at row 0: nothing more to do.
    result = advanceSync(*ms);
    EXPECT_EQ(result[0], nullptr);
    EXPECT_EQ(pendingCount(*ms), 79);

    // Rewound after playing: row 0, every row pending, the first placement.
    for (int row = 1; row <= 12; ++row) twoAdvancesAt(*ms, row);
    startPlayback(*ms);
    EXPECT_EQ(ms->playback.syncRow, 0);
    EXPECT_EQ(ms->playback.pendingRows, ms->timeline.rowHasValue);
    EXPECT_EQ(ms->playback.placementIndex, std::vector<std::int32_t>{0});

    // A position that is no number, or a row length of none, is row 0.
    for (float seconds : {std::nanf(""), INFINITY}) EXPECT_EQ(syncRowAt(seconds, 120.0f, 4), 0) << seconds;
    EXPECT_EQ(syncRowAt(1.0f, 0.0f, 4), 0);
}

TEST(SyncPlayback, FastFramesProcessEachRowOnceOneFrameLate) {
    auto ms = load(seqFile(), 10.0);
    startPlayback(*ms);
    std::vector<int> advancesOnRow(ms->timeline.totalRows, 0);
    std::vector<int> processedRows;
    // 30 advances per row, through the first 20 rows.
    for (std::uint64_t frame = 0; frame < 20 * rowFrames; frame += rowFrames / 30) {
        setFrame(*ms, frame);
        std::vector<bool> before = ms->playback.pendingRows;
        std::vector<const SyncValue*> result = advanceSync(*ms);
        const int row = ms->playback.syncRow;
        ++advancesOnRow[row];
        std::vector<int> done;
        for (int r = 0; r < ms->timeline.totalRows; ++r) {
            if (before[r] && !ms->playback.pendingRows[r]) done.push_back(r);
        }
        if (done.empty()) {
            EXPECT_EQ(result[0], nullptr) << "frame " << frame;
            continue;
        }
        ASSERT_EQ(done.size(), 1u) << "frame " << frame;
        EXPECT_EQ(done[0], row);
        // Row 0 is due at once; every later row waits for its second advance.
        EXPECT_EQ(advancesOnRow[row], row == 0 ? 1 : 2) << "row " << row;
        EXPECT_EQ(valueOf(result[0]), seqValue(row)) << "row " << row;
        EXPECT_EQ(ms->playback.currentValues[0], result[0]);
        processedRows.push_back(row);
    }
    std::vector<int> expected;
    for (int r = 0; r < 20; ++r) expected.push_back(r);
    EXPECT_EQ(processedRows, expected);
}

TEST(SyncPlayback, JumpOverARowLeavesItPending) {
    auto ms = load(seqFile(), 10.0);
    startPlayback(*ms);
    for (int row = 0; row <= 5; ++row) twoAdvancesAt(*ms, row);
    EXPECT_FALSE(ms->playback.pendingRows[5]);
    EXPECT_EQ(valueOf(ms->playback.currentValues[0]), seqValue(5));

    // From 5 to 7: the advance that computes 7 starts at 5, which is done.
    setFrame(*ms, 7 * rowFrames);
    std::vector<const SyncValue*> result = advanceSync(*ms);
    EXPECT_EQ(ms->playback.syncRow, 7);
    EXPECT_EQ(result[0], nullptr);
    EXPECT_TRUE(ms->playback.pendingRows[6]);
    EXPECT_TRUE(ms->playback.pendingRows[7]);

    // The next one starts at 7 and processes it.
    result = advanceSync(*ms);
    EXPECT_EQ(valueOf(result[0]), seqValue(7));
    EXPECT_FALSE(ms->playback.pendingRows[7]);

    twoAdvancesAt(*ms, 8);
    EXPECT_FALSE(ms->playback.pendingRows[8]);
    EXPECT_EQ(valueOf(ms->playback.currentValues[0]), seqValue(8));
    EXPECT_TRUE(ms->playback.pendingRows[6]) << "row 6 is never processed";
}

TEST(SyncPlayback, StartupSeekCatchesUpOnTheRunFromRowZero) {
    auto ms = load(seqFile(), 10.0);
    startPlayback(*ms);
    seekToSeconds(10 * 0.125f, *ms);
    std::vector<const SyncValue*> result = advanceSync(*ms);
    EXPECT_EQ(ms->playback.syncRow, 10);
    for (int r = 0; r < 12; ++r) EXPECT_EQ(ms->playback.pendingRows[r], r > 10) << "row " << r;
    EXPECT_EQ(valueOf(result[0]), seqValue(10));
    EXPECT_EQ(ms->playback.placementIndex[0], 3);  // a b a [a]: starts 0 4 6 10

    // A row without any value ends the run.
    auto gap = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t4", "t\tINTEGER", "g\t1\t2\t3\t\t5\t6\t7\t8",
                          "CHANNELS", "c\tg", "f\t1"}),
                    10.0);
    startPlayback(*gap);
    seekToSeconds(10 * 0.125f, *gap);
    result = advanceSync(*gap);
    EXPECT_EQ(valueOf(result[0]), 3);
    for (int r = 0; r < 12; ++r) EXPECT_EQ(gap->playback.pendingRows[r], r > 2 && r != 3 && r != 11) << "row " << r;

    // The next advance starts at the new row.
    result = advanceSync(*gap);
    EXPECT_EQ(valueOf(result[0]), 3);  // row 10 is the third row of the second g
    EXPECT_FALSE(gap->playback.pendingRows[10]);
    EXPECT_TRUE(gap->playback.pendingRows[4]);
}

TEST(SyncPlayback, SeekRearmsFromThePositionBeforeTheJump) {
    auto ms = load(seqFile(), 10.0);
    startPlayback(*ms);
    for (int row = 0; row <= 12; ++row) twoAdvancesAt(*ms, row);
    for (int r = 0; r <= 12; ++r) EXPECT_FALSE(ms->playback.pendingRows[r]);

    // Backwards to row 2: rows from 12 on are armed again, earlier ones not.
    ms->playback.placementIndex[0] = 0;
    seekToSeconds(2 * 0.125f, *ms);
    EXPECT_FALSE(ms->playback.pendingRows[11]);
    EXPECT_TRUE(ms->playback.pendingRows[12]);
    // Re-indexed from the row of the last advance, 12: placements start at
    // 0 4 6 10 14, so the fourth holds it.
    EXPECT_EQ(ms->playback.placementIndex[0], 3);

    // From a last advance inside the first placement, the first placement;
    // on a placement's first row, that placement.
    for (int row : {2, 4, 10}) {
        twoAdvancesAt(*ms, row);
        seekToSeconds(0.0f, *ms);
        EXPECT_EQ(ms->playback.placementIndex[0], row == 2 ? 0 : row == 4 ? 1 : 3) << row;
    }

    // A jump back from before the music's first row re-arms from row 0, on
    // the first placement.
    twoAdvancesAt(*ms, 1);
    EXPECT_FALSE(ms->playback.pendingRows[0]);
    advanceSyncTo(ms->playback, ms->timeline, -5);
    rearmSyncPlayback(ms->playback, ms->timeline, -5);
    EXPECT_TRUE(ms->playback.pendingRows[0]);
    EXPECT_EQ(ms->playback.placementIndex[0], 0);
}

TEST(SyncPlayback, EmptyCellsKeepTheCurrentValue) {
    auto ms = load(seqFile({"sparse\ts", "f\t0", "silent\temptypattern", "f\t1"},
                           {"r\t4", "t\tINTEGER", "s\t7\t\t\t9"}),
                   10.0);
    ASSERT_EQ(ms->file.channels.size(), 3u);
    startPlayback(*ms);
    const int expected[] = {7, 7, 7, 9, 9, 9, 9, 9};
    for (int row = 0; row < 8; ++row) {
        // Row 0 is processed by the very first advance, later rows by the
        // second advance that sees them.
        if (row > 0) {
            setFrame(*ms, row * rowFrames);
            advanceSync(*ms);
        }
        setFrame(*ms, row * rowFrames + 1);
        std::vector<const SyncValue*> result = advanceSync(*ms);
        ASSERT_EQ(result.size(), 3u);
        EXPECT_EQ(valueOf(result[0]), seqValue(row));
        EXPECT_EQ(valueOf(result[1]), row == 0 || row == 3 ? expected[row] : 0) << "row " << row;
        EXPECT_EQ(valueOf(ms->playback.currentValues[1]), expected[row]) << "row " << row;
        // A channel only on empty cells never gets a value.
        EXPECT_EQ(result[2], nullptr);
        EXPECT_EQ(ms->playback.currentValues[2], nullptr);
    }
}

TEST(SyncPlayback, RowsPastTheSongAreNeverProcessed) {
    // 1 s at 120 bpm: 2 beats, 8 rows; the position can reach row 8.
    auto ms = load(seqFile(), 1.0);
    ASSERT_EQ(ms->timeline.totalRows, 8);
    startPlayback(*ms);
    // Placements a b a start at rows 0, 4 and 6: the last one is reached too.
    for (int row = 0; row < 8; ++row) {
        twoAdvancesAt(*ms, row);
        EXPECT_EQ(valueOf(ms->playback.currentValues[0]), seqValue(row)) << "row " << row;
    }
    EXPECT_EQ(pendingCount(*ms), 0);
    setFrame(*ms, 48000);
    advanceSync(*ms);
    EXPECT_EQ(ms->playback.syncRow, 8);
    EXPECT_EQ(advanceSync(*ms)[0], nullptr);
    EXPECT_EQ(ms->playback.pendingRows.size(), 8u);

    // A jump back re-arms every row up to the last.
    rearmSyncPlayback(ms->playback, ms->timeline, 0);
    EXPECT_EQ(pendingCount(*ms), 8);

    // A placement index left out of range (by any earlier state) is put
    // right before it is used.
    for (std::int32_t stale : {-1, 3, 1000000}) {
        startPlayback(*ms);
        setFrame(*ms, 0);
        advanceSync(*ms);
        for (int row = 1; row < 8; ++row) {
            ms->playback.placementIndex[0] = stale;
            twoAdvancesAt(*ms, row);
            EXPECT_EQ(valueOf(ms->playback.currentValues[0]), seqValue(row)) << "row " << row << ", index " << stale;
        }
    }

    // A channel of one placement: half a second holds only its first four rows.
    auto one = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t4", "t\tINTEGER", "a\t1\t2\t3\t4",
                          "CHANNELS", "c\ta", "f\t0"}),
                    0.5);
    ASSERT_EQ(one->timeline.channels[0].placements.size(), 1u);
    startPlayback(*one);
    EXPECT_EQ(valueOf(advanceSync(*one)[0]), 1);

    // A playback holding fewer rows than the timeline is re-armed within its own.
    SyncPlayback unsized;
    rearmSyncPlayback(unsized, ms->timeline, 0);
    EXPECT_TRUE(unsized.pendingRows.empty());

    // With nothing loaded there is nothing to advance.
    Loaded empty;
    startPlayback(empty);
    EXPECT_TRUE(advanceSync(empty).empty());
}
