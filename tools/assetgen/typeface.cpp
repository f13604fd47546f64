#include "typeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr int kFirstChar = 32, kLastChar = 126;

std::string describe(FT_Error err) {
    char code[32];
    std::snprintf(code, sizeof code, "FreeType error 0x%02x", static_cast<unsigned>(err));
    const char* text = FT_Error_String(err);  // null where FreeType was built without its messages
    return text ? std::string(text) + " (" + code + ")" : std::string(code);
}

// Copies the glyph FreeType has loaded into `slot`, which must be a 1-bit
// bitmap, bit 7 of each byte being the leftmost pixel.
bool copyGlyph(FT_GlyphSlot slot, Glyph& g) {
    const FT_Bitmap& bm = slot->bitmap;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP || bm.pixel_mode != FT_PIXEL_MODE_MONO) return false;
    g.w = static_cast<int>(bm.width);
    g.h = static_cast<int>(bm.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>(slot->advance.x >> 6);
    g.bits.assign(static_cast<size_t>(g.w) * g.h, 0);
    for (int y = 0; y < g.h; ++y) {
        // The pitch is what takes a row pointer one row down, whatever its sign.
        const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
        for (int x = 0; x < g.w; ++x) g.bits[static_cast<size_t>(y) * g.w + x] = (row[x / 8] >> (7 - x % 8)) & 1;
    }
    return true;
}

// Calls `pixel(column, row)` for every set pixel of `text` in strike
// pixels, the pen starting at column 0 on the baseline (row 0; rows grow
// downwards, so letters sit at negative rows).
template <typename F>
void forEachPixel(const Strike& s, const std::string& text, F pixel) {
    int pen = 0;
    for (char c : text) {
        const Glyph& g = s.glyph(c);
        for (int y = 0; y < g.h; ++y)
            for (int x = 0; x < g.w; ++x)
                if (g.at(x, y)) pixel(pen + g.left + x, y - g.top);
        pen += g.advance;
    }
}

// The box of set pixels in strike pixels, empty when none is set.
TextBox inkBox(const Strike& s, const std::string& text) {
    int x0 = std::numeric_limits<int>::max(), y0 = x0, x1 = std::numeric_limits<int>::min(), y1 = x1;
    forEachPixel(s, text, [&](int x, int y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
        y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
    });
    if (x1 < x0) return TextBox{};
    return TextBox{x0, y0, x1, y1};
}

TextBox draw(Mask& mask, const Strike& s, const std::string& text, TextSize size, int ox, int oy) {
    forEachPixel(s, text, [&](int x, int y) {
        const int px0 = ox + x * size.sx, py0 = oy + y * size.sy;
        for (int py = std::max(py0, 0); py < std::min(py0 + size.sy, mask.h); ++py)
            for (int px = std::max(px0, 0); px < std::min(px0 + size.sx, mask.w); ++px) mask.at(px, py) = 1.0f;
    });
    TextBox b = inkBox(s, text);
    if (b.x1 <= b.x0) return TextBox{};
    return TextBox{ox + b.x0 * size.sx, oy + b.y0 * size.sy, ox + b.x1 * size.sx, oy + b.y1 * size.sy};
}

}  // namespace

const Glyph& Strike::glyph(char c) const {
    int code = static_cast<unsigned char>(c);
    if (code < kFirstChar || code > kLastChar) code = '?';
    return glyphs[static_cast<size_t>(code - kFirstChar)];
}

std::string Typeface::load(const std::string& path, const std::vector<int>& needed) {
    strikes_.clear();
    // FreeType's own message for a missing file is vague; say which it is.
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
    } else {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    FT_Library lib = nullptr;
    if (FT_Error err = FT_Init_FreeType(&lib)) return "cannot start FreeType: " + describe(err);
    std::unique_ptr<FT_LibraryRec_, FT_Error (*)(FT_Library)> libGuard(lib, FT_Done_FreeType);
    FT_Face ft = nullptr;
    if (FT_Error err = FT_New_Face(lib, path.c_str(), 0, &ft)) return "not a font FreeType reads: " + describe(err);
    std::unique_ptr<FT_FaceRec_, FT_Error (*)(FT_Face)> faceGuard(ft, FT_Done_Face);
    if (ft->num_fixed_sizes <= 0) return "has no bitmap strikes (a bitmap font is needed)";
    std::vector<Strike> strikes;
    for (int i = 0; i < ft->num_fixed_sizes; ++i) {
        if (FT_Error err = FT_Select_Size(ft, i)) return "cannot select strike " + std::to_string(i) + ": " + describe(err);
        Strike s;
        s.height = ft->available_sizes[i].height;
        s.ascent = static_cast<int>(ft->size->metrics.ascender >> 6);
        const std::string which = "the " + std::to_string(s.height) + " px strike";
        for (int c = kFirstChar; c <= kLastChar; ++c) {
            FT_UInt index = FT_Get_Char_Index(ft, static_cast<FT_ULong>(c));
            if (index == 0) return which + " has no glyph for '" + std::string(1, static_cast<char>(c)) + "'";
            if (FT_Error err = FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT))
                return which + ": cannot load the glyph for '" + std::string(1, static_cast<char>(c)) + "': " + describe(err);
            Glyph g;
            if (!copyGlyph(ft->glyph, g)) return which + " does not hold 1-bit bitmaps (a bitmap font is needed)";
            s.glyphs.push_back(std::move(g));
        }
        strikes.push_back(std::move(s));
    }
    strikes_ = std::move(strikes);
    for (int height : needed)
        if (!strike(height)) {
            strikes_.clear();
            return "has no " + std::to_string(height) + " px strike";
        }
    return "";
}

const Strike* Typeface::strike(int height) const {
    for (const Strike& s : strikes_)
        if (s.height == height) return &s;
    return nullptr;
}

TextBox measureText(const Typeface& face, const std::string& text, TextSize size) {
    const Strike* s = face.strike(size.strike);
    if (!s) return TextBox{};
    TextBox b = inkBox(*s, text);
    return TextBox{b.x0 * size.sx, b.y0 * size.sy, b.x1 * size.sx, b.y1 * size.sy};
}

TextBox stampText(Mask& mask, const Typeface& face, const std::string& text, TextSize size, float cx, float cy) {
    const Strike* s = face.strike(size.strike);
    if (!s) return TextBox{};
    TextBox box = measureText(face, text, size);
    int ox = static_cast<int>(std::lround(cx - (box.x1 - box.x0) / 2.0f)) - box.x0;
    int oy = static_cast<int>(std::lround(cy - (box.y1 - box.y0) / 2.0f)) - box.y0;
    return draw(mask, *s, text, size, ox, oy);
}

TextBox stampLine(Mask& mask, const Typeface& face, const std::string& text, TextSize size, int x, int baseline) {
    const Strike* s = face.strike(size.strike);
    if (!s) return TextBox{};
    return draw(mask, *s, text, size, x, baseline);
}
