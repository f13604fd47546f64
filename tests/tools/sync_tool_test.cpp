// The tarnwick-sync checker, run as a program.
#include "support/support.h"
#include "sync/sync_test_util.h"

using namespace synctest;

namespace {

std::string tool() { return testsupport::binaryDir() + "/tools/sync/tarnwick-sync"; }

testsupport::RunResult runTool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {tool()};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runProgram(argv, "", {}, 60);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(SyncTool, ReportsTheExampleFileAsJson) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("sync.csv"), exampleFile());
    testsupport::RunResult r = runTool({dir.file("sync.csv"), "--length", "60", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* part : {"\"headerText\":\"Demo sync\"", "\"bpm\":125,", "\"offset\":0.5,", "\"rowsPerBeat\":4,",
                             "\"totalRows\":500,", "\"channelCount\":1,",
                             "{\"name\":\"fade\",\"type\":\"FLOAT\",\"resolution\":4,\"values\":[0,null,null,1]}",
                             "\"rowStarts\":[0,4,8,", "\"rowsWithValue\":[0,3,4,7,8,", "\"warnings\":[]}",
                             "\"musicLastsPastEnd\":false"}) {
        EXPECT_TRUE(contains(r.out, part)) << part << "\n" << r.out.substr(0, 2000);
    }
    if (testsupport::haveCommand("python3")) {
        testsupport::writeFile(dir.file("out.json"), r.out);
        EXPECT_TRUE(testsupport::shell("python3 -c 'import json,sys; json.load(sys.stdin)' < " + dir.file("out.json")));
    }

    // Row 754 begins 90.98 s into this music: music that ends on the last
    // row (753) leaves the demo short of its end, one row more does not.
    struct Ending {
        const char* length;
        const char* json;
        const char* text;
    };
    for (const Ending& e : {Ending{"91", "\"musicEndRow\":754,\"musicLastsPastEnd\":true",
                                   "ends at music row 754, so the demo ends by itself (after row 753)"},
                            Ending{"90.9", "\"musicEndRow\":753,\"musicLastsPastEnd\":false",
                                   "ends at music row 753, before row 754: the demo would not reach its end"}}) {
        r = runTool({dir.file("sync.csv"), "--length", e.length, "--json"});
        EXPECT_TRUE(contains(r.out, e.json)) << e.length << "\n" << r.out.substr(0, 400);
        r = runTool({dir.file("sync.csv"), "--length", e.length});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(contains(r.out, e.text)) << r.out.substr(0, 400);
    }
    r = runTool({dir.file("sync.csv"), "--length", "91"});
    EXPECT_TRUE(contains(r.out, "rows per beat  4")) << r.out;
    EXPECT_TRUE(contains(r.out, "main  repeat  190 placements: fade x190 from row 0")) << r.out;

    // Runs of one pattern are counted; a pattern placed once has no count.
    testsupport::writeFile(dir.file("runs.csv"),
                           crlf({"h\tt", "bpm\t125", "off\t0", "PATTERNS", "r\t4", "t\tINTEGER", "a\t1\t2\t3\t4",
                                 "r\t4", "t\tINTEGER", "b\t5\t6", "CHANNELS", "c\ta\ta\tb\ta", "f\t0"}));
    r = runTool({dir.file("runs.csv"), "--length", "60"});
    EXPECT_TRUE(contains(r.out, "placements: a x2 from row 0, b from row 8, a from row 10, emptypattern x122")) << r.out;
}

TEST(SyncTool, WarningsGiveExitStatusOneWithTheirLines) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("bad.csv"),
                           crlf({"h\t\"quoted\"\\ \x01 \xff", "bpm\tfast", "off\t0", "PATTERNS", "r\t0", "t\tFLOAT",
                                 "p\t1", "CHANNELS", "c\tp", "f\t1"}));
    testsupport::RunResult r = runTool({dir.file("bad.csv"), "--json"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "{\"line\":2,\"message\":")) << r.out;
    EXPECT_TRUE(contains(r.out, "{\"line\":5,\"message\":")) << r.out;
    EXPECT_TRUE(contains(r.out, "\"headerText\":\"\\\"quoted\\\"\\\\ \\u0001 \\u00ff\"")) << r.out;
    if (testsupport::haveCommand("python3")) {
        testsupport::writeFile(dir.file("out.json"), r.out);
        EXPECT_TRUE(testsupport::shell("python3 -c 'import json,sys; json.load(sys.stdin)' < " + dir.file("out.json")));
    }

    r = runTool({dir.file("bad.csv")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.out, dir.file("bad.csv") + ":2: bpm \"fast\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "song           0 s, 0 sync rows")) << r.out;

    // "-" alone is a file name like any other, not an option.
    for (const std::string& name : {dir.file("missing.csv"), std::string("-")}) {
        r = runTool({name});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(contains(r.out, "cannot read the sync file")) << r.out;
    }
}

TEST(SyncTool, UsageErrorsGiveExitStatusTwo) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("sync.csv"), exampleFile());
    testsupport::RunResult help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "usage: tarnwick-sync FILE"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--json"},
             {dir.file("sync.csv"), "--bogus"},
             {"-q"},  // an unknown short option, not a file name
             {dir.file("sync.csv"), "--length", "10000000.5"},
             {dir.file("sync.csv"), dir.file("sync.csv")},
             {dir.file("sync.csv"), "--length"},
             {dir.file("sync.csv"), "--length", "abc"},
             {dir.file("sync.csv"), "--length", "-1"},
             {dir.file("sync.csv"), "--length", "5", "--music", "x.mp3"},
             {dir.file("sync.csv"), "--music", dir.file("missing.mp3")},
             {""}}) {
        testsupport::RunResult r = runTool(args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_FALSE(r.err.empty());
    }
    // One error, and the one that applies.
    testsupport::RunResult empty = runTool({""});
    EXPECT_TRUE(contains(empty.err, "name is empty")) << empty.err;
    EXPECT_FALSE(contains(empty.err, "no sync file given")) << empty.err;
    // The ends of --length's range are taken (a song that long has more
    // rows than a sync file may: a warning, not a usage error).
    for (const char* length : {"0", "10000000"}) {
        EXPECT_NE(runTool({dir.file("sync.csv"), "--length", length}).exitCode, 2) << length;
    }
}

TEST(SyncTool, TheShippedSyncFileFitsTheShippedMusicWithoutWarnings) {
    std::string data = testsupport::sourceDir() + "/data";
    auto r = runTool({data + "/sync/sync.csv", "--music", data + "/musik/musik.mp3", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 2000);
    EXPECT_TRUE(contains(r.out, "\"warnings\":[]")) << r.out.substr(0, 2000);
    EXPECT_TRUE(contains(r.out, "\"musicLastsPastEnd\":true")) << r.out.substr(0, 2000);
}

TEST(SyncTool, AFloodOfWarningsShowsTwentyAndTheCountOfTheRest) {
    testsupport::TempDir dir;
    std::string text = "h\tt\r\nbpm\t125\r\noff\t0\r\n";
    for (int i = 0; i < 4000; ++i) text += "\r\n";  // 2000 joined lines
    text += "PATTERNS\r\nCHANNELS\r\n";
    testsupport::writeFile(dir.file("flood.csv"), text);

    testsupport::RunResult r = runTool({dir.file("flood.csv")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "warnings (2000)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  " + dir.file("flood.csv") + ":42: line breaks")) << r.out;  // the 20th
    EXPECT_FALSE(contains(r.out, dir.file("flood.csv") + ":44: line breaks")) << r.out;        // the 21st
    EXPECT_TRUE(contains(r.out, "  " + dir.file("flood.csv") + ": ... and 1980 more warnings like this\n")) << r.out;

    r = runTool({dir.file("flood.csv"), "--json"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "\"warningCount\":2000,\"warnings\":[{\"line\":4,")) << r.out.substr(0, 2000);
    EXPECT_TRUE(contains(r.out, "{\"line\":42,\"message\":\"line breaks other than CR LF (a blank line, or LF or CR "
                                "alone) join lines here\",\"kind\":\"line-break\",\"more\":1980}]}"))
        << r.out.substr(0, 4000);
    if (testsupport::haveCommand("python3")) {
        testsupport::writeFile(dir.file("out.json"), r.out);
        EXPECT_TRUE(testsupport::shell(
            "python3 -c 'import json,sys; d=json.load(sys.stdin); sys.exit(len(d[\"warnings\"]) != 20)' < " +
            dir.file("out.json")));
    }

    // Twenty warnings show whole; the twenty-first is counted.
    for (int count : {20, 21}) {
        text = "h\tt\r\nbpm\t125\r\noff\t0\r\n";
        for (int i = 0; i < 2 * count; ++i) text += "\r\n";
        text += "PATTERNS\r\nCHANNELS\r\n";
        testsupport::writeFile(dir.file("few.csv"), text);
        r = runTool({dir.file("few.csv")});
        EXPECT_EQ(contains(r.out, "more warning"), count == 21) << r.out;
        EXPECT_EQ(contains(r.out, ": ... and 1 more warning like this\n"), count == 21) << r.out;
        r = runTool({dir.file("few.csv"), "--json"});
        EXPECT_EQ(contains(r.out, "\"more\":"), count == 21) << r.out;
        EXPECT_EQ(contains(r.out, "\"more\":1}"), count == 21) << r.out;
    }
}

// Peak memory allowed for reading a file of `fileKb`: `multiple` times the
// file and 40 MiB for the program itself. Under AddressSanitizer every block
// carries guard bytes and freed memory is held back, so there the bound is
// twice that plus the 256 MiB quarantine; the normal build is the real check.
static double memoryBoundKb(double multiple, double fileKb) {
    const double bound = multiple * fileKb + 40.0 * 1024.0;
#ifdef __SANITIZE_ADDRESS__
    return 2 * bound + 256.0 * 1024.0;
#else
    return bound;
#endif
}

TEST(SyncTool, MemoryAndOutputStayWithinASmallMultipleOfABrokenFile) {
    testsupport::TempDir dir;
    // 16 MB of bare CR LF: four million joined lines.
    std::string text;
    text.reserve(16'000'000);
    for (int i = 0; i < 8'000'000; ++i) text += "\r\n";
    testsupport::writeFile(dir.file("flood.csv"), text);
    const double fileKb = static_cast<double>(text.size()) / 1024.0;
    text.clear();
    text.shrink_to_fit();
    for (const char* mode : {"", "--json"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = {dir.file("flood.csv")};
        if (*mode) args.push_back(mode);
        testsupport::RunResult r = runTool(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(contains(r.out, "3999980")) << r.out.substr(0, 4000);  // the joins past the first 20
        EXPECT_LT(r.out.size(), 20000u);
        // The file's bytes and a small table entry per line, with room for
        // the program itself; a warning kept per line would be gigabytes.
        EXPECT_LT(static_cast<double>(r.maxRssKb), memoryBoundKb(6.0, fileKb)) << r.maxRssKb << " KiB";
    }
}

TEST(SyncTool, APatternOfMillionsOfCellsStaysWithinASmallMultipleOfTheFile) {
    testsupport::TempDir dir;
    std::string text = "h\tt\r\nbpm\t120\r\noff\t0\r\nPATTERNS\r\nr\t1\r\nt\tINTEGER\r\np";
    text.reserve(16'000'100);
    for (int i = 0; i < 8'000'000; ++i) text += "\t1";
    text += "\r\nCHANNELS\r\nc\tp\r\nf\t1\r\n";
    testsupport::writeFile(dir.file("cells.csv"), text);
    const double fileKb = static_cast<double>(text.size()) / 1024.0;
    text.clear();
    text.shrink_to_fit();
    testsupport::RunResult r = runTool({dir.file("cells.csv"), "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The report itself holds each cell as text: room for it, the file and a
    // pointer a row; a value object a cell would be many times that.
    EXPECT_LT(static_cast<double>(r.maxRssKb), memoryBoundKb(8.0, fileKb)) << r.maxRssKb << " KiB";
}

TEST(SyncTool, ManyPatternsAndPlacementsDoNotStall) {
    // 200000 patterns and a channel placing a missing name 200000 times:
    // a search of every pattern for every placement would take minutes.
    testsupport::TempDir dir;
    std::string text = "h\tt\r\nbpm\t120\r\noff\t0\r\nPATTERNS\r\n";
    for (int i = 0; i < 200000; ++i) text += "r\t1\r\nt\tBOOLEAN\r\np" + std::to_string(i) + "\t1\r\n";
    text += "CHANNELS\r\nc";
    for (int i = 0; i < 200000; ++i) text += "\tmissing";
    text += "\r\nf\t0\r\n";
    testsupport::writeFile(dir.file("many.csv"), text);
    testsupport::RunResult r = runTool({dir.file("many.csv"), "--length", "10"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
    EXPECT_TRUE(contains(r.out, "patterns (200001)")) << r.out.substr(0, 400);
}

TEST(SyncTool, ManySkippedPatternsPlacedManyTimesDoNotStall) {
    // 300000 patterns of a resolution beyond the grid, each placed once by
    // one channel: dropping them one at a time from every placement list
    // would take minutes.
    testsupport::TempDir dir;
    const int count = 300000;
    std::string text = "h\tt\r\nbpm\t120\r\noff\t0\r\nPATTERNS\r\n";
    for (int i = 0; i < count; ++i) text += "r\t100000\r\nt\tBOOLEAN\r\np" + std::to_string(i) + "\t1\r\n";
    text += "r\t1\r\nt\tBOOLEAN\r\nkept\t1\r\nCHANNELS\r\nc";
    for (int i = 0; i < count; ++i) text += "\tp" + std::to_string(i);
    text += "\tkept\r\nf\t0\r\n";
    testsupport::writeFile(dir.file("skipped.csv"), text);
    testsupport::RunResult r = runTool({dir.file("skipped.csv"), "--length", "10"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.out, "warnings (300000)")) << r.out.substr(0, 400);
    EXPECT_TRUE(contains(r.out, "c  no repeat  20 placements: kept from row 0, emptypattern x19 from row 1")) << r.out.substr(0, 2000);
}

TEST(SyncTool, LinesOfMillionsOfFieldsStayWithinASmallMultipleOfTheFile) {
    // A channel placing a missing pattern four million times, and a repeat
    // flag line of eight million separators.
    testsupport::TempDir dir;
    std::string text = "h\tt\r\nbpm\t120\r\noff\t0\r\nPATTERNS\r\nr\t1\r\nt\tBOOLEAN\r\nx\t1\r\nCHANNELS\r\nc";
    text.reserve(16'000'100);
    for (int i = 0; i < 4'000'000; ++i) text += "\ty";
    text += "\r\nf" + std::string(8'000'000, '\t') + "\r\n";
    testsupport::writeFile(dir.file("fields.csv"), text);
    const double fileKb = static_cast<double>(text.size()) / 1024.0;
    text.clear();
    text.shrink_to_fit();
    testsupport::RunResult r = runTool({dir.file("fields.csv"), "--length", "10"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "c  no repeat  20 placements: emptypattern x20 from row 0")) << r.out.substr(0, 2000);
    EXPECT_LT(static_cast<double>(r.maxRssKb), memoryBoundKb(4.0, fileKb)) << r.maxRssKb << " KiB";
}
