// The sync file reader: lines, fields, numbers, header, sections, cells and
// channels, and what it does with files outside the format's limits.
#include <cstdlib>

#include "support/support.h"
#include "sync_test_util.h"

using namespace synctest;
using Lines = std::vector<std::string>;

TEST(SyncNumbers, ReadLikeAtofAndAtoi) {
    // Decimal text, as the C library reads it.
    for (const char* text : {"125", " 0.5", "\t-2.25x", "1.5e2z", "1e", "1e+", ".5", "5.", "-.75e-1", "",
                             "x", "+3", "0.1", "123456789.123", "  \n7", "1e-50", "1e300", "- 1"}) {
        EXPECT_EQ(readSyncFloat(text), static_cast<float>(std::atof(text))) << '"' << text << '"';
    }
    // Only decimal numbers count: no words, no hexadecimal.
    EXPECT_EQ(readSyncFloat("inf"), 0.0f);
    EXPECT_EQ(readSyncFloat("nan"), 0.0f);
    EXPECT_EQ(readSyncFloat("0x10"), 0.0f);
    EXPECT_TRUE(std::isinf(readSyncFloat("1e400")));

    for (const char* text : {"1", " -12abc", "+7", "1.5", "yes", "", "-", "2147483647", "2147483648",
                             "99999999999", "-99999999999999999999999", "\t\v 42", "0012",
                             "9223372036854775808", "-9223372036854775809",   // just past the 64-bit range
                             "9223372036854775800", "-9223372036854775800"}) {  // just below it
        EXPECT_EQ(readSyncInt(text), std::atoi(text)) << '"' << text << '"';
    }
}

TEST(SyncReader, ExampleFileGivesHeaderPatternsAndChannels) {
    SyncWarnings warnings;
    auto ms = load(exampleFile(), 0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(ms->file.headerText, "Demo sync");
    EXPECT_EQ(ms->file.bpm, 125.0f);
    EXPECT_EQ(ms->file.offset, 0.5f);
    ASSERT_EQ(ms->file.patterns.size(), 2u);
    EXPECT_EQ(ms->file.patterns[0]->name, "emptypattern");
    const Pattern& fade = *ms->file.patterns[1];
    EXPECT_EQ(fade.name, "fade");
    EXPECT_EQ(fade.type, ValueType::Float);
    EXPECT_EQ(fade.resolution, 4.0f);
    ASSERT_EQ(fade.values.size(), 4u);
    EXPECT_EQ(asFloat(fade.values[0]), 0.0f);
    EXPECT_EQ(fade.values[1], nullptr);
    EXPECT_EQ(fade.values[2], nullptr);
    EXPECT_EQ(asFloat(fade.values[3]), 1.0f);
    EXPECT_EQ(ms->file.channelCount, 1);
    ASSERT_EQ(ms->file.channels.size(), 1u);
    EXPECT_EQ(ms->file.channels[0].name, "main");
    EXPECT_TRUE(ms->file.channels[0].repeat);
    EXPECT_EQ(ms->file.channels[0].placements, (std::vector<const Pattern*>{&fade, &fade}));
}

TEST(SyncReader, CellsFollowThePatternType) {
    // Each type by its word, and back; anything else is OTHER.
    for (ValueType t : {ValueType::Boolean, ValueType::Integer, ValueType::Float, ValueType::String}) {
        EXPECT_EQ(valueTypeFromName(valueTypeName(t)), t) << valueTypeName(t);
    }
    EXPECT_STREQ(valueTypeName(ValueType::Float), "FLOAT");
    EXPECT_STREQ(valueTypeName(ValueType::Other), "OTHER");
    EXPECT_EQ(valueTypeFromName("Boolean"), ValueType::Other);
    SyncWarnings warnings;
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS",
                         "r\t1", "t\tFLOAT", "f\t0.5\t\t2",
                         "r\t1", "t\tBOOLEAN", "b\t1\t1.5\t0\t2\tyes\t 1",
                         "r\t1", "t\tINTEGER", "i\t-3\t 17x\tabc",
                         "r\t1", "t\tSTRING", "s\t a b \t\tz",
                         "r\t1", "t\tBOOL", "x\t1\t\t1\t",
                         "r\t1", "t\tINTEGER", "p\t1\t\t",
                         "r\t1", "t\tINTEGER", "nameonly",
                         "CHANNELS"}),
                   0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);

    const Pattern* f = findPattern(*ms, "f");
    ASSERT_TRUE(f);
    ASSERT_EQ(f->values.size(), 3u);
    EXPECT_EQ(asFloat(f->values[0]), 0.5f);
    EXPECT_EQ(f->values[1], nullptr);
    EXPECT_EQ(asFloat(f->values[2]), 2.0f);

    const Pattern* b = findPattern(*ms, "b");
    ASSERT_TRUE(b);
    ASSERT_EQ(b->values.size(), 6u);
    const bool expected[] = {true, true, false, false, false, true};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(asBool(b->values[k]), expected[k]) << "cell " << k;

    const Pattern* i = findPattern(*ms, "i");
    ASSERT_TRUE(i);
    ASSERT_EQ(i->values.size(), 3u);
    EXPECT_EQ(asInt(i->values[0]), -3);
    EXPECT_EQ(asInt(i->values[1]), 17);
    EXPECT_EQ(asInt(i->values[2]), 0);

    const Pattern* s = findPattern(*ms, "s");
    ASSERT_TRUE(s);
    ASSERT_EQ(s->values.size(), 3u);
    EXPECT_EQ(std::get<std::string>(s->values[0]->data), " a b ");
    EXPECT_EQ(s->values[1], nullptr);
    EXPECT_EQ(std::get<std::string>(s->values[2]->data), "z");

    // An unknown type keeps only its empty cells, and the trim removes those.
    const Pattern* x = findPattern(*ms, "x");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->type, ValueType::Other);
    EXPECT_EQ(x->typeText, "BOOL");
    EXPECT_TRUE(x->values.empty());
    EXPECT_TRUE(x->owned.empty());

    // Trailing empty cells do not count; a name alone gives no rows.
    ASSERT_TRUE(findPattern(*ms, "p"));
    EXPECT_EQ(findPattern(*ms, "p")->values.size(), 1u);
    ASSERT_TRUE(findPattern(*ms, "nameonly"));
    EXPECT_TRUE(findPattern(*ms, "nameonly")->values.empty());

    // The built-in pattern keeps its one empty row.
    EXPECT_EQ(ms->file.patterns[0]->values.size(), 1u);
}

TEST(SyncReader, RepeatFlagIsOnOnlyForExactlyOne) {
    const std::vector<std::pair<std::string, bool>> flags = {
        {"1", true}, {"0", false}, {"01", false}, {"1.0", false}, {" 1", false}, {"", false}, {"1 ", false}};
    Lines lines = {"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", "p\t1", "CHANNELS"};
    for (std::size_t k = 0; k < flags.size(); ++k) {
        lines.push_back("c" + std::to_string(k) + "\tp");
        lines.push_back("flag\t" + flags[k].first + "\tignored");
    }
    SyncWarnings warnings;
    auto ms = load(crlf(lines), 0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    ASSERT_EQ(ms->file.channels.size(), flags.size());
    EXPECT_EQ(ms->file.channelCount, static_cast<std::int32_t>(flags.size()));
    for (std::size_t k = 0; k < flags.size(); ++k) {
        EXPECT_EQ(ms->file.channels[k].repeat, flags[k].second) << '"' << flags[k].first << '"';
    }
}

TEST(SyncReader, ChannelsPlacePatternsByExactName) {
    SyncWarnings warnings;
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", "p\t1", "r\t1",
                         "t\tINTEGER", "q\t2", "CHANNELS", "c\tp\t\tq\tP\tmissing\tp\temptypattern", "flag\t0"}),
                   0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    ASSERT_EQ(ms->file.channels.size(), 1u);
    const Pattern* p = findPattern(*ms, "p");
    const Pattern* q = findPattern(*ms, "q");
    EXPECT_EQ(ms->file.channels[0].placements,
              (std::vector<const Pattern*>{p, q, p, ms->file.patterns[0].get()}));
}

TEST(SyncReader, SectionsInEitherOrderAfterIgnoredLines) {
    SyncWarnings warnings;
    auto ms = load(crlf({"h\tt", "bpm\t90", "off\t1.25", "comment\tnot a section", "another", "CHANNELS\tx",
                         "c\tp", "flag\t1", "PATTERNS\ty", "r\t2", "t\tINTEGER", "p\t5\t6"}),
                   0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(ms->file.bpm, 90.0f);
    EXPECT_EQ(ms->file.offset, 1.25f);
    // The channels are read after the patterns, whatever their order in the file.
    ASSERT_EQ(ms->file.channels.size(), 1u);
    ASSERT_EQ(ms->file.channels[0].placements.size(), 1u);
    EXPECT_EQ(ms->file.channels[0].placements[0]->name, "p");
    EXPECT_EQ(ms->timeline.rowsPerBeat, 2);

    // A section on the very first line is found as well, either section.
    for (const Lines& text : {Lines{"PATTERNS", "r\t2", "t\tINTEGER", "p\t5\t6", "CHANNELS", "c\tp", "flag\t1"},
                              Lines{"CHANNELS", "c\tp", "flag\t1", "PATTERNS", "r\t2", "t\tINTEGER", "p\t5\t6"}}) {
        warnings = SyncWarnings();
        auto first = load(crlf(text), 0.0, &warnings);
        for (const SyncWarning& w : warnings) EXPECT_TRUE(w.kind != "no-patterns" && w.kind != "no-channels") << w.kind;
        EXPECT_EQ(first->file.channelCount, 1) << text[0];
        ASSERT_EQ(first->file.channels.size(), 1u) << text[0];
        ASSERT_EQ(first->file.channels[0].placements.size(), 1u) << text[0];
        EXPECT_EQ(first->file.channels[0].placements[0]->name, "p");
    }
}

TEST(SyncReader, LineBreaksOtherThanCrLfJoinLines) {
    // LF only: the whole file is one line, so only its fields 1 and 2 count.
    std::string lf = exampleFile();
    for (std::string::size_type at; (at = lf.find('\r')) != std::string::npos;) lf.erase(at, 1);
    SyncWarnings warnings;
    auto ms = load(lf, 0.0, &warnings);
    EXPECT_EQ(ms->file.headerText, "Demo sync\nbpm");
    EXPECT_EQ(ms->file.bpm, 120.0f);
    EXPECT_EQ(ms->file.offset, 0.0f);
    EXPECT_EQ(ms->file.patterns.size(), 1u);
    EXPECT_TRUE(ms->file.channels.empty());
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings[0].line, 1);

    // A blank line before CHANNELS hides the keyword: the channel lines run
    // on as pattern lines.
    std::string blank = exampleFile();
    blank.insert(blank.find("CHANNELS"), "\r\n");
    warnings.clear();
    ms = load(blank, 0.0, &warnings);
    EXPECT_TRUE(ms->file.channels.empty());
    EXPECT_EQ(ms->file.channelCount, 0);
    ASSERT_TRUE(findPattern(*ms, "fade"));
    EXPECT_EQ(findPattern(*ms, "fade")->values.size(), 4u);
    bool namesBlankLine = false;
    for (const SyncWarning& w : warnings) namesBlankLine |= w.line == 8;
    EXPECT_TRUE(namesBlankLine) << warningsText(warnings);
}

TEST(SyncReader, NulByteEndsTheText) {
    std::string text = exampleFile() + '\0' + crlf({"PATTERNS", "r\t1", "t\tINTEGER", "late\t1"});
    SyncWarnings warnings;
    auto ms = load(text, 0.0, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(findPattern(*ms, "late"), nullptr);
    EXPECT_EQ(ms->file.patterns.size(), 2u);

    // Cut in the middle of the channel section: its second line is gone.
    std::string cut = exampleFile();
    cut[cut.find("repeat")] = '\0';
    warnings.clear();
    ms = load(cut, 0.0, &warnings);
    EXPECT_TRUE(ms->file.channels.empty());
    EXPECT_EQ(ms->file.channelCount, 0);
    ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
    EXPECT_EQ(warnings[0].line, 9);
}

// Each problem outside the format's limits gives one warning on its line,
// and the reader goes on with the defaults or without the faulty part.
TEST(SyncReaderLimits, HeaderProblemsKeepTheDefaults) {
    struct Case {
        Lines header;
        int line;
    };
    const std::vector<Case> cases = {
        {{"h", "bpm\t125", "off\t0.5"}, 1},     {{"h\tt", "bpm", "off\t0.5"}, 2},
        {{"h\tt", "bpm\tfast", "off\t0.5"}, 2}, {{"h\tt", "bpm\t-120", "off\t0.5"}, 2},
        {{"h\tt", "bpm\t0", "off\t0.5"}, 2},    {{"h\tt", "bpm\t1e400", "off\t0.5"}, 2},
        {{"h\tt", "bpm\t125", "off"}, 3},       {{"h\tt", "bpm\t125", "off\t-1e400"}, 3},
    };
    for (const Case& c : cases) {
        Lines lines = c.header;
        for (const char* l : {"PATTERNS", "r\t1", "t\tINTEGER", "p\t1", "CHANNELS", "c\tp", "f\t1"}) lines.push_back(l);
        SyncWarnings warnings;
        auto ms = load(crlf(lines), 10.0, &warnings);
        ASSERT_EQ(warnings.size(), 1u) << c.header[c.line - 1] << "\n" << warningsText(warnings);
        EXPECT_EQ(warnings[0].line, c.line);
        EXPECT_EQ(ms->file.bpm, c.line == 2 ? 120.0f : 125.0f);
        EXPECT_EQ(ms->file.offset, c.line == 3 ? 0.0f : 0.5f);
        ASSERT_EQ(ms->file.channels.size(), 1u);
        EXPECT_EQ(ms->timeline.totalRows, static_cast<std::int32_t>(std::lround(10.0 / 60.0 * ms->file.bpm)));
    }
}

TEST(SyncReaderLimits, HeaderLinesMissingAreNamedByTheLineTheyWouldHaveBeen) {
    // A file of the header text alone, with or without its line break.
    for (const char* text : {"h\tt", "h\tt\r\n"}) {
        SyncWarnings warnings;
        auto ms = load(text, 10.0, &warnings);
        // The sections it lacks are the file's as a whole: line 0.
        std::vector<int> headerLines, sectionLines;
        for (const SyncWarning& w : warnings) {
            if (w.kind == "bpm" || w.kind == "offset") headerLines.push_back(w.line);
            if (w.kind == "no-patterns" || w.kind == "no-channels") sectionLines.push_back(w.line);
        }
        EXPECT_EQ(headerLines, (std::vector<int>{2, 3})) << warningsText(warnings);
        EXPECT_EQ(sectionLines, (std::vector<int>{0, 0})) << warningsText(warnings);
        EXPECT_EQ(ms->file.headerText, "t");
    }
}

TEST(SyncReaderLimits, FaultyPatternsAndChannelsAreSkipped) {
    SyncWarnings warnings;
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS",
                         "r\t0", "t\tINTEGER", "zero\t1",           // 5: resolution 0
                         "r\t0.01", "t\tINTEGER", "tiny\t1",        // 8: not above 0.01
                         "r\t0.015", "t\tINTEGER", "small\t1",      // just above: kept
                         "r", "t\tINTEGER", "nores\t1",             // 14: no resolution field
                         "r\t2", "t", "notype\t1",                  // 17, 18: no type: read as BOOLEAN
                         "r\t200000", "t\tINTEGER", "huge\t1",      // 20: beyond the rows per beat we hold
                         "r\t1", "t\tINTEGER", "empty",             // 23: no rows (fine by itself)
                         "r\t1", "t\tINTEGER",                      // 26: an incomplete group of two lines
                         "CHANNELS",
                         "a\tzero\tnotype",                         // 29
                         "flag\t1",
                         "b\tempty\tnotype",                        // 31: repeats a pattern without rows
                         "flag\t1",
                         "c",                                       // 33: repeats nothing
                         "flag\t1",
                         "d\tnotype",                               // 35
                         "flag",                                    // 36: no flag field
                         "e\tnotype"}),                             // 37: half a channel
                   5.0, &warnings);
    std::vector<int> lines;
    for (const SyncWarning& w : warnings) lines.push_back(w.line);
    // The reader's warnings come in file order, then those of the timeline.
    EXPECT_EQ(lines, (std::vector<int>{5, 8, 14, 18, 26, 36, 37, 20, 31, 33})) << warningsText(warnings);
    EXPECT_NE(warnings[4].message.find("ends with 2 line(s)"), std::string::npos) << warnings[4].message;

    EXPECT_EQ(findPattern(*ms, "zero"), nullptr);
    EXPECT_EQ(findPattern(*ms, "tiny"), nullptr);
    EXPECT_NE(findPattern(*ms, "small"), nullptr);
    EXPECT_EQ(findPattern(*ms, "nores"), nullptr);
    EXPECT_EQ(findPattern(*ms, "huge"), nullptr);
    // The huge grid is refused for the grid it needs, not by the common grid.
    for (const SyncWarning& w : warnings) {
        if (w.line == 20) {
            EXPECT_EQ(w.kind, "pattern-resolution-grid");
        }
    }
    const Pattern* notype = findPattern(*ms, "notype");
    ASSERT_TRUE(notype);
    EXPECT_EQ(notype->type, ValueType::Boolean);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 2);

    ASSERT_EQ(ms->file.channels.size(), 4u);
    EXPECT_EQ(ms->file.channelCount, 4);
    EXPECT_EQ(ms->file.channels[0].placements.front(), notype);  // "zero" was skipped
    EXPECT_TRUE(ms->file.channels[0].repeat);
    EXPECT_FALSE(ms->file.channels[1].repeat);
    EXPECT_FALSE(ms->file.channels[2].repeat);
    EXPECT_FALSE(ms->file.channels[3].repeat);
    // Whatever was skipped, every channel still covers the whole song.
    for (const ChannelLayout& c : ms->timeline.channels) {
        ASSERT_FALSE(c.placements.empty());
        EXPECT_GE(c.rowStarts.back() + static_cast<std::int64_t>(c.placements.back()->values.size()), ms->timeline.totalRows);
    }
}

TEST(SyncReaderLimits, CommonGridAndSongLengthStayWithinRange) {
    // 65536 and 3 have a least common multiple beyond what the grid holds.
    SyncWarnings warnings;
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t65536", "t\tINTEGER", "fine\t1", "r\t3",
                         "t\tINTEGER", "odd\t1", "CHANNELS", "c\tfine\todd", "f\t1"}),
                   1.0, &warnings);
    ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
    EXPECT_EQ(warnings[0].line, 8);
    EXPECT_EQ(ms->timeline.rowsPerBeat, 65536);
    EXPECT_EQ(findPattern(*ms, "odd"), nullptr);
    ASSERT_EQ(ms->file.channels.size(), 1u);
    EXPECT_EQ(ms->file.channels[0].placements[0]->name, "fine");

    // A tempo that makes the song longer than the timeline holds is cut.
    warnings.clear();
    ms = load(crlf({"h\tt", "bpm\t1e9", "off\t0", "PATTERNS", "r\t4096", "t\tINTEGER", "p\t1", "CHANNELS", "c\tp",
                    "f\t0"}),
              60.0, &warnings);
    ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
    EXPECT_EQ(warnings[0].line, 2);
    EXPECT_NE(warnings[0].message.find("a song of 1e+09 beats at this bpm needs 4.096e+12 rows for each of 1 channel"),
              std::string::npos)
        << warnings[0].message;
    EXPECT_EQ(ms->timeline.totalRows, static_cast<std::int32_t>(maxChannelRows));
    EXPECT_EQ(ms->timeline.rowHasValue.size(), static_cast<std::size_t>(maxChannelRows));

    // A song of exactly the beats the timeline holds is not cut.
    warnings.clear();
    ms = load(crlf({"h\tt", "bpm\t60", "off\t0", "PATTERNS", "r\t4096", "t\tINTEGER", "p\t1", "CHANNELS", "c\tp",
                    "f\t0"}),
              static_cast<double>(maxChannelRows / 4096), &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(ms->timeline.totalRows, static_cast<std::int32_t>(maxChannelRows));

    // Even at the largest tempo a float holds.
    warnings.clear();
    ms = load(crlf({"h\tt", "bpm\t3e38", "off\t0", "PATTERNS", "r\t4096", "t\tINTEGER", "p\t1", "CHANNELS", "c\tp",
                    "f\t0"}),
              60.0, &warnings);
    ASSERT_EQ(warnings.size(), 1u) << warningsText(warnings);
    EXPECT_EQ(ms->timeline.totalRows, static_cast<std::int32_t>(maxChannelRows));
}

TEST(SyncLoad, MissingOrEmptyFileGivesOneWarningAndTheDefaults) {
    testsupport::TempDir dir;
    for (const std::string& path : {dir.file("missing.csv"), dir.path(), dir.file("empty.csv")}) {
        if (path == dir.file("empty.csv")) testsupport::writeFile(path, "");
        Loaded s;
        SyncWarnings warnings;
        loadSync(path, '\t', 0.0f, s.file, s.timeline, &warnings);
        ASSERT_EQ(warnings.size(), 1u) << path << "\n" << warningsText(warnings);
        // An unreadable file is named without a line; the empty one by its line 1.
        EXPECT_EQ(warnings[0].line, path == dir.file("empty.csv") ? 1 : 0) << path;
        EXPECT_EQ(s.file.bpm, 120.0f);
        EXPECT_EQ(s.file.offset, 0.0f);
        EXPECT_TRUE(s.file.channels.empty());
        ASSERT_EQ(s.file.patterns.size(), 1u);
        EXPECT_EQ(s.file.patterns[0]->name, "emptypattern");
        EXPECT_EQ(s.timeline.rowsPerBeat, 1);
        EXPECT_EQ(s.timeline.totalRows, 0);
    }
}

TEST(SyncLoad, ReadsTheWholeFile) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("sync.csv"), exampleFile());
    std::vector<char> buffer;
    ASSERT_TRUE(readTextFile(dir.file("sync.csv"), buffer));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), exampleFile());
    testsupport::writeFile(dir.file("one.csv"), "h");  // a single byte is read too
    ASSERT_TRUE(readTextFile(dir.file("one.csv"), buffer));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "h");
    // A file of the largest size read is read; one byte more is refused.
    for (std::int64_t size : {maxSyncFileBytes, maxSyncFileBytes + 1}) {
        testsupport::writeFile(dir.file("big.csv"), std::string(static_cast<std::size_t>(size), 'x'));
        std::string why;
        EXPECT_EQ(readTextFile(dir.file("big.csv"), buffer, &why), size == maxSyncFileBytes) << why;
    }

    Loaded s;
    SyncWarnings warnings;
    loadSync(dir.file("sync.csv"), '\t', 0.0f, s.file, s.timeline, &warnings);
    EXPECT_TRUE(warnings.empty()) << warningsText(warnings);
    EXPECT_EQ(s.file.bpm, 125.0f);
    EXPECT_EQ(s.file.channels.size(), 1u);
}

TEST(SyncReader, AFloodOfBrokenLinesKeepsTwentyWarningsAndCountsAll) {
    // 100000 bare CR LF lines: each joins the next, and each says so.
    std::string text = "h\tt\r\nbpm\t125\r\noff\t0\r\n";
    for (int i = 0; i < 100000; ++i) text += "\r\n";
    SyncWarnings warnings;
    auto ms = load(text, 0.0, &warnings);
    EXPECT_EQ(ms->file.bpm, 125.0f);
    std::size_t breaks = 0;
    const SyncWarning* last = nullptr;
    for (const SyncWarning& w : warnings) {
        if (w.kind != "line-break") continue;
        ++breaks;
        last = &w;
    }
    ASSERT_EQ(breaks, SyncWarnings::keptPerKind) << warningsText(warnings);
    // Lines 4 and 5 make one line, and so on: 50000 joins.
    EXPECT_EQ(last->more, 50000u - SyncWarnings::keptPerKind);
    EXPECT_EQ(warnings[0].line, 4);
    EXPECT_EQ(warnings.total(), 50000u + 2u);  // and no PATTERNS, no CHANNELS
}

TEST(SyncReader, AWarningQuotingBinaryGarbageStaysOneShortReadableLine) {
    std::string garbage;
    // Every byte but the NUL, the tab and the CR, which would end the field.
    for (int i = 0; i < 100000; ++i) {
        const int b = (i * 37 + 11) % 256;
        garbage.push_back(b == 0 || b == '\t' || b == '\r' ? 'x' : static_cast<char>(b));
    }
    const std::string text = "h\tt\r\nbpm\t" + garbage + "\r\noff\t0\r\nPATTERNS\r\nCHANNELS\r\n";
    SyncWarnings warnings;
    load(text, 0.0, &warnings);
    bool sawBpm = false;
    for (const SyncWarning& w : warnings) {
        EXPECT_LT(w.message.size(), 400u) << w.message.substr(0, 400);
        for (char c : w.message) ASSERT_GE(static_cast<unsigned char>(c), 0x20u) << w.message.substr(0, 400);
        sawBpm |= w.kind == "bpm";
    }
    EXPECT_TRUE(sawBpm) << warningsText(warnings).substr(0, 2000);
}

TEST(SyncReader, TextPastTheFileLimitIsNotRead) {
    // A valid file padded up to the limit with lines that no section takes,
    // then bare CR LF lines, each of which would be worth a warning.
    std::string text = exampleFile();
    const std::size_t limit = static_cast<std::size_t>(maxSyncFileBytes);
    text.reserve(limit + 1000);
    while (text.size() + 4 <= limit) text += "\tx\r\n";
    text.resize(limit, 'x');
    for (int i = 0; i < 400; ++i) text += "\r\n";
    SyncWarnings warnings;
    auto ms = load(text, 0.0, &warnings);
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings[0].kind, "too-long") << warningsText(warnings);
    EXPECT_EQ(warnings[0].line, 0);  // the file as a whole
    EXPECT_EQ(warnings.total(), 1u) << warningsText(warnings);
    EXPECT_EQ(ms->file.bpm, 125.0f);
}

TEST(SyncReader, EqualCellsOfAPatternShareOneValue) {
    std::string row = "p";
    for (int i = 0; i < 100000; ++i) row += i % 2 ? "\t1" : "\t2";
    row += "\t\t3";
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", row, "CHANNELS"}), 0.0);
    ASSERT_EQ(ms->file.patterns.size(), 2u);
    const Pattern& p = *ms->file.patterns[1];
    ASSERT_EQ(p.values.size(), 100002u);
    EXPECT_EQ(p.owned.size(), 3u);
    EXPECT_EQ(std::get<std::int32_t>(p.values[0]->data), 2);
    EXPECT_EQ(std::get<std::int32_t>(p.values[99999]->data), 1);
    EXPECT_EQ(p.values[100000], nullptr);
    EXPECT_EQ(std::get<std::int32_t>(p.values[100001]->data), 3);
    // Cells that read as the same number but say it differently stay apart.
    ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tSTRING", "s\t1\t01\t1\t01", "CHANNELS"}), 0.0);
    const Pattern& s = *ms->file.patterns[1];
    ASSERT_EQ(s.values.size(), 4u);
    EXPECT_EQ(s.owned.size(), 2u);
    EXPECT_EQ(std::get<std::string>(s.values[3]->data), "01");
}

TEST(SyncReader, CellsRepeatingOverThousandsOfValuesShareThemToo) {
    std::string row = "p";
    for (int i = 0; i < 40000; ++i) row += "\t" + std::to_string(i % 5000);
    auto ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", row, "CHANNELS"}), 0.0);
    const Pattern& p = *ms->file.patterns[1];
    ASSERT_EQ(p.values.size(), 40000u);
    EXPECT_EQ(p.owned.size(), 5000u);
    for (std::size_t i = 0; i < p.values.size(); i += 997) {
        EXPECT_EQ(std::get<std::int32_t>(p.values[i]->data), static_cast<std::int32_t>(i % 5000));
    }
    // Past the number of texts remembered, every cell still reads right.
    row = "q";
    for (int i = 0; i < 70000; ++i) row += "\t" + std::to_string(i);
    ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", row, "CHANNELS"}), 0.0);
    const Pattern& q = *ms->file.patterns[1];
    ASSERT_EQ(q.values.size(), 70000u);
    EXPECT_EQ(q.owned.size(), 70000u);
    EXPECT_EQ(std::get<std::int32_t>(q.values[69999]->data), 69999);

    // The first 65536 texts are remembered, the next are not: of the two
    // last texts said again, only the first shares its value.
    row = "r";
    for (int i = 0; i <= 65536; ++i) row += "\t" + std::to_string(i);
    row += "\t65535\t65536";
    ms = load(crlf({"h\tt", "bpm\t120", "off\t0", "PATTERNS", "r\t1", "t\tINTEGER", row, "CHANNELS"}), 0.0);
    EXPECT_EQ(ms->file.patterns[1]->owned.size(), 65538u);
}
