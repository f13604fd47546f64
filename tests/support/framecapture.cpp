#include "support/framecapture.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/support.h"

namespace testsupport {

std::array<int, 3> Frame::at(int x, int y) const {
    std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

std::map<int, Frame> captureRows(const std::vector<int>& rows, const CaptureSettings& settings,
                                 const std::string& dataDir, bool fastForward) {
    std::map<int, Frame> frames;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dataDir.empty() ? sourceDir() : dataDir);
    Capture capture;
    std::string why;
    if (!openCapture(settings, capture, why)) {
        std::filesystem::current_path(previous);
        ADD_FAILURE() << "cannot capture: " << why;
        return frames;
    }
    const std::int64_t count = frameCount(capture);
    std::vector<int> wanted = rows;
    for (std::int64_t k = 0; k < count && !wanted.empty(); ++k) {
        const int row = frameRow(capture, k);
        const bool kept = std::any_of(wanted.begin(), wanted.end(), [row](int w) { return row >= w; });
        if (!(kept || !fastForward ? drawNextFrame(capture) : skipNextFrame(capture))) break;
        for (auto it = wanted.begin(); it != wanted.end();) {
            if (row < *it) {
                ++it;
                continue;
            }
            Frame& f = frames[*it];
            f.width = settings.width;
            f.height = settings.height;
            f.index = k;
            f.row = row;
            readFrame(capture, f.rgb);
            it = wanted.erase(it);
        }
    }
    closeCapture(capture);
    std::filesystem::current_path(previous);
    return frames;
}

std::array<int, 2> projectToPixel(double x, double y, double z, int width, int height) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double aspect = static_cast<double>(width) / height;
    const double ndcX = f / aspect * x / -z, ndcY = f * y / -z;
    return {static_cast<int>((ndcX + 1) * width / 2), static_cast<int>((ndcY + 1) * height / 2)};
}

void keepFrame(const Frame& frame, const std::string& name) {
    const char* dir = std::getenv("TARNWICK_IMAGE_DIR");
    if (!dir || frame.rgb.empty()) return;
    const std::size_t stride = static_cast<std::size_t>(frame.width) * 3;
    std::vector<unsigned char> upright(frame.rgb.size());
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(&upright[static_cast<std::size_t>(y) * stride],
                    &frame.rgb[static_cast<std::size_t>(frame.height - 1 - y) * stride], stride);
    }
    lodepng_encode24_file((std::string(dir) + "/" + name).c_str(), upright.data(), static_cast<unsigned>(frame.width),
                          static_cast<unsigned>(frame.height));
}

}  // namespace testsupport
