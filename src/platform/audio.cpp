// The audio front end, the same for every backend: stream handles, the clock
// chosen, and every position. The backend (audiobackend.h) decodes, plays,
// and says what is being heard on the Device clock.
#include "platform/audio.h"

#include <algorithm>
#include <cmath>

#include "common/loadstatus.h"
#include "platform/audiobackend.h"
#include "platform/outputclock.h"
#include "platform/streamframes.h"
#include "platform/systemclock.h"

namespace audio {
namespace {

struct State {
    Clock requested = Clock::Device;
    Clock active = Clock::Silent;
    bool outputInitialised = false;
    std::map<StreamHandle, std::unique_ptr<Stream>> streams;
    StreamHandle nextHandle = 1;
    double offsetSeconds = 0;  // the user's own correction, on the Device clock
};

// Never destroyed: the music object releases its stream during process exit,
// after other statics may already be gone, and a backend's audio thread may
// still be running until the device is closed.
State& state() {
    static State* s = new State;
    return *s;
}

Stream* find(StreamHandle h) {
    auto it = state().streams.find(h);
    return it == state().streams.end() ? nullptr : it->second.get();
}

std::uint64_t frameBytes(const Stream& s) { return static_cast<std::uint64_t>(s.channels) * 4; }

// Where the stream is heard now, in frames: never below where it (re)started
// nor below what was reported before, never past its end.
std::uint64_t currentFrame(Stream& s) {
    const State& st = state();
    if (!s.playing || st.active == Clock::Manual) return s.baseFrame;
    std::optional<double> heard;
    if (st.active == Clock::Device) heard = backend::heardFrame(s);
    if (heard) {
        // The backend has taken off the latency its output reports.
        heard = outputclock::heardFrame(*heard, 0.0, st.offsetSeconds, s.rate);
    } else {
        const double seconds = static_cast<double>(platform::systemclock::monotonicNanoseconds() - s.startNs) / 1e9;
        heard = static_cast<double>(s.baseFrame) + std::floor(seconds * s.rate);
    }
    const double p =
        outputclock::reportedFrame(*heard, static_cast<double>(s.baseFrame), s.lastReported, static_cast<double>(s.frames));
    s.lastReported = p;
    return static_cast<std::uint64_t>(p);
}

// Plays the stream from `frame` on. Output lock held.
void startFrom(Stream& s, std::uint64_t frame) {
    s.baseFrame = frame;
    s.startNs = platform::systemclock::monotonicNanoseconds();
    s.lastReported = static_cast<double>(frame);
    backend::startVoice(s, frame);
}

StreamHandle add(std::unique_ptr<Stream> s) {
    State& st = state();
    StreamHandle h = st.nextHandle++;
    OutputLock lock;
    st.streams[h] = std::move(s);
    return h;
}

}  // namespace

std::map<StreamHandle, std::unique_ptr<Stream>>& streams() { return state().streams; }

void fallBackToSilent() {
    State& st = state();
    if (st.active != Clock::Device) return;
    const std::int64_t now = platform::systemclock::monotonicNanoseconds();
    for (auto& entry : st.streams) {
        Stream& s = *entry.second;
        if (!s.playing) continue;
        s.baseFrame = static_cast<std::uint64_t>(std::max(s.lastReported, static_cast<double>(s.baseFrame)));
        s.startNs = now;
    }
    st.active = Clock::Silent;
}

void selectClock(Clock clock) { state().requested = clock; }
void setOutputOffset(double seconds) { state().offsetSeconds = seconds; }
Clock activeClock() { return state().active; }

bool initOutput(int device, std::uint32_t rate) {
    State& st = state();
    if (st.outputInitialised) {
        bool wantManual = st.requested == Clock::Manual;
        if (wantManual == (st.active == Clock::Manual)) return false;  // already initialised
        freeOutput();
    }
    st.outputInitialised = true;
    if (st.requested == Clock::Manual) {
        st.active = Clock::Manual;
        return true;
    }
    if (device == 0) {  // the "no sound" device: streams play against the clock
        st.active = Clock::Silent;
        return true;
    }
    std::string why;
    if (!backend::openOutput(device, rate, why)) {
        loadMessages.push_back("no audio output (" + why + "); playing silently");
        st.active = Clock::Silent;
        return false;
    }
    st.active = Clock::Device;
    return true;
}

bool stopOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    {
        OutputLock lock;
        for (auto& entry : st.streams) {
            Stream& s = *entry.second;
            if (!s.playing) continue;
            s.baseFrame = currentFrame(s);
            s.playing = false;
        }
    }
    backend::pauseOutput();
    return true;
}

bool freeOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    backend::closeOutput();  // the output's thread, if any, has ended: no lock needed
    st.streams.clear();
    st.outputInitialised = false;
    st.active = Clock::Silent;
    return true;
}

StreamHandle createFileStream(const std::string& path, std::string& why) {
    auto s = std::make_unique<Stream>();
    s->voice = backend::openFile(path, *s, why);
    if (!s->voice) return 0;
    return add(std::move(s));
}

StreamHandle createBlankStream(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames) {
    if (rate == 0 || channels == 0) return 0;
    auto s = std::make_unique<Stream>();
    s->rate = rate;
    s->channels = channels;
    s->frames = frames;
    s->voice = backend::blankVoice(*s);
    return add(std::move(s));
}

bool playChannel(StreamHandle h, bool restart) {
    {
        OutputLock lock;
        Stream* s = find(h);
        if (!s) return false;
        if (restart || !s->playing) {
            startFrom(*s, restart ? 0 : s->baseFrame);
            s->playing = true;
        }
    }
    backend::resumeOutput();
    return true;
}

bool stopChannel(StreamHandle h) {
    OutputLock lock;
    Stream* s = find(h);
    if (!s) return false;
    if (s->playing) {
        s->baseFrame = currentFrame(*s);
        s->playing = false;
        backend::stopVoice(*s);
    }
    return true;
}

bool freeStream(StreamHandle h) {
    std::unique_ptr<Stream> doomed;  // freed outside the lock
    {
        OutputLock lock;
        auto it = state().streams.find(h);
        if (it == state().streams.end()) return false;
        backend::stopVoice(*it->second);
        doomed = std::move(it->second);
        state().streams.erase(it);
    }
    return true;
}

std::uint64_t secondsToBytes(StreamHandle h, double seconds) {
    OutputLock lock;
    Stream* s = find(h);
    return s ? frames::bytesAt(seconds, s->rate, frameBytes(*s)) : 0;
}

double bytesToSeconds(StreamHandle h, std::uint64_t bytes) {
    OutputLock lock;
    Stream* s = find(h);
    return s ? frames::secondsAt(bytes, s->rate, frameBytes(*s)) : 0;
}

bool setPosition(StreamHandle h, std::uint64_t bytes) {
    OutputLock lock;
    Stream* s = find(h);
    if (!s) return false;
    std::uint64_t frame = std::min(bytes / frameBytes(*s), s->frames);
    if (s->playing) startFrom(*s, frame);
    else s->baseFrame = frame;
    return true;
}

std::uint64_t position(StreamHandle h) {
    OutputLock lock;
    Stream* s = find(h);
    return s ? currentFrame(*s) * frameBytes(*s) : 0;
}

std::uint64_t length(StreamHandle h) {
    OutputLock lock;
    Stream* s = find(h);
    return s ? s->frames * frameBytes(*s) : 0;
}

bool setVolume(StreamHandle h, float volume) {
    OutputLock lock;
    Stream* s = find(h);
    if (!s || !(volume >= 0.0f)) return false;
    s->volume = volume;
    if (s->playing) backend::voiceVolume(*s);
    return true;
}

float volume(StreamHandle h) {
    OutputLock lock;
    Stream* s = find(h);
    return s ? s->volume : 0.0f;
}

bool hasEnded(StreamHandle h) {
    OutputLock lock;
    Stream* s = find(h);
    return s && s->playing && currentFrame(*s) >= s->frames;
}

}  // namespace audio
