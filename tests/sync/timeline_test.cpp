// The sync timeline: re-gridding, the common resolution, the song length,
// placements and filling, and the row bitset.
#include <set>

#include "sync_test_util.h"

using namespace synctest;

namespace {

// A pattern with `rows` values 0, 1, 2, ... at `resolution`; the rows listed
// in `empty` are empty cells.
Pattern makePattern(float resolution, int rows, const std::set<int>& empty = {}) {
    Pattern p;
    p.name = "p";
    p.type = ValueType::Integer;
    p.resolution = resolution;
    for (int i = 0; i < rows; ++i) {
        if (empty.count(i)) {
            p.values.push_back(nullptr);
            continue;
        }
        p.owned.push_back(std::make_unique<SyncValue>(SyncValue{std::int32_t{i}}));
        p.values.push_back(p.owned.back().get());
    }
    return p;
}

// The old row each new row refers to (-1 for an empty one).
std::vector<int> sourceRows(const Pattern& p) {
    std::vector<int> rows;
    for (const SyncValue* v : p.values) rows.push_back(v ? asInt(v) : -1);
    return rows;
}

// Every value the rows refer to is owned exactly once, and nothing else is.
void expectOwnedExactly(const Pattern& p) {
    std::set<const SyncValue*> referenced;
    for (const SyncValue* v : p.values) {
        if (v) referenced.insert(v);
    }
    std::set<const SyncValue*> owned;
    for (const auto& v : p.owned) owned.insert(v.get());
    EXPECT_EQ(owned.size(), p.owned.size()) << "a value is owned twice";
    EXPECT_EQ(owned, referenced);
}

std::string patternsFile(const std::vector<std::pair<std::string, std::string>>& resolutionAndCells,
                         const std::vector<std::string>& channelLines = {}, const std::string& bpm = "120") {
    std::vector<std::string> lines = {"h\tt", "bpm\t" + bpm, "off\t0", "PATTERNS"};
    int n = 0;
    for (const auto& [resolution, cells] : resolutionAndCells) {
        lines.push_back("r\t" + resolution);
        lines.push_back("t\tINTEGER");
        lines.push_back("p" + std::to_string(n++) + cells);
    }
    lines.push_back("CHANNELS");
    for (const std::string& l : channelLines) lines.push_back(l);
    return crlf(lines);
}

}  // namespace

TEST(SyncResample, WholeMultiplesSpreadTheRows) {
    Pattern p = makePattern(1.0f, 8);
    resamplePattern(p, 4.0f);
    EXPECT_EQ(p.resolution, 4.0f);
    ASSERT_EQ(p.values.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(sourceRows(p)[i], i % 4 == 0 ? i / 4 : -1) << "row " << i;
    expectOwnedExactly(p);
}

TEST(SyncResample, PartialLastBeatIsDropped) {
    Pattern six = makePattern(4.0f, 6);
    resamplePattern(six, 8.0f);
    EXPECT_EQ(sourceRows(six), (std::vector<int>{0, -1, 1, -1, 2, -1, 3, -1}));
    EXPECT_EQ(six.owned.size(), 4u);
    expectOwnedExactly(six);

    Pattern three = makePattern(4.0f, 3);
    resamplePattern(three, 8.0f);
    EXPECT_TRUE(three.values.empty());
    EXPECT_TRUE(three.owned.empty());

    // One beat of one row keeps its one row.
    Pattern one = makePattern(1.0f, 1);
    resamplePattern(one, 1.0f);
    EXPECT_EQ(sourceRows(one), (std::vector<int>{0}));
}

TEST(SyncResample, FractionalRatioSharesValuesBetweenRows) {
    Pattern p = makePattern(2.005f, 6);
    resamplePattern(p, 4.0f);
    // Two whole beats; step 1; old rows 0, 0, 1, 1, 2, 2, 3, 3.
    EXPECT_EQ(sourceRows(p), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(p.values[0], p.values[1]);
    EXPECT_EQ(p.owned.size(), 4u);
    expectOwnedExactly(p);

    // Empty cells stay empty where they land.
    Pattern gaps = makePattern(1.0f, 3, {1});
    resamplePattern(gaps, 2.0f);
    EXPECT_EQ(sourceRows(gaps), (std::vector<int>{0, -1, -1, -1, 2, -1}));
    expectOwnedExactly(gaps);
}

TEST(SyncTimeline, FractionalResolutionsBecomeWholeGrids) {
    struct Case {
        std::string resolution;
        std::string cells;
        std::int32_t rowsPerBeat;
        std::vector<int> rows;
    };
    const std::vector<Case> cases = {
        {"1.5", "\t0\t1\t2", 3, {0, -1, 1, -1, 2, -1}},  // two whole beats at 3
        {"0.5", "\t0\t1", 1, {0, -1, 1, -1}},            // each row two beats
        {"0.25", "\t0", 1, {0, -1, -1, -1}},
        {"1.25", "\t0\t1\t2\t3\t4", 5, {0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3, -1, -1, -1, 4, -1, -1, -1}},
        {"2.005", "\t0\t1", 2, {0, 1}},                  // a fraction of 0.01 or less is only rounded
    };
    for (const Case& c : cases) {
        SyncWarnings warnings;
        auto ms = load(patternsFile({{c.resolution, c.cells}}), 0.0, &warnings);
        EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
        EXPECT_EQ(ms->timeline.rowsPerBeat, c.rowsPerBeat) << c.resolution;
        const Pattern* p = findPattern(*ms, "p0");
        ASSERT_TRUE(p);
        std::vector<int> rows;
        for (const SyncValue* v : p->values) rows.push_back(v ? asInt(v) : -1);
        EXPECT_EQ(rows, c.rows) << c.resolution;
        EXPECT_EQ(std::lround(p->resolution), c.rowsPerBeat);
        // The built-in pattern always lasts one beat.
        EXPECT_EQ(ms->file.patterns[0]->values.size(), static_cast<std::size_t>(c.rowsPerBeat));
    }
    // Just above 0.01 the fraction makes a grid of its own: 1.015 needs 68.
    EXPECT_EQ(load(patternsFile({{"1.015", "\t0\t1"}}), 0.0)->timeline.rowsPerBeat, 68);
}

TEST(SyncTimeline, CommonResolutionIsTheLeastCommonMultiple) {
    auto ms = load(patternsFile({{"1", "\t1"}, {"2", "\t1"}, {"4", "\t1"}}), 0.0);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 4);
    ms = load(patternsFile({{"1", "\t1"}, {"2", "\t1"}, {"4", "\t1"}, {"3", "\t1"}}), 0.0);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 12);
    for (const auto& p : ms->file.patterns) EXPECT_EQ(p->resolution, 12.0f) << p->name;
    ms = load(patternsFile({}), 0.0);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 1);
}

TEST(SyncTimeline, SongLengthIsRoundedToWholeBeats) {
    EXPECT_EQ(load(patternsFile({}), 100.0)->timeline.totalRows, 200);
    EXPECT_EQ(load(patternsFile({{"4", "\t1"}}), 100.0)->timeline.totalRows, 800);
    EXPECT_EQ(load(patternsFile({{"4", "\t1"}}), 100.3)->timeline.totalRows, 804);
    EXPECT_EQ(load(patternsFile({{"4", "\t1"}}), 100.24)->timeline.totalRows, 800);
    EXPECT_EQ(load(patternsFile({{"4", "\t1"}}), 0.2)->timeline.totalRows, 0);
    // A song of no length has no rows.
    EXPECT_EQ(load(patternsFile({{"4", "\t1"}}), 0.0)->timeline.totalRows, 0);
}

TEST(SyncTimeline, ExampleFileWithASixtySecondSong) {
    SyncWarnings warnings;
    auto ms = load(exampleFile(), 60.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 4);
    EXPECT_EQ(ms->timeline.totalRows, 500);
    EXPECT_EQ(ms->file.patterns[0]->values, (std::vector<const SyncValue*>(4, nullptr)));
    const Pattern* fade = findPattern(*ms, "fade");
    ASSERT_EQ(fade->values.size(), 4u);
    const ChannelLayout& main = ms->timeline.channels[0];
    ASSERT_EQ(main.placements.size(), 125u);
    ASSERT_EQ(main.rowStarts.size(), 125u);
    for (int k = 0; k < 125; ++k) {
        EXPECT_EQ(main.placements[k], fade);
        EXPECT_EQ(main.rowStarts[k], 4 * k);
    }
    ASSERT_EQ(ms->timeline.rowHasValue.size(), 500u);
    for (int r = 0; r < 500; ++r) EXPECT_EQ(ms->timeline.rowHasValue[r], r % 4 == 0 || r % 4 == 3) << "row " << r;
    startPlayback(*ms);
    EXPECT_EQ(ms->playback.currentValues, (std::vector<const SyncValue*>(1, nullptr)));
}

TEST(SyncTimeline, ChannelsAreFilledToTheEndOfTheSong) {
    // 10 s at 120 bpm: 20 beats of 4 rows. a: 6 rows, b: 2 rows, z: no rows.
    auto ms = load(patternsFile({{"4", "\t1\t2\t3\t4\t5\t6"}, {"4", "\t7\t8"}, {"4", ""}},
                                {"loops\tp0\tp2\tp1", "f\t1", "waits\tp0\tp2\tp1", "f\t0", "nothing", "f\t0"}),
                   10.0);
    ASSERT_EQ(ms->timeline.totalRows, 80);
    const Pattern* a = findPattern(*ms, "p0");
    const Pattern* b = findPattern(*ms, "p1");
    const Pattern* z = findPattern(*ms, "p2");
    const Pattern* e = ms->file.patterns[0].get();
    ASSERT_EQ(ms->file.channels.size(), 3u);

    // A repeating channel loops its first pattern only.
    const ChannelLayout& loops = ms->timeline.channels[0];
    ASSERT_GE(loops.placements.size(), 3u);
    EXPECT_EQ(loops.placements[0], a);
    EXPECT_EQ(loops.placements[1], z);
    EXPECT_EQ(loops.placements[2], b);
    EXPECT_EQ(loops.rowStarts[0], 0);
    EXPECT_EQ(loops.rowStarts[1], 6);
    EXPECT_EQ(loops.rowStarts[2], 6);  // a placement without rows starts where the next does
    for (std::size_t k = 3; k < loops.placements.size(); ++k) EXPECT_EQ(loops.placements[k], a);
    // 8 rows, then 6 each: 8, 14, ..., 74, 80: the last one starts at 74.
    EXPECT_EQ(loops.rowStarts.back(), 74);

    // Other channels wait out the song one beat at a time.
    const ChannelLayout& waits = ms->timeline.channels[1];
    EXPECT_EQ(waits.rowStarts[3], 8);
    EXPECT_EQ(waits.placements.size(), 3u + 18u);
    for (std::size_t k = 3; k < waits.placements.size(); ++k) EXPECT_EQ(waits.placements[k], e);

    const ChannelLayout& nothing = ms->timeline.channels[2];
    EXPECT_EQ(nothing.placements, std::vector<const Pattern*>(20, e));

    for (const ChannelLayout& c : ms->timeline.channels) {
        ASSERT_EQ(c.rowStarts.size(), c.placements.size());
        EXPECT_EQ(c.rowStarts[0], 0);
        for (std::size_t k = 1; k < c.placements.size(); ++k) {
            EXPECT_EQ(c.rowStarts[k], c.rowStarts[k - 1] + static_cast<std::int32_t>(c.placements[k - 1]->values.size()));
        }
        EXPECT_GE(c.rowStarts.back() + static_cast<std::int32_t>(c.placements.back()->values.size()), ms->timeline.totalRows);
    }
}

TEST(SyncTimeline, PatternsMayGrowOnTheCommonGridUpToTheRowsAllMayHold) {
    // The built-in beat (1 row, 2 on the grid), p0 of n rows at 1 a beat and
    // p1 of 2 rows at 2: on the common grid of 2, p0 grows to 2n rows, and
    // all hold 2 + 2n + 2 rows. Exactly the limit is allowed; a row more is not.
    const std::int64_t n = (maxPatternRows - 4) / 2;
    for (std::int64_t rows : {n, n + 1}) {
        std::string cells;
        cells.reserve(static_cast<std::size_t>(2 * rows));
        for (std::int64_t i = 0; i < rows; ++i) cells += "\t1";
        SyncWarnings warnings;
        auto ms = load(patternsFile({{"1", cells}, {"2", "\t1\t2"}}), 0.0, &warnings);
        const Pattern* grown = findPattern(*ms, "p0");
        if (rows == n) {
            EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
            ASSERT_TRUE(grown);
            EXPECT_EQ(grown->values.size(), static_cast<std::size_t>(2 * n));
        } else {
            EXPECT_EQ(grown, nullptr);
            ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
            EXPECT_EQ(warnings[0].kind, "pattern-rows");
        }
    }
}

TEST(SyncTimeline, AChannelPastTheRowsAPlaceHoldsDropsItsLastPlacements) {
    // On a grid of 65536 rows a beat, a one-beat pattern placed 32770 times:
    // the 32768 that start within 2^31 rows stay, the last two go.
    std::string channel = "c";
    for (int i = 0; i < 32770; ++i) channel += "\tp1";
    SyncWarnings warnings;
    auto ms = load(patternsFile({{"65536", "\t0"}, {"1", "\t1"}}, {channel, "f\t0"}), 0.0, &warnings);
    ASSERT_EQ(ms->timeline.rowsPerBeat, 65536);
    ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
    EXPECT_EQ(warnings[0].kind, "channel-rows");
    EXPECT_NE(warnings[0].message.find("its last 2 placement(s) are dropped"), std::string::npos) << warnings[0].message;
    EXPECT_EQ(ms->timeline.channels[0].placements.size(), 32768u);
}

TEST(SyncTimeline, RowBitsOnlyWherePlacedCellsHoldValues) {
    // p0 has values on rows 0 and 2 of 4 (1 and 3 empty); p1 on row 1 only.
    auto ms = load(patternsFile({{"4", "\t1\t\t1"}, {"4", "\t\t1"}, {"4", "\t\t\t\t"}},
                                {"a\tp0\tp0", "f\t0", "b\tp2\tp1\tp1", "f\t0", "c\temptypattern", "f\t1"}),
                   4.0);
    ASSERT_EQ(ms->timeline.totalRows, 32);
    std::vector<int> set;
    for (int r = 0; r < ms->timeline.totalRows; ++r) {
        if (ms->timeline.rowHasValue[r]) set.push_back(r);
    }
    // a: 0, 2 and 3, 5; b (p2 has no rows): 1 and 3.
    EXPECT_EQ(set, (std::vector<int>{0, 1, 2, 3, 5}));

    // A channel only on empty cells sets nothing.
    ms = load(patternsFile({}, {"c\temptypattern", "f\t1", "d", "f\t0"}), 4.0);
    ASSERT_EQ(ms->timeline.rowHasValue.size(), 8u);
    EXPECT_EQ(ms->timeline.rowHasValue, std::vector<bool>(8, false));
}
