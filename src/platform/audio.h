#pragma once
// Audio output and music streams: open an MP3, play it, and read where it is
// being heard, in bytes of the decoded stream.
//
// The streams, their positions and the three clocks are kept once, in
// audio.cpp, for both backends; each backend (audiobackend.h) decodes and
// plays: sdl/ through libmpg123 and an SDL audio device, web/ through the
// page's Web Audio context and the buffers the browser decoded.
//
// Implemented features:
//  [X] MP3 streams with their exact gapless length and exact seeks
//  [X] Play, stop, seek, volume, position, length, end of stream
//  [X] The position of what is being heard now, never going backwards
//  [X] A silent clock when no output device can be opened (one warning)
//  [X] A manual clock for tests and the capture tool (nothing plays)
//  [X] Blank streams of a given length (a clock without a file)
//  [ ] Formats other than MP3
//
// Byte positions are those of the decoded format: 32-bit float samples at the
// stream's own rate and channel count, so bytes = frames x channels x 4.
//
// The clock behind the positions is chosen before initOutput:
//   Device - an audio device plays the stream; positions follow what is heard.
//   Silent - no device could be opened; the stream "plays" against a monotonic
//            clock (one warning on stderr names the reason).
//   Manual - nothing plays; the caller sets the position (tests, capture).
#include <cstdint>
#include <string>

namespace audio {

using StreamHandle = std::uint32_t;

enum class Clock { Device, Silent, Manual };

// Choose the Manual clock (or go back to the default, Device with Silent as
// its fallback). Takes effect at the next initOutput.
void selectClock(Clock clock);
Clock activeClock();

// The user's own correction for what the output does not report (a TV's
// picture processing, a projector): on the Device clock, positions are this
// many seconds earlier; positive when the sound comes late.
void setOutputOffset(double seconds);

// Asks the device for `rate` (it may choose its own; streams are converted).
// False when the output was already initialised or no device could be opened
// (then the silent clock runs).
bool initOutput(int device, std::uint32_t rate);
bool stopOutput();
bool freeOutput();

// 0 when the file is missing, unreadable, not an MP3 or holds no audio; `why`
// then says which.
StreamHandle createFileStream(const std::string& path, std::string& why);
// A stream of silence of a given length; for tests and tools that need a
// clock of a known length without a file.
StreamHandle createBlankStream(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames);

bool playChannel(StreamHandle stream, bool restart);
bool stopChannel(StreamHandle stream);
bool freeStream(StreamHandle stream);

std::uint64_t secondsToBytes(StreamHandle stream, double seconds);
double bytesToSeconds(StreamHandle stream, std::uint64_t bytes);
bool setPosition(StreamHandle stream, std::uint64_t bytes);
std::uint64_t position(StreamHandle stream);
std::uint64_t length(StreamHandle stream);
bool setVolume(StreamHandle stream, float volume);
// The stream's volume (1 plays it as decoded); 0 for no such stream.
float volume(StreamHandle stream);

// True once a playing stream has reached its end (its position then stays at
// its length).
bool hasEnded(StreamHandle stream);

}  // namespace audio
