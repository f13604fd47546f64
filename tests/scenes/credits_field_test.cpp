#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "support/gldouble/gl_double.h"
#include "scenes/credits_field.h"
#include "common/font8x8.h"
#include "scenes/framedelta.h"
#include "support/musicclock.h"
#include "textures/textures.h"

namespace {

using Cell = std::pair<int, int>;  // column, row

// What the picture shows of one cube: the top face, read back into the
// field's frame.
struct CubeTop {
    double height;  // of the cube's centre above the field plane
    float r, g, b;
};

// The field's frame as the scene sets it up from the identity: translated,
// then turned by 42 degrees about (1, 0.3, 0) and 18 degrees about y.
gldouble::Matrix rotation(double degrees, double x, double y, double z) {
    const double len = std::sqrt(x * x + y * y + z * z);
    x /= len, y /= len, z /= len;
    const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    return {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
            t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
            t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
            0,                 0,                 0,                 1};
}

gldouble::Matrix times(const gldouble::Matrix& a, const gldouble::Matrix& b) {
    gldouble::Matrix r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) r[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
    return r;
}

gldouble::Matrix fieldFrame() {
    gldouble::Matrix m = times(rotation(42, 1, 0.3, 0), rotation(18, 0, 1, 0));
    m[12] = -3;
    m[13] = -2;
    m[14] = -5;
    return m;
}

// Eye coordinates back into the field's frame (the frame is a rotation and a
// translation, so the inverse is the transposed rotation).
std::array<double, 3> toField(const gldouble::Matrix& m, double x, double y, double z) {
    x -= m[12];
    y -= m[13];
    z -= m[14];
    return {m[0] * x + m[1] * y + m[2] * z, m[4] * x + m[5] * y + m[6] * z, m[8] * x + m[9] * y + m[10] * z};
}

// The top face of every cube drawn, whichever way the field was sent: the
// horizontal face highest up in each cell.
std::map<Cell, CubeTop> cubeTops() {
    static const gldouble::Matrix frame = fieldFrame();
    std::map<Cell, CubeTop> tops;
    for (const auto& p : gldouble::primitives()) {
        if (p.mode != GL_QUADS) continue;
        for (size_t f = 0; f + 3 < p.vertices.size(); f += 4) {
            std::array<double, 3> corner[4];
            double cx = 0, cz = 0;
            for (int v = 0; v < 4; ++v) {
                const auto& vx = p.vertices[f + v];
                corner[v] = toField(frame, vx.x, vx.y, vx.z);
                cx += corner[v][0] / 4;
                cz += corner[v][2] / 4;
            }
            bool flat = true;
            for (int v = 1; v < 4; ++v) flat = flat && std::fabs(corner[v][1] - corner[0][1]) < 1e-4;
            if (!flat) continue;
            const Cell cell{static_cast<int>(std::lround(cx / 0.1)), static_cast<int>(std::lround(-cz / 0.1))};
            const double height = corner[0][1] - 0.05;
            const auto& colour = p.vertices[f];
            auto it = tops.find(cell);
            if (it == tops.end() || it->second.height < height)
                tops[cell] = {height, float(colour.r), float(colour.g), float(colour.b)};
        }
    }
    return tops;
}

bool isCyan(const CubeTop& t) { return t.r == 0.3f && t.g == 1.0f && t.b == 1.0f; }

// The wave alone at a given beat: one turn of its phase every 5 beats.
double waveHeight(int c, int r, double beats = 70) {
    const double phase = 72.0 * beats;
    return 0.3 * std::sin((6.0 * c + phase) * M_PI / 180.0) * std::sin((4.0 * r + phase) * M_PI / 180.0);
}

class CreditsFieldTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        state = std::make_unique<CreditsFieldState>();
        creditsField = *state;
        creditsField.drawEveryFace = GetParam();
        bord2Texture.glName = 5;
        frameDeltaMs = 20;
    }
    void TearDown() override { bord2Texture.glName = 0; }
    void drawAtSeconds(double seconds) {
        music.setSeconds(seconds);
        gldouble::resetHostile(false, false);
        drawCreditsField();
    }
    void drawAtRow(int row) {
        music.setRow(row);
        gldouble::resetHostile(false, false);
        drawCreditsField();
    }
    // The mask the given line alone leaves.
    static std::set<Cell> stamped(const CreditLine& line) {
        const bool every = creditsField.drawEveryFace;
        creditsField = CreditsFieldState{};
        creditsField.drawEveryFace = every;
        stampTextLine(line.text, line.x, line.y);
        return maskCells();
    }
    static std::set<Cell> maskCells() {
        std::set<Cell> cells;
        for (int c = 0; c < creditMaskColumns; ++c)
            for (int r = 0; r < creditRows; ++r)
                if (creditsField.textMask[c][r] != 0.0f) cells.insert({c, r});
        return cells;
    }
    std::unique_ptr<CreditsFieldState> state;
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};  // a row is 0.125 s
};

TEST_P(CreditsFieldTest, FirstLineStandsInTheFieldAndJumpsUpInCyan) {
    drawAtSeconds(35.0);  // the first instant of row 280: beat 70, progress 0
    auto tops = cubeTops();
    ASSERT_EQ(tops.size(), size_t(creditColumns * creditRows));

    int lit = 0, minC = 999, maxC = -1, minR = 999, maxR = -1;
    for (const auto& [cell, top] : tops) {
        const double lift = top.height - waveHeight(cell.first, cell.second);
        if (!isCyan(top)) {
            EXPECT_NEAR(lift, 0.0, 1e-4) << cell.first << "," << cell.second;
            continue;
        }
        ++lit;
        minC = std::min(minC, cell.first);
        maxC = std::max(maxC, cell.first);
        minR = std::min(minR, cell.second);
        maxR = std::max(maxR, cell.second);
        // Lifted by 1.1 at the start of the line, more towards the right.
        EXPECT_NEAR(lift, 1.1 * (0.25 + 0.75 * cell.first / 104.0), 1e-4);
        if (cell.first == 56) {
            EXPECT_NEAR(lift, 0.72, 0.005);
        }
    }
    // The letters' cells span columns 1 to 56 and rows 5 to 12; the glyphs
    // leave their left column and bottom row free.
    EXPECT_GE(minC, 1);
    EXPECT_LE(minC, 2);
    EXPECT_EQ(maxC, 56);
    EXPECT_GE(minR, 5);
    EXPECT_LE(minR, 6);
    EXPECT_EQ(maxR, 12);
    int pixels = 0;
    for (char ch : std::string("CREDITS"))
        for (int b = 0; b < 8; ++b)
            for (int j = 0; j < 8; ++j) pixels += (glyphRows(ch)[b] >> j) & 1;
    EXPECT_EQ(lit, pixels);
    // The top glyph row is at the highest row: C's top row is 0x30, pixels 3 and 4.
    EXPECT_TRUE(isCyan(tops.at({3, 12})));
    EXPECT_TRUE(isCyan(tops.at({4, 12})));
    EXPECT_FALSE(isCyan(tops.at({2, 12})));
}

TEST_P(CreditsFieldTest, EveryCellRidesTheWaveOfItsOwnFrame) {
    // Column 0 and row 0 included, each frame at a beat of its own.
    for (double beats : {70.3, 73.9, 71.1}) {
        drawAtSeconds(beats / 2);
        for (const auto& [cell, top] : cubeTops())
            if (creditsField.textMask[cell.first][cell.second] == 0.0f) {
                ASSERT_NEAR(top.height, waveHeight(cell.first, cell.second, beats), 1e-4)
                    << cell.first << "," << cell.second << " at beat " << beats;
            }
    }
}

TEST_P(CreditsFieldTest, LinesFollowTheRowsAndTheEndRepeats) {
    // Rows before the credits show the first line.
    const std::pair<int, int> expected[] = {{279, 0},  {280, 0},  {295, 0},  {296, 1},  {339, 9},  {360, 12},
                                            {388, 19}, {391, 19}, {392, 12}, {424, 12}, {471, 15}};
    for (auto [row, line] : expected) {
        const auto want = stamped(creditLines[line]);
        drawAtRow(row);
        EXPECT_EQ(maskCells(), want) << "row " << row << " should show line " << line;
    }
}

TEST_P(CreditsFieldTest, EveryCreditLineShowsCyanAtItsStartRowAndPlace) {
    if (creditsField.drawEveryFace) GTEST_SKIP() << "the same lines either way; one drawing is enough";
    // text, rows, start (rows after 280), column, row
    const CreditLine table[creditLineCount] = {
        {"CREDITS", 16, 0, 0, 4}, {"CODE", 8, 16, 10, 2},     {"BY", 3, 24, 22, 5},       {"VORPIN", 5, 27, 7, 9},
        {"MUSIC", 8, 32, 50, 20}, {"BY", 3, 40, 24, 14},      {"QUILLMOT", 5, 43, 4, 32}, {"GFX", 8, 48, 16, 8},
        {"BY", 3, 56, 6, 7},      {"SKADOW", 5, 59, 56, 60},  {"...", 8, 64, 40, 23},     {"...", 8, 72, 50, 17},
        {"DO", 6, 80, 11, 10},    {"DE", 2, 86, 15, 18},      {"DU", 4, 88, 37, 19},      {"DI", 4, 92, 42, 58},
        {"DO", 6, 96, 31, 70},    {"DE", 2, 102, 47, 39},     {"DU", 4, 104, 52, 1},      {"DI", 4, 108, 11, 55},
    };
    for (int i = 0; i < creditLineCount; ++i) {
        const CreditLine& line = table[i];
        std::set<Cell> want;
        for (const Cell& cell : stamped(line))
            if (cell.first < creditColumns) want.insert(cell);
        drawAtRow(280 + line.start);
        // Half a row in, the line has run half a row of its length; its cells
        // stand lifted by 1.1 (1 - p), more towards the right.
        const double beats = 70 + (line.start + 0.5) / 4, p = 0.5 / line.rows;
        std::set<Cell> lit;
        for (const auto& [cell, top] : cubeTops()) {
            if (!isCyan(top)) continue;
            lit.insert(cell);
            const double lift = 1.1 * (1 - p) * (0.25 + 0.75 * cell.first / 104.0);
            EXPECT_NEAR(top.height, waveHeight(cell.first, cell.second, beats) + lift, 1e-4) << "line " << i;
        }
        EXPECT_EQ(lit, want) << "line " << i;
        EXPECT_NEAR(buildCreditsFrame(float(beats), 280 + line.start), p, 1e-5) << "line " << i;
    }
}

TEST_P(CreditsFieldTest, PixelsPastTheLastColumnAreKeptButNeverDrawn) {
    drawAtRow(340);  // line 9, "SKADOW", its W reaching column 104
    bool inSpareColumn = false;
    for (int r = 0; r < creditRows; ++r) inSpareColumn = inSpareColumn || creditsField.textMask[104][r] == 1.0f;
    EXPECT_TRUE(inSpareColumn);
    // Only the drawn columns are cleared: the spare one keeps its pixels under the next line.
    drawAtRow(344);
    bool kept = false;
    for (int r = 0; r < creditRows; ++r) kept = kept || creditsField.textMask[104][r] == 1.0f;
    EXPECT_TRUE(kept);
    drawAtRow(340);
    auto tops = cubeTops();
    EXPECT_EQ(tops.size(), size_t(creditColumns * creditRows));
    EXPECT_EQ(tops.rbegin()->first.first, 103);
    bool litAtEdge = false;
    for (int r = 0; r < creditRows; ++r) litAtEdge = litAtEdge || creditsField.textMask[103][r] == 1.0f;
    EXPECT_TRUE(litAtEdge);
}

TEST_P(CreditsFieldTest, LitCellsTakeBackTheFieldColourInTheLastTenth) {
    drawAtSeconds(35.0 + 15.2 / 8.0);  // 15.2 of line 0's 16 rows: progress 0.95
    int checked = 0;
    for (const auto& [cell, top] : cubeTops()) {
        const auto [c, r] = cell;
        if (creditsField.textMask[c][r] != 1.0f) continue;
        EXPECT_NEAR(top.r, creditsField.cellRed[c][r] + 0.15, 1e-4);
        EXPECT_NEAR(top.g, creditsField.cellGreen[c][r] + 0.5, 1e-4);
        EXPECT_NEAR(top.b, creditsField.cellBlue[c][r] + 0.5, 1e-4);
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST_P(CreditsFieldTest, AtExactlyNineTenthsTheLineIsStillCyan) {
    // Beat 77.875: "VORPIN" (start 27, 5 rows) has run 4.5 rows, p = 0.9 exactly.
    drawAtSeconds(77.875 / 2);
    int lit = 0;
    for (const auto& [cell, top] : cubeTops()) lit += isCyan(top);
    EXPECT_EQ(size_t(lit), stamped(creditLines[3]).size());
}

TEST_P(CreditsFieldTest, AnExactRepeatLandsAtTheStartOfTheRepeat) {
    // Beat 106 is 144 rows in: a whole number of repeats past row 80, so the
    // first "DO" starts afresh (progress 0) rather than ending a round.
    drawAtSeconds(53.0);
    EXPECT_EQ(maskCells(), stamped(creditLines[12]));
    // A sixty-sixth of a row before it (more than the hundredth the repeat
    // allows for rounding), the last line is still ending.
    EXPECT_NEAR(buildCreditsFrame(105.99625f, 423), 0.99625, 1e-3);
    drawAtSeconds(53.0);
    int lit = 0;
    for (const auto& [cell, top] : cubeTops()) {
        if (creditsField.textMask[cell.first][cell.second] != 1.0f) continue;
        ++lit;
        EXPECT_TRUE(isCyan(top));
        EXPECT_NEAR(top.height - waveHeight(cell.first, cell.second, 106), 1.1 * (0.25 + 0.75 * cell.first / 104.0), 1e-4);
    }
    EXPECT_GT(lit, 0);
}

TEST_P(CreditsFieldTest, ColoursAreRingsDriftingWithTime) {
    frameDeltaMs = 100;  // plasmaTime 50
    drawAtSeconds(35.0);
    EXPECT_FLOAT_EQ(creditsField.plasmaTime, 50.0f);
    auto tops = cubeTops();
    for (auto [c, r] : {Cell{90, 70}, Cell{0, 0}, Cell{103, 0}, Cell{0, 79}}) {
        const CubeTop& top = tops.at({c, r});
        EXPECT_NEAR(top.r, 0.5 * std::sin(std::hypot(200.0 - c, 320.0 - r + 50.0 / 12) / 16), 1e-6) << c << "," << r;
        EXPECT_NEAR(top.g, 0.5 * std::cos(std::hypot(200.0 - r, 320.0 - c + 50.0 / 10) / 16), 1e-6) << c << "," << r;
        EXPECT_NEAR(top.b, 0.125 * std::sin(std::hypot(200.0 - r, 320.0 - c + 50.0 / 9) / 16), 1e-6) << c << "," << r;
    }
}

TEST_P(CreditsFieldTest, FirstFrameStartsFromTheIdentityLaterOnesFromTheFramesMatrix) {
    glTranslatef(0.0f, 100.0f, 0.0f);
    drawAtSeconds(35.0);
    EXPECT_FALSE(gldouble::isEnabled(GL_BLEND));  // from a start with blending on
    const double firstY = gldouble::primitives()[0].vertices[0].y;
    gldouble::reset();
    glTranslatef(0.0f, 100.0f, 0.0f);
    music.setSeconds(35.0);
    drawCreditsField();
    EXPECT_NEAR(gldouble::primitives()[0].vertices[0].y - firstY, 100.0, 1e-3);
    // Depth-tested, opaque, with the field's texture.
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(gldouble::isEnabled(GL_BLEND));
    EXPECT_TRUE(gldouble::isEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(gldouble::primitives()[0].vertices[0].texture, 5u);
}

INSTANTIATE_TEST_SUITE_P(BothWays, CreditsFieldTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CubeByCube" : "Batched"; });

// The batched field shows the same cubes, heights and colours as the one
// drawn cube by cube, and leaves the same matrix behind.
TEST(CreditsStamp, WritesRightUpToTheMasksEdgesAndNeverPastThem) {
    // 'L' at (-2, -2): its bottom bar (byte 6, bits 6 to 0) lands on row 0 from
    // column 0; the cells left and below of it would lie outside the mask.
    creditsField = CreditsFieldState{};
    stampTextLine("L", -2, -2);
    for (int c = 0; c <= 6; ++c) EXPECT_EQ(creditsField.textMask[c][0], 1.0f) << "column " << c;
    EXPECT_EQ(creditsField.textMask[7][0], 0.0f);
    // And past the far edges: the top row of 'L' (byte 0, bit 6) would be row 80.
    creditsField = CreditsFieldState{};
    stampTextLine("L", creditMaskColumns - 3, creditRows - 8);
    EXPECT_EQ(creditsField.textMask[creditMaskColumns - 1][creditRows - 1], 1.0f);
    // Its bottom bar from column 104 on reaches column 112, one past the mask:
    // nothing is written there, and the state after the mask stays as it was.
    creditsField = CreditsFieldState{};
    creditsField.drawEveryFace = true;
    stampTextLine("L", creditMaskColumns - 8, -2);
    EXPECT_EQ(creditsField.textMask[creditMaskColumns - 1][0], 1.0f);
    EXPECT_TRUE(creditsField.drawEveryFace);
}

TEST(CreditsBeats, CountFromTheSyncOffset) {
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 10.0f};
    music.setRow(300);  // the middle of row 300: 75.125 beats after the offset
    EXPECT_NEAR(musicBeats(), 75.125, 1e-4);
}

TEST(CreditsFieldBatching, ShowsWhatCubeByCubeShows) {
    testsupport::ManualMusic music{musicSync, 120.0, 120.0f, 0.0f};
    bord2Texture.glName = 5;
    frameDeltaMs = 16;
    std::map<Cell, CubeTop> tops[2];
    gldouble::Matrix after[2];
    // Face centres in eye coordinates, in cells of 1e-3; the cube-by-cube
    // ones with their outward direction (from the cube's centre).
    auto key = [](double x, double y, double z) {
        return std::array<long, 3>{std::lround(x * 1000), std::lround(y * 1000), std::lround(z * 1000)};
    };
    std::set<std::array<long, 3>> batchedFaces;
    std::map<std::array<long, 3>, int> cubeFaceCount;
    std::vector<std::pair<std::array<double, 3>, std::array<double, 3>>> cubeFaces;
    for (int every = 0; every < 2; ++every) {
        auto fresh = std::make_unique<CreditsFieldState>();
        creditsField = *fresh;
        creditsField.drawEveryFace = every;
        music.setSeconds(35.0 + 3.3 / 8.0);  // line 0, partly sunk
        gldouble::reset();
        drawCreditsField();
        tops[every] = cubeTops();
        after[every] = gldouble::modelview();
        for (const auto& p : gldouble::primitives()) {
            std::array<double, 3> cube{};
            for (const auto& v : p.vertices) cube = {cube[0] + v.x / 24, cube[1] + v.y / 24, cube[2] + v.z / 24};
            for (size_t f = 0; f + 3 < p.vertices.size(); f += 4) {
                std::array<double, 3> c{};
                for (size_t v = f; v < f + 4; ++v)
                    c = {c[0] + p.vertices[v].x / 4, c[1] + p.vertices[v].y / 4, c[2] + p.vertices[v].z / 4};
                if (!every) {
                    batchedFaces.insert(key(c[0], c[1], c[2]));
                } else {
                    ++cubeFaceCount[key(c[0], c[1], c[2])];
                    cubeFaces.push_back({c, {c[0] - cube[0], c[1] - cube[1], c[2] - cube[2]}});
                }
            }
        }
    }
    // Every face that turns towards the eye (at the origin) and that no
    // neighbour's face covers is sent by the batched drawing too.
    int missing = 0, shown = 0;
    for (const auto& [c, out] : cubeFaces) {
        if (-(c[0] * out[0] + c[1] * out[1] + c[2] * out[2]) < 1e-4) continue;
        const auto k = key(c[0], c[1], c[2]);
        if (cubeFaceCount[k] > 1) continue;
        ++shown;
        bool found = false;
        for (long dx = -1; dx <= 1 && !found; ++dx)
            for (long dy = -1; dy <= 1 && !found; ++dy)
                for (long dz = -1; dz <= 1 && !found; ++dz) found = batchedFaces.count({k[0] + dx, k[1] + dy, k[2] + dz}) > 0;
        missing += !found;
    }
    EXPECT_GT(shown, 3 * creditColumns * creditRows / 2);
    EXPECT_EQ(missing, 0);
    // And it sends no face that turns away from the eye.
    size_t towards = 0;
    for (const auto& [c, out] : cubeFaces) towards += -(c[0] * out[0] + c[1] * out[1] + c[2] * out[2]) > -1e-4;
    EXPECT_LE(batchedFaces.size(), towards);
    ASSERT_EQ(tops[0].size(), tops[1].size());
    for (const auto& [cell, top] : tops[1]) {
        const CubeTop& batched = tops[0].at(cell);
        EXPECT_NEAR(batched.height, top.height, 1e-5);
        EXPECT_EQ(batched.r, top.r);
        EXPECT_EQ(batched.g, top.g);
        EXPECT_EQ(batched.b, top.b);
    }
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(after[0][i], after[1][i], 1e-5);
    bord2Texture.glName = 0;
}

}  // namespace
