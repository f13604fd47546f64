// Streams and clocks. File decoding and device output are added on top of
// this table of streams.
#include "platform/audio.h"

#include <SDL.h>

#include <map>

namespace audio {
namespace {

struct Stream {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 2;
    std::uint64_t frames = 0;
    std::uint64_t positionFrames = 0;
    bool playing = false;
    std::uint64_t playStartCounter = 0;   // silent clock: when positionFrames was last set while playing
};

struct State {
    Clock requested = Clock::Device;
    Clock active = Clock::Silent;
    std::map<StreamHandle, Stream> streams;
    StreamHandle nextHandle = 1;
    std::string lastError;
};

// Never destroyed: the music object releases its stream during process exit,
// after other statics may already be gone.
State& state() {
    static State* s = new State;
    return *s;
}

Stream* find(StreamHandle h) {
    auto it = state().streams.find(h);
    return it == state().streams.end() ? nullptr : &it->second;
}

std::uint64_t frameBytes(const Stream& s) { return static_cast<std::uint64_t>(s.channels) * 4; }

std::uint64_t currentFrame(const Stream& s) {
    if (!s.playing || state().active == Clock::Manual) return s.positionFrames;
    double seconds = static_cast<double>(SDL_GetPerformanceCounter() - s.playStartCounter) /
                     static_cast<double>(SDL_GetPerformanceFrequency());
    std::uint64_t frame = s.positionFrames + static_cast<std::uint64_t>(seconds * s.rate);
    return frame < s.frames ? frame : s.frames;
}

}  // namespace

void selectClock(Clock clock) { state().requested = clock; }
Clock activeClock() { return state().active; }

bool initOutput(int, std::uint32_t) {
    state().active = state().requested == Clock::Manual ? Clock::Manual : Clock::Silent;
    return true;
}
bool stopOutput() { return true; }
bool freeOutput() { return true; }

StreamHandle createFileStream(const std::string& path) {
    state().lastError = "cannot decode " + path;
    return 0;
}

StreamHandle createBlankStream(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames) {
    if (rate == 0 || channels == 0) return 0;
    StreamHandle h = state().nextHandle++;
    Stream& s = state().streams[h];
    s.rate = rate;
    s.channels = channels;
    s.frames = frames;
    return h;
}

bool playChannel(StreamHandle h, bool restart) {
    Stream* s = find(h);
    if (!s) return false;
    if (restart) s->positionFrames = 0;
    s->playing = true;
    s->playStartCounter = SDL_GetPerformanceCounter();
    return true;
}

bool stopChannel(StreamHandle h) {
    Stream* s = find(h);
    if (!s) return false;
    s->positionFrames = currentFrame(*s);
    s->playing = false;
    return true;
}

bool freeStream(StreamHandle h) { return state().streams.erase(h) > 0; }

std::uint64_t secondsToBytes(StreamHandle h, double seconds) {
    Stream* s = find(h);
    if (!s || !(seconds > 0)) return 0;
    return static_cast<std::uint64_t>(seconds * s->rate) * frameBytes(*s);
}

double bytesToSeconds(StreamHandle h, std::uint64_t bytes) {
    Stream* s = find(h);
    if (!s) return 0;
    return static_cast<double>(bytes / frameBytes(*s)) / s->rate;
}

bool setPosition(StreamHandle h, std::uint64_t bytes) {
    Stream* s = find(h);
    if (!s) return false;
    std::uint64_t frame = bytes / frameBytes(*s);
    s->positionFrames = frame < s->frames ? frame : s->frames;
    s->playStartCounter = SDL_GetPerformanceCounter();
    return true;
}

std::uint64_t position(StreamHandle h) {
    Stream* s = find(h);
    return s ? currentFrame(*s) * frameBytes(*s) : 0;
}

std::uint64_t length(StreamHandle h) {
    Stream* s = find(h);
    return s ? s->frames * frameBytes(*s) : 0;
}

bool setVolume(StreamHandle h, float) { return find(h) != nullptr; }

bool hasEnded(StreamHandle h) {
    Stream* s = find(h);
    return s && s->playing && currentFrame(*s) >= s->frames;
}

const std::string& lastError() { return state().lastError; }

}  // namespace audio
