#include "yuv.h"

#include <cstddef>

namespace {

// BT.601 in 8-bit limited range, weights scaled by 256 (ITU-R BT.601 4.4,
// rounded as the reference converters round them).
inline unsigned char luma(int r, int g, int b) {
    return static_cast<unsigned char>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

// From the sums of 2x2 pixels: the weights' scale times 4.
inline unsigned char blueDifference(int r4, int g4, int b4) {
    return static_cast<unsigned char>(((-38 * r4 - 74 * g4 + 112 * b4 + 512) >> 10) + 128);
}

inline unsigned char redDifference(int r4, int g4, int b4) {
    return static_cast<unsigned char>(((112 * r4 - 94 * g4 - 18 * b4 + 512) >> 10) + 128);
}

}  // namespace

void rgbaToYuv420(const std::vector<unsigned char>& bottomUpRgba, int width, int height,
                  std::vector<unsigned char>& planes) {
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const std::size_t cw = w / 2, ch = h / 2;
    planes.resize(w * h + 2 * cw * ch);
    unsigned char* y = planes.data();
    unsigned char* cb = y + w * h;
    unsigned char* cr = cb + cw * ch;
    for (std::size_t row = 0; row < ch; ++row) {
        // Output rows 2 row and 2 row + 1 are GL's rows h - 1 - 2 row and the one below it.
        const unsigned char* top = bottomUpRgba.data() + (h - 1 - 2 * row) * w * 4;
        const unsigned char* bottom = top - w * 4;
        unsigned char* yTop = y + 2 * row * w;
        unsigned char* yBottom = yTop + w;
        for (std::size_t col = 0; col < cw; ++col) {
            const unsigned char* p[4] = {top + 8 * col, top + 8 * col + 4, bottom + 8 * col, bottom + 8 * col + 4};
            int r4 = 0, g4 = 0, b4 = 0;
            for (const unsigned char* q : p) {
                r4 += q[0];
                g4 += q[1];
                b4 += q[2];
            }
            yTop[2 * col] = luma(p[0][0], p[0][1], p[0][2]);
            yTop[2 * col + 1] = luma(p[1][0], p[1][1], p[1][2]);
            yBottom[2 * col] = luma(p[2][0], p[2][1], p[2][2]);
            yBottom[2 * col + 1] = luma(p[3][0], p[3][1], p[3][2]);
            cb[row * cw + col] = blueDifference(r4, g4, b4);
            cr[row * cw + col] = redDifference(r4, g4, b4);
        }
    }
}
