#pragma once
// Puts the music clock where a test wants it: a blank stream on the manual
// clock, at a chosen music row.
#include <cstdint>

#include "music/musicsync.h"

namespace testsupport {

class ManualMusic {
public:
    // A stream of `seconds` at 48 kHz stereo, installed in `ms` with the
    // given tempo and offset.
    explicit ManualMusic(MusicSync& ms = musicSync, double seconds = 120.0, float bpm = 120.0f, float offset = 0.0f);
    ~ManualMusic();
    ManualMusic(const ManualMusic&) = delete;
    ManualMusic& operator=(const ManualMusic&) = delete;

    void setSeconds(double seconds);
    // The middle of a music row, so that rounding cannot move it.
    void setRow(int row);

private:
    MusicSync& ms_;
    audio::StreamHandle previous_;
    audio::StreamHandle stream_;
};

}  // namespace testsupport
