#pragma once
// Audio output and music streams.
//
// Stands in for the closed audio library the demo was first written against.
// One function per library call that the demo makes, with the same arguments
// and results:
//
//   library call                      here                 implemented
//   Init(device, rate, ...)           initOutput           opens an SDL audio device (-1 the default, n the
//                                                          n-th, 0 none), or falls back to the silent clock
//   Stop / Free                       stopOutput/freeOutput stops all streams / closes the device, frees streams
//   StreamCreateFile(float|prescan)   createFileStream     MP3 through libmpg123: scanned at open (exact
//                                                          gapless length, exact seeks), decoded while playing
//   ChannelPlay(restart)              playChannel          yes
//   ChannelStop / StreamFree          stopChannel/freeStream yes
//   ChannelSeconds2Bytes              secondsToBytes       rounds down to a whole sample frame
//   ChannelBytes2Seconds              bytesToSeconds       yes
//   ChannelSetPosition(byte)          setPosition          yes
//   ChannelGetPosition(byte)          position             what is being heard now
//   ChannelGetLength(byte)            length               yes
//   ChannelSetAttribute(volume)       setVolume            yes
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

// True once a playing stream has reached its end (its position then stays at
// its length).
bool hasEnded(StreamHandle stream);

}  // namespace audio
