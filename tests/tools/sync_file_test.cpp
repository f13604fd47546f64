// The shipped sync file: well-formed by the loader's limits, and a faithful
// description of the music it comes with.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "accents.h"
#include "support/support.h"

namespace {

using Fields = std::vector<std::string>;

struct ParsedPattern {
    std::string name, type;
    double resolution = 0;
    std::vector<std::optional<std::string>> cells;  // trailing empty cells trimmed
};

struct ParsedChannel {
    std::string name;
    std::vector<std::string> placements;
    std::string repeatField;
};

struct ParsedSync {
    std::vector<Fields> lines;
    std::vector<ParsedPattern> patterns;
    std::vector<ParsedChannel> channels;
    std::vector<std::string> problems;
};

Fields splitFields(const std::string& line) {
    Fields f;
    if (line.empty()) return f;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return f;
}

ParsedSync parse(const std::string& text) {
    ParsedSync p;
    auto problem = [&](const std::string& s) { p.problems.push_back(s); };
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) problem("does not end with CR LF");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) problem("CR without LF");
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) problem("LF without CR");
        if (text[i] == '\0') problem("NUL byte");
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.empty()) problem("blank line " + std::to_string(p.lines.size() + 1));
        p.lines.push_back(splitFields(line));
        start = end + 2;
    }
    for (int i = 0; i < 3 && i < static_cast<int>(p.lines.size()); ++i)
        if (p.lines[i].size() < 2) problem("header line " + std::to_string(i + 1) + " has fewer than two fields");
    auto findKeyword = [&](const std::string& kw) {
        for (size_t i = 0; i < p.lines.size(); ++i)
            if (!p.lines[i].empty() && p.lines[i][0] == kw) return static_cast<int>(i);
        return -1;
    };
    int pat = findKeyword("PATTERNS"), chan = findKeyword("CHANNELS");
    if (pat < 0 || chan < 0) {
        problem("keyword line missing");
        return p;
    }
    auto sectionEnd = [&](int from, const std::string& other) {
        int i = from + 1;
        while (i < static_cast<int>(p.lines.size()) && !p.lines[i].empty() && !p.lines[i][0].empty() && p.lines[i][0] != other) ++i;
        return i;
    };
    int patEnd = sectionEnd(pat, "CHANNELS"), chanEnd = sectionEnd(chan, "PATTERNS");
    if ((patEnd - pat - 1) % 3) problem("pattern section is not a multiple of three lines");
    if ((chanEnd - chan - 1) % 2) problem("channel section is not a multiple of two lines");
    for (int i = pat + 1; i + 2 < patEnd; i += 3) {
        const Fields &a = p.lines[i], &b = p.lines[i + 1], &c = p.lines[i + 2];
        if (a.size() < 2 || b.size() < 2) {
            problem("pattern group at line " + std::to_string(i + 1) + " lacks a field");
            continue;
        }
        ParsedPattern pp;
        pp.resolution = std::atof(a[1].c_str());
        pp.type = b[1];
        pp.name = c[0];
        for (size_t k = 1; k < c.size(); ++k) pp.cells.push_back(c[k].empty() ? std::nullopt : std::optional<std::string>(c[k]));
        while (!pp.cells.empty() && !pp.cells.back()) pp.cells.pop_back();
        p.patterns.push_back(pp);
    }
    for (int i = chan + 1; i + 1 < chanEnd; i += 2) {
        ParsedChannel ch;
        ch.name = p.lines[i][0];
        for (size_t k = 1; k < p.lines[i].size(); ++k)
            if (!p.lines[i][k].empty()) ch.placements.push_back(p.lines[i][k]);
        if (p.lines[i + 1].size() < 2) problem("channel " + ch.name + " has no repeat field");
        else ch.repeatField = p.lines[i + 1][1];
        p.channels.push_back(ch);
    }
    return p;
}

double musicSeconds(const std::string& path) {
    mpg123_init();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    double seconds = -1;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
        long rate = 0;
        int ch = 0, enc = 0;
        mpg123_getformat(mh, &rate, &ch, &enc);
        mpg123_scan(mh);
        off_t samples = mpg123_length(mh);
        if (samples > 0 && rate > 0) seconds = static_cast<double>(samples) / rate;
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return seconds;
}

class ShippedSync : public ::testing::Test {
protected:
    void SetUp() override {
        text = testsupport::readFile(testsupport::sourceDir() + "/data/sync/sync.csv");
        ASSERT_FALSE(text.empty()) << "data/sync/sync.csv missing or empty";
        sync = parse(text);
        for (const ParsedPattern& p : sync.patterns) byName.emplace(p.name, &p);
    }
    // The values a channel gives, by music row (the file's tempo is 120 and
    // its offset 0, so sync rows at four per beat are music rows).
    std::map<int, std::string> channelValuesByRow(const std::string& name) const {
        std::map<int, std::string> out;
        for (const ParsedChannel& ch : sync.channels) {
            if (ch.name != name) continue;
            double beat = 0;
            for (const std::string& pn : ch.placements) {
                const ParsedPattern* p = byName.at(pn);
                for (size_t k = 0; k < p->cells.size(); ++k)
                    if (p->cells[k]) out[static_cast<int>(std::lround((beat + k / p->resolution) * 4))] = *p->cells[k];
                beat += p->cells.size() / p->resolution;
            }
        }
        return out;
    }
    std::string text;
    ParsedSync sync;
    std::map<std::string, const ParsedPattern*> byName;
};

}  // namespace

TEST_F(ShippedSync, IsWellFormedForTheLoader) {
    for (const std::string& s : sync.problems) ADD_FAILURE() << s;
    ASSERT_GE(sync.lines.size(), 3u);
    EXPECT_EQ(sync.lines[1][1], "120");
    EXPECT_EQ(sync.lines[2][1], "0");
    std::set<std::string> names;
    for (const ParsedPattern& p : sync.patterns) {
        EXPECT_FALSE(p.name.empty());
        EXPECT_NE(p.name, "emptypattern");
        EXPECT_TRUE(names.insert(p.name).second) << "pattern name twice: " << p.name;
        EXPECT_GT(p.resolution, 0.01) << p.name;
        EXPECT_EQ(p.resolution, std::floor(p.resolution)) << p.name << ": whole resolutions only";
        EXPECT_TRUE(p.type == "BOOLEAN" || p.type == "INTEGER" || p.type == "FLOAT" || p.type == "STRING") << p.name;
        // Whole beats, so that re-gridding to the common resolution drops nothing.
        EXPECT_EQ(std::fmod(static_cast<double>(p.cells.size()), p.resolution), 0.0) << p.name;
        EXPECT_FALSE(p.cells.empty()) << p.name;
    }
}

TEST_F(ShippedSync, EveryChannelPlacesKnownPatternsAndCoversTheMusicExactly) {
    double seconds = musicSeconds(testsupport::sourceDir() + "/data/musik/musik.mp3");
    ASSERT_GT(seconds, 0);
    const double songBeats = std::floor(seconds / 60 * 120 + 0.5);
    std::set<std::string> used;
    bool repeating = false, plain = false;
    for (const ParsedChannel& ch : sync.channels) {
        EXPECT_TRUE(ch.repeatField == "0" || ch.repeatField == "1") << ch.name;
        ASSERT_FALSE(ch.placements.empty()) << ch.name;
        double beats = 0;
        for (const std::string& pn : ch.placements) {
            ASSERT_TRUE(byName.count(pn)) << ch.name << " places unknown pattern " << pn;
            used.insert(pn);
            beats += byName[pn]->cells.size() / byName[pn]->resolution;
        }
        if (ch.repeatField == "1") {
            repeating = true;
            const ParsedPattern* first = byName[ch.placements[0]];
            EXPECT_GE(first->cells.size() / first->resolution, 1.0) << ch.name << ": a looped pattern must span a beat";
        } else {
            plain = true;
            EXPECT_EQ(beats, songBeats) << ch.name << " should run exactly as long as the music";
        }
    }
    EXPECT_TRUE(repeating && plain) << "both repeat modes expected";
    for (const ParsedPattern& p : sync.patterns) EXPECT_TRUE(used.count(p.name)) << p.name << " is never placed";
}

TEST_F(ShippedSync, UsesAllValueTypesAndSeveralResolutions) {
    std::set<std::string> types;
    std::set<double> resolutions;
    for (const ParsedPattern& p : sync.patterns) {
        types.insert(p.type);
        resolutions.insert(p.resolution);
    }
    EXPECT_EQ(types.size(), 4u);
    EXPECT_GE(resolutions.size(), 3u);
}

TEST_F(ShippedSync, DescribesTheMusicSchedule) {
    // Accents: exactly the rows where the music hits the pictures.
    std::vector<int> accents;
    for (const auto& [row, v] : channelValuesByRow("accent")) {
        if (v == "1") accents.push_back(row);
    }
    EXPECT_EQ(accents, accentRows());

    // Sections start where the schedule changes.
    auto sections = channelValuesByRow("section");
    EXPECT_EQ(sections[0], "intro");
    EXPECT_EQ(sections[32], "flash");
    EXPECT_EQ(sections[40], "drop");
    EXPECT_EQ(sections[scene("arc bands").firstRow], "groove");
    EXPECT_EQ(sections[scene("logo tiles").firstRow + 1], "figure");
    EXPECT_EQ(sections[scene("credits field").firstRow], "credits");
    EXPECT_EQ(sections[360], "dodedudi");
    EXPECT_EQ(sections[scene("greetings").firstRow], "greetings");
    EXPECT_EQ(sections[scene("closing wheels").firstRow], "finale");
    EXPECT_EQ(sections[scene("closing wheels").lastRow + 1], "silence");

    // The sung lead: DO DE DU DI from row 360, the same 32 rows over and over.
    auto lead = channelValuesByRow("lead");
    const std::vector<std::pair<int, std::string>> loop = {{0, "DO"},  {6, "DE"},  {8, "DU"},  {12, "DI"},
                                                           {16, "DO"}, {22, "DE"}, {24, "DU"}, {28, "DI"}};
    for (int start : {360, 392, 424, 456})
        for (const auto& [off, syl] : loop)
            if (start + off < 472) {
                EXPECT_EQ(lead[start + off], syl) << "row " << start + off;
            }
    for (const auto& [row, v] : lead) {
        if (row < 360 || row > 472) {
            EXPECT_EQ(v, "-") << "row " << row;
        }
    }

    // Four on the floor in the main groove, none in the break or after the end.
    auto kick = channelValuesByRow("kick");
    for (int r = 64; r < 188; r += 4) EXPECT_EQ(kick[r], "1") << "row " << r;
    for (const auto& [row, v] : kick) {
        if ((row >= 44 && row < 64) || row >= 752) {
            EXPECT_NE(v, "1") << "row " << row;
        }
    }

    // Bass notes are note numbers in the bass register (0 before the first).
    for (const auto& [row, v] : channelValuesByRow("bass")) {
        int note = std::atoi(v.c_str());
        EXPECT_TRUE(note == 0 || (note >= 24 && note <= 60)) << "row " << row << ": " << v;  // 0: none yet
    }
}
