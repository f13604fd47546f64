#pragma once
// A PNG file read back as 8-bit RGB, top row first, for tests that compare
// pictures written by the programs.
#include <string>
#include <vector>

namespace testsupport {

struct RgbPicture {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// No pixels when the file cannot be read or decoded.
RgbPicture readPngRgb(const std::string& path);

}  // namespace testsupport
