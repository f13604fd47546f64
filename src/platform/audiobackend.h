#pragma once
// What the audio front end (audio.cpp) keeps of each stream, and what each
// backend does for it: sdl/audio_sdl.cpp decodes with libmpg123 and plays
// through an SDL audio device, web/audio_web.cpp plays the browser's decoded
// buffers through Web Audio. Only the platform layer includes this.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio.h"

namespace audio {

namespace backend {
// The backend's own part of a stream (its decoder, its voice, its device
// position), defined by each backend.
struct Voice;
void freeVoice(Voice* voice);
}  // namespace backend

struct VoiceDeleter {
    void operator()(backend::Voice* voice) const { backend::freeVoice(voice); }
};
using VoicePtr = std::unique_ptr<backend::Voice, VoiceDeleter>;

struct Stream {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 2;
    std::uint64_t frames = 0;
    float volume = 1.0f;
    bool playing = false;
    // Where the stream stands while stopped; while playing, the frame that
    // playback (re)started from at startNs (the system's monotonic clock).
    // The position never goes below it, nor below the last one reported.
    std::uint64_t baseFrame = 0;
    std::int64_t startNs = 0;
    double lastReported = 0;
    VoicePtr voice;  // none where the backend plays nothing for the stream
};

// Every open stream by its handle. Guarded by OutputLock where a backend
// plays on a thread of its own.
std::map<StreamHandle, std::unique_ptr<Stream>>& streams();

// For a backend whose output turns out to play nothing after all (a browser
// whose audio context never starts): the rest of the run follows the Silent
// clock, every playing stream going on from where it is heard now, so that
// nothing jumps. Does nothing off the Device clock. Output lock held.
void fallBackToSilent();

namespace backend {

// Opens the output device (-1 the default, n the n-th); false, with the
// system's reason, when none can be opened.
bool openOutput(int device, std::uint32_t rate, std::string& why);
// Stops the sound of every stream (their positions are already taken).
void pauseOutput();
// A stream starts playing: the output must run.
void resumeOutput();
// Closes the device; nothing plays until the next openOutput.
void closeOutput();

// Keeps the output's own thread, if any, out of the streams while held;
// lockOutput's result goes to unlockOutput.
std::uint32_t lockOutput();
void unlockOutput(std::uint32_t token);

// Opens an MP3 file: sets the stream's rate, channels and frames and returns
// its voice; null with the reason when the file gives no audio.
VoicePtr openFile(const std::string& path, Stream& stream, std::string& why);
// The voice of a stream of silence (null when the backend needs none).
VoicePtr blankVoice(const Stream& stream);

// The stream (re)starts playing at `frame` (on the Device clock: its sound).
void startVoice(Stream& stream, std::uint64_t frame);
// It stops playing.
void stopVoice(Stream& stream);
// Its volume changed while it plays.
void voiceVolume(Stream& stream);
// On the Device clock, the frame being heard now; none where the stream has
// no sound of its own (it then follows the monotonic clock). What the output
// itself says, before the front end's offset: a backend that holds a
// position answers what was heard, never the position last reported (which
// includes the offset, and would move on by it at every call).
std::optional<double> heardFrame(Stream& stream);

}  // namespace backend

// Holds lockOutput for its lifetime.
class OutputLock {
public:
    OutputLock() : token_(backend::lockOutput()) {}
    ~OutputLock() { backend::unlockOutput(token_); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

private:
    std::uint32_t token_;
};

}  // namespace audio
