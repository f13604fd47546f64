#pragma once
// Playback through the PulseAudio server (or anything that answers its
// protocol, such as pipewire-pulse), for the desktop's audio backend: unlike
// SDL's audio, it says how long the sound written to it takes to be heard.
// Only src/platform/sdl/ includes this.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::sdl::pulse {

// Fills `frames` stereo float frames; `latencySeconds` is how long the first
// of them takes to be heard, as the server reports it now. Runs on the
// output's thread with the output's lock held.
using Fill = void (*)(float* out, std::size_t frames, double latencySeconds);

// Connects to the default server and starts playing stereo float at `rate`;
// false, with the reason, where no server answers.
bool open(std::uint32_t rate, Fill fill, std::string& why);
// Stops the thread and disconnects.
void close();
bool isOpen();

// The output's lock: held while `fill` runs.
void lock();
void unlock();

}  // namespace platform::sdl::pulse
