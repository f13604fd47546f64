#pragma once
// Real frames for image tests: the demo rendered through the capture path
// (real start-up, real frame routine, manual clocks) at a small size.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "shell/capture.h"

namespace testsupport {

struct Frame {
    int width = 0, height = 0;
    std::int64_t index = 0;  // frame number
    int row = 0;             // music row it was drawn at
    std::vector<unsigned char> rgb;  // bottom row first, as GL reads it
    // The pixel at x from the left, y from the bottom.
    std::array<int, 3> at(int x, int y) const;
};

// Renders the demo in `dataDir` (the folder holding data/) from frame 0,
// as a run of its own (every run starts afresh), and keeps the first frame at or after
// each of `rows`. A row that is never drawn is missing from the result.
// With `fastForward`, only the kept frames are drawn: the others are run
// through the scenes with drawing switched off.
std::map<int, Frame> captureRows(const std::vector<int>& rows, const CaptureSettings& settings = {320, 180, 30},
                                 const std::string& dataDir = "", bool fastForward = false);

// The window pixel (x from the left, y from the bottom) of an eye-space point
// under the demo's projection at that size.
std::array<int, 2> projectToPixel(double x, double y, double z, int width, int height);

// Writes the frame to $TARNWICK_IMAGE_DIR/name when that is set, so that a
// person can look at it.
void keepFrame(const Frame& frame, const std::string& name);

}  // namespace testsupport
