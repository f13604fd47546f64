#include "support/musicclock.h"

#include <cmath>

namespace testsupport {

ManualMusic::ManualMusic(MusicSync& ms, double seconds, float bpm, float offset) : ms_(ms), previous_(ms.stream) {
    audio::selectClock(audio::Clock::Manual);
    audio::initOutput(-1, 48000);
    stream_ = audio::createBlankStream(48000, 2, static_cast<std::uint64_t>(seconds * 48000));
    ms_.stream = stream_;
    ms_.file.bpm = bpm;
    ms_.file.offset = offset;
}

ManualMusic::~ManualMusic() {
    audio::freeStream(stream_);
    ms_.stream = previous_;
    ms_.file.bpm = 120.0f;
    ms_.file.offset = 0.0f;
}

void ManualMusic::setSeconds(double seconds) {
    audio::setPosition(stream_, static_cast<std::uint64_t>(std::llround(seconds * 48000)) * 8);
}

void ManualMusic::setRow(int row) {
    double rowSeconds = 60.0 / ms_.file.bpm / 4.0;
    // Rows truncate toward zero, so a negative row's middle lies below it.
    setSeconds(ms_.file.offset + (row < 0 ? row - 0.5 : row + 0.5) * rowSeconds);
}

}  // namespace testsupport
