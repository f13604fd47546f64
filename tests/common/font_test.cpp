// The shared 8 x 8 font: bit order, coverage of the lettering the demo
// needs, and the hand of the glyphs we drew ourselves.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/font8x8.h"

namespace {

std::vector<std::pair<int, int>> setPixels(char c) {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (glyphPixel(c, x, y)) out.push_back({x, y});
    return out;
}

}  // namespace

TEST(Font8x8, BitSevenIsTheLeftPixelAndByteZeroTheTopRow) {
    // The full stop is a 2 x 2 block two columns left of centre, low in the cell.
    std::vector<std::pair<int, int>> dot = {{3, 5}, {4, 5}, {3, 6}, {4, 6}};
    EXPECT_EQ(setPixels('.'), dot);
    // L: a stem in column 1 from the top row and a full foot in row 6.
    for (int y = 0; y <= 6; ++y) EXPECT_TRUE(glyphPixel('L', 1, y)) << "row " << y;
    for (int x = 1; x <= 7; ++x) EXPECT_TRUE(glyphPixel('L', x, 6)) << "column " << x;
    EXPECT_FALSE(glyphPixel('L', 7, 0));
    // T leans: its foot sits at the right (bytes 07 07), its bar at the top.
    EXPECT_TRUE(glyphPixel('T', 7, 6));
    EXPECT_FALSE(glyphPixel('T', 1, 6));
    EXPECT_TRUE(glyphPixel('T', 1, 0));
    EXPECT_EQ(glyphRows('A')[0], 0x60);
    EXPECT_EQ(glyphTable['Z' - glyphFirstCode][6], 0x7F);
}

TEST(Font8x8, OutsideTheCellAndTheTableNothingIsSet) {
    EXPECT_FALSE(glyphPixel('A', -1, 3));
    EXPECT_FALSE(glyphPixel('A', 8, 3));
    EXPECT_FALSE(glyphPixel('A', 3, 8));
    EXPECT_FALSE(glyphDefined(' '));
    EXPECT_FALSE(glyphDefined('\t'));
    EXPECT_FALSE(glyphDefined(static_cast<char>(200)));
    EXPECT_FALSE(glyphDefined(static_cast<char>(127)));
    EXPECT_FALSE(glyphDefined('a'));  // upper case only
    // Just outside the table at either end: the blank glyph, not a row next to the table.
    EXPECT_EQ(glyphRows(static_cast<char>(glyphFirstCode - 1)), glyphRows('\t'));
    EXPECT_EQ(glyphRows(static_cast<char>(glyphFirstCode + glyphCount)), glyphRows('\t'));
    // For every character: inside the cell a pixel is its row's bit, outside
    // it nothing (not a row of the next glyph).
    for (int code = 0; code < 256; ++code) {
        const std::uint8_t* rows = glyphRows(static_cast<char>(code));
        for (int y = -2; y < 10; ++y) {
            for (int x = -2; x < 10; ++x) {
                const bool inside = x >= 0 && x < 8 && y >= 0 && y < 8;
                EXPECT_EQ(glyphPixel(static_cast<char>(code), x, y), inside && ((rows[y] >> (7 - x)) & 1))
                    << code << " at " << x << "," << y;
            }
        }
    }
}

TEST(Font8x8, EveryCharacterOfTheDemoLetteringHasAGlyph) {
    const std::string lettering =
        "CREDITS CODE BY VORPIN MUSIC QUILLMOT GFX SKADOW ... DO DE DU DI "
        "TARNWICK GREETINGS THE END A PRODUCTION DEMO GROUP "
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
    for (char c : lettering) {
        if (c != ' ') {
            EXPECT_TRUE(glyphDefined(c)) << "'" << c << "'";
        }
    }
}

TEST(Font8x8, DigitsAndLettersKeepTheLeftColumnAndBottomRowFree) {
    // The credit lettering never uses column 0 or row 7, which keeps the
    // letters apart when they are set side by side; our digits follow it.
    std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.!?:-+";
    for (char c : chars) {
        for (int y = 0; y < 8; ++y) EXPECT_FALSE(glyphPixel(c, 0, y)) << "'" << c << "' row " << y;
        for (int x = 0; x < 8; ++x) EXPECT_FALSE(glyphPixel(c, x, 7)) << "'" << c << "' column " << x;
    }
}

TEST(Font8x8, DigitsAreDistinctFromEachOtherAndFromLetters) {
    std::set<std::vector<std::pair<int, int>>> shapes;
    for (char c = 'A'; c <= 'Z'; ++c) shapes.insert(setPixels(c));
    for (char c = '0'; c <= '9'; ++c) EXPECT_TRUE(shapes.insert(setPixels(c)).second) << "'" << c << "'";
}
