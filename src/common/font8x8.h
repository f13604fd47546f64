#pragma once
// The demo's 8 x 8 bitmap font, shared by the credits field and the asset
// generator (which letters the pictures with it).
//
// One glyph is eight bytes, the top pixel row first; within a byte bit 7 is
// the leftmost pixel and bit 0 the rightmost. The table covers the character
// codes 32 (space) to 127, one entry per code in code order; codes without a
// drawing are blank. Letters are upper case only.
#include <cstdint>

constexpr int glyphFirstCode = 32;
constexpr int glyphCount = 96;  // codes 32 to 127

extern const std::uint8_t glyphTable[glyphCount][8];

// The eight rows of the glyph for `c`; a blank glyph for codes outside 32..127.
const std::uint8_t* glyphRows(char c);

// True where the glyph for `c` has a pixel. x runs 0 (left) to 7 (right),
// y runs 0 (top) to 7 (bottom); positions outside the cell are never set.
bool glyphPixel(char c, int x, int y);

// True when the glyph for `c` has at least one pixel.
bool glyphDefined(char c);
