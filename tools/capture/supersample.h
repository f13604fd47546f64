#pragma once
// Antialiasing by supersampling: a frame drawn at S times the size, each
// S x S block of its pixels averaged into one (a box filter). Runs on the
// capture's writer thread, while the next frame is drawn.
#include <vector>

// `in` holds (width * s) x (height * s) pixels of `channels` bytes, rows in
// any order (the blocks keep it); `out` gets width x height pixels, each
// channel the mean of its block rounded half up: (sum + s*s/2) / (s*s), the
// same bytes on every machine.
void boxDownsample(const std::vector<unsigned char>& in, int width, int height, int channels, int s,
                   std::vector<unsigned char>& out);
