#include "supersample.h"

#include <cstddef>
#include <cstdint>

void boxDownsample(const std::vector<unsigned char>& in, int width, int height, int channels, int s,
                   std::vector<unsigned char>& out) {
    const std::size_t w = static_cast<std::size_t>(width), c = static_cast<std::size_t>(channels);
    const std::size_t inStride = w * static_cast<std::size_t>(s) * c;
    const std::uint32_t area = static_cast<std::uint32_t>(s * s);
    out.resize(w * static_cast<std::size_t>(height) * c);
    std::vector<std::uint32_t> sums(w * c);
    for (int y = 0; y < height; ++y) {
        sums.assign(sums.size(), 0);
        for (int dy = 0; dy < s; ++dy) {
            const unsigned char* row = in.data() + (static_cast<std::size_t>(y) * s + dy) * inStride;
            for (std::size_t x = 0; x < w; ++x)
                for (int dx = 0; dx < s; ++dx) {
                    const unsigned char* p = row + (x * static_cast<std::size_t>(s) + dx) * c;
                    for (std::size_t k = 0; k < c; ++k) sums[x * c + k] += p[k];
                }
        }
        unsigned char* dst = out.data() + static_cast<std::size_t>(y) * w * c;
        for (std::size_t i = 0; i < sums.size(); ++i) dst[i] = static_cast<unsigned char>((sums[i] + area / 2) / area);
    }
}
