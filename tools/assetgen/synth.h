#pragma once
// Plays a score into a stereo 44.1 kHz buffer and encodes it to MP3 with lame.
#include <functional>
#include <string>
#include <vector>

#include "score.h"

constexpr int kSampleRate = 44100;

struct StereoBuffer {
    std::vector<float> left, right;
};

// Renders the whole score, effects and master gain included, peak-normalised
// below full scale.
StereoBuffer renderScore(const Score& score, const std::function<void(const std::string&)>& progress);

// Renders and encodes to `mp3Path` (VBR, with the gapless header). Returns an
// empty string on success, else the reason.
std::string renderMusic(const Score& score, const std::string& mp3Path,
                        const std::function<void(const std::string&)>& progress);
