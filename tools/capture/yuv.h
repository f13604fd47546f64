#pragma once
// Frames as the video encoder takes them: planar Y'CbCr 4:2:0.
#include <vector>

// Converts RGBA rows given bottom row first (as GL reads them) into the three
// planes of a 4:2:0 picture, top row first: Y' at full size, then Cb and Cr at
// half size each way, each chroma sample from the mean of its 2x2 pixels.
// Limited range with BT.601 weights, as ffmpeg's own conversion makes it.
// The width and height must be even. `planes` may be reused across frames.
void rgbaToYuv420(const std::vector<unsigned char>& bottomUpRgba, int width, int height,
                  std::vector<unsigned char>& planes);
