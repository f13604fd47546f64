#pragma once
// Lettering for the pictures, in a bitmap typeface read from its font file:
// Terminus Bold, as Debian's fonts-terminus-otb ships it (one OpenType file
// holding every pixel size as a hand-drawn 1-bit strike). The glyphs are
// copied bit for bit, with no rasteriser in between, so the same font file
// gives the same pictures on every machine; each glyph pixel becomes a block
// of whole image pixels, which keeps every edge on a pixel boundary.
#include <string>
#include <vector>

#include "raster.h"

// Where the font is read from unless --font names another file.
inline constexpr const char* kDefaultFontFile = "/usr/share/fonts/opentype/terminus/terminus-bold.otb";

// One character of one strike: a w x h block of bits, placed `left` pixels
// right of the pen and with its top row `top` pixels above the baseline.
struct Glyph {
    int w = 0, h = 0, left = 0, top = 0, advance = 0;
    std::vector<unsigned char> bits;  // w * h, row by row from the top, 0 or 1
    bool at(int x, int y) const { return bits[static_cast<size_t>(y) * w + x] != 0; }
};

// All printable ASCII characters (32 to 126) at one pixel size.
struct Strike {
    int height = 0;  // the font's pixel size, e.g. 16 or 32
    int ascent = 0;  // pixels from the top of a line to its baseline
    std::vector<Glyph> glyphs;  // indexed by character code - 32
    // The glyph for `c`; characters outside printable ASCII are shown as '?'.
    const Glyph& glyph(char c) const;
};

class Typeface {
public:
    // Reads every bitmap strike of the font file at `path`. Returns an empty
    // string on success, else the reason: the file missing or unreadable,
    // not a font, a strike that is not 1-bit bitmaps or lacks a character,
    // or none of one of the pixel sizes in `needed`.
    std::string load(const std::string& path, const std::vector<int>& needed);
    // The strike of the given pixel size, or null when the font has none.
    const Strike* strike(int height) const;
    const std::vector<Strike>& strikes() const { return strikes_; }

private:
    std::vector<Strike> strikes_;
};

// A size of lettering: the strike of `strike` pixels, each of its pixels
// drawn as a block of sx by sy image pixels.
struct TextSize {
    int strike = 16;
    int sx = 1, sy = 1;
};

// Where the set pixels of `text` land with the pen starting at (0, 0) on
// the baseline; an empty box (all zero) when nothing is set. A size whose
// strike the typeface lacks measures (and draws) nothing.
TextBox measureText(const Typeface& face, const std::string& text, TextSize size);

// Draws `text` into `mask` (max with what is there) so that its set pixels
// are centred on (cx, cy), rounded to whole pixels. Returns the box.
TextBox stampText(Mask& mask, const Typeface& face, const std::string& text, TextSize size, float cx, float cy);

// Draws `text` with its pen starting at (x, baseline), for lines that share
// a baseline whatever their letters. Returns the box of its set pixels.
TextBox stampLine(Mask& mask, const Typeface& face, const std::string& text, TextSize size, int x, int baseline);
