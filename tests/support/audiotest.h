#pragma once
// Set-up shared by the audio tests: choosing a clock and the MP3 files made
// once per run.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace audiotest {

// Closes whatever output an earlier test left and starts the given clock.
// Device asks for SDL's dummy driver unless the environment names one.
inline void useClock(audio::Clock clock) {
    audio::freeOutput();
    audio::selectClock(clock == audio::Clock::Manual ? audio::Clock::Manual : audio::Clock::Device);
    if (clock == audio::Clock::Device) setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string previous = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    if (clock == audio::Clock::Silent) setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    audio::initOutput(-1, 48000);
    if (clock == audio::Clock::Silent) {
        if (previous.empty()) unsetenv("SDL_AUDIODRIVER");
        else setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    }
}

struct ToneFile {
    std::string path;
    int rate;
    int channels;
    bool vbr;
    const char* encoder;
};

// Tones of 3.3 s: 44.1 and 48 kHz, mono and stereo, CBR and VBR, from both
// encoders. Made once per build tree; empty when no encoder is installed.
const std::vector<ToneFile>& toneFiles();
// The last tone file of that rate and channel count, or null when none was made.
const ToneFile* findToneFile(int rate, int channels);

// A 7 s stereo tone at 44.1 kHz (long enough for the 5 s clock test).
const std::string& longTone();

// Where test files may go for the whole run.
const std::string& scratchDir();

}  // namespace audiotest
