// Streams and clocks in a browser, through Web Audio.
//
// The page decodes every MP3 of the data set with the browser's own decoder
// before the demo starts (decoding is asynchronous there, opening a stream
// here is not), and keeps the decoded buffers by their path in the file
// system. Chromium's decoder honours the encoder's gapless header, so a
// stream has the same first sample and the same length as libmpg123 gives
// the desktop build.
//
// Positions are frames of the decoded buffer. While a stream plays on the
// Device clock, its position is read from the audio context's output
// timestamp: what is being heard now, not what was last handed to the
// output.
#include <emscripten.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "common/loadstatus.h"
#include "platform/audio.h"
#include "platform/streamframes.h"

// ---- the JavaScript side ----

// The page's audio context, made at the click that starts the run (browsers
// start sound only after a gesture); one is made here if the page has none.
// Returns an empty string when sound can play, the reason otherwise.
EM_JS(char*, tw_audio_open, (), {
    var reason = "";
    try {
        var a = Module.tarnwickAudio = Module.tarnwickAudio || {};
        if (!a.context) a.context = new AudioContext();
        if (a.context.state === "suspended") a.context.resume();
        a.voices = a.voices || {};
    } catch (e) {
        reason = String(e && e.message || e);
    }
    return stringToNewUTF8(reason);
});

EM_JS(void, tw_audio_close, (), {
    var a = Module.tarnwickAudio;
    if (!a || !a.voices) return;
    for (var id in a.voices) {
        try { a.voices[id].source.stop(); } catch (e) {}
    }
    a.voices = {};
});

// The decoded sound of a file: its rate, channels and frames through the
// pointers, and 1; 0 when there is none (the reason is then kept for
// tw_sound_error).
EM_JS(int, tw_sound_info, (const char* path, double* rate, int* channels, double* frames), {
    var sounds = Module.tarnwickSounds || {};
    var sound = sounds[UTF8ToString(path)];
    if (!sound || !sound.buffer) return 0;
    HEAPF64[rate >> 3] = sound.buffer.sampleRate;
    HEAP32[channels >> 2] = sound.buffer.numberOfChannels;
    HEAPF64[frames >> 3] = sound.buffer.length;
    return 1;
});

EM_JS(char*, tw_sound_error, (const char* path), {
    var sounds = Module.tarnwickSounds || {};
    var sound = sounds[UTF8ToString(path)];
    return stringToNewUTF8(sound && sound.error ? sound.error : "");
});

// Starts voice `id` playing the sound of `path` from `fromSeconds` now.
EM_JS(void, tw_voice_start, (int id, const char* path, double fromSeconds, double volume), {
    var a = Module.tarnwickAudio;
    var sound = (Module.tarnwickSounds || {})[UTF8ToString(path)];
    if (!a || !a.context || !sound || !sound.buffer) return;
    if (a.voices[id]) { try { a.voices[id].source.stop(); } catch (e) {} }
    var source = a.context.createBufferSource();
    source.buffer = sound.buffer;
    var gain = a.context.createGain();
    gain.gain.value = volume;
    source.connect(gain).connect(a.context.destination);
    var when = a.context.currentTime;
    source.start(when, Math.min(fromSeconds, sound.buffer.duration));
    a.voices[id] = {source: source, gain: gain, when: when};
});

EM_JS(void, tw_voice_stop, (int id), {
    var a = Module.tarnwickAudio;
    if (!a || !a.voices || !a.voices[id]) return;
    try { a.voices[id].source.stop(); } catch (e) {}
    delete a.voices[id];
});

EM_JS(void, tw_voice_volume, (int id, double volume), {
    var a = Module.tarnwickAudio;
    if (a && a.voices && a.voices[id]) a.voices[id].gain.gain.value = volume;
});

// Seconds of the voice heard so far: the context time now being played out
// of the speakers (its output timestamp, moved on by the time since it was
// taken) less the time the voice started. -1 when it is not playing.
EM_JS(double, tw_voice_heard, (int id), {
    var a = Module.tarnwickAudio;
    if (!a || !a.voices || !a.voices[id]) return -1;
    var context = a.context;
    var now = context.currentTime - (context.baseLatency || 0) - (context.outputLatency || 0);
    if (context.getOutputTimestamp) {
        var stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0 && stamp.performanceTime > 0) {
            now = stamp.contextTime + Math.max(0, performance.now() - stamp.performanceTime) / 1000;
            now = Math.min(now, context.currentTime);
        }
    }
    return Math.max(0, now - a.voices[id].when);
});

namespace audio {
namespace {

struct Stream {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 2;
    std::uint64_t frames = 0;
    float volume = 1.0f;
    bool playing = false;
    std::string sound;  // the decoded sound it plays ("" for a blank stream)
    int voice = 0;      // its voice on the JavaScript side

    // Where the stream stands while stopped; while playing, the frame that
    // playback (re)started from, at startMs on the monotonic clock (Silent)
    // or when its voice started (Device). The position never goes below it.
    std::uint64_t baseFrame = 0;
    double startMs = 0;
    std::uint64_t lastReported = 0;
};

struct State {
    Clock requested = Clock::Device;
    Clock active = Clock::Silent;
    bool outputInitialised = false;
    std::map<StreamHandle, std::unique_ptr<Stream>> streams;
    StreamHandle nextHandle = 1;
};

State& state() {
    static State s;
    return s;
}

Stream* find(StreamHandle h) {
    auto it = state().streams.find(h);
    return it == state().streams.end() ? nullptr : it->second.get();
}

std::uint64_t frameBytes(const Stream& s) { return static_cast<std::uint64_t>(s.channels) * 4; }

bool hasVoice(const Stream& s) { return state().active == Clock::Device && !s.sound.empty(); }

std::uint64_t currentFrame(Stream& s) {
    const State& st = state();
    if (!s.playing || st.active == Clock::Manual) return s.baseFrame;
    double seconds = 0;
    if (hasVoice(s)) {
        seconds = tw_voice_heard(s.voice);
        if (seconds < 0) return s.lastReported;  // the voice has gone: it stays where it was
    } else {
        seconds = (emscripten_get_now() - s.startMs) / 1000.0;
    }
    double frame = static_cast<double>(s.baseFrame) + std::floor(seconds * s.rate);
    std::uint64_t f = frame < static_cast<double>(s.frames) ? static_cast<std::uint64_t>(frame) : s.frames;
    if (f < s.lastReported) f = s.lastReported;
    s.lastReported = f;
    return f;
}

void startFrom(Stream& s, std::uint64_t frame) {
    s.baseFrame = frame;
    s.lastReported = frame;
    s.startMs = emscripten_get_now();
    if (hasVoice(s)) tw_voice_start(s.voice, s.sound.c_str(), static_cast<double>(frame) / s.rate, s.volume);
}

void stopVoice(const Stream& s) {
    if (hasVoice(s)) tw_voice_stop(s.voice);
}

std::string takeString(char* text) {
    std::string s = text ? text : "";
    std::free(text);
    return s;
}

}  // namespace

void selectClock(Clock clock) { state().requested = clock; }
Clock activeClock() { return state().active; }

bool initOutput(int device, std::uint32_t) {
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
    if (device == 0) {
        st.active = Clock::Silent;
        return true;
    }
    const std::string reason = takeString(tw_audio_open());
    if (!reason.empty()) {
        loadMessages.push_back("no audio output (" + reason + "); playing silently");
        st.active = Clock::Silent;
        return false;
    }
    st.active = Clock::Device;
    return true;
}

bool stopOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    for (auto& entry : st.streams) {
        Stream& s = *entry.second;
        if (!s.playing) continue;
        s.baseFrame = currentFrame(s);
        s.playing = false;
    }
    tw_audio_close();
    return true;
}

bool freeOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    tw_audio_close();
    st.streams.clear();
    st.outputInitialised = false;
    st.active = Clock::Silent;
    return true;
}

StreamHandle createFileStream(const std::string& path, std::string& why) {
    State& st = state();
    // The page keeps the sounds by their absolute path in the file system.
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) {
        why = errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
        return 0;
    }
    auto s = std::make_unique<Stream>();
    s->sound = resolved;
    std::free(resolved);
    double rate = 0, frames = 0;
    int channels = 0;
    if (!tw_sound_info(s->sound.c_str(), &rate, &channels, &frames)) {
        why = takeString(tw_sound_error(s->sound.c_str()));
        if (why.empty()) why = "not an MP3 stream";
        return 0;
    }
    if (!(frames > 0) || !(rate > 0) || channels <= 0) {
        why = "no audio frames";
        return 0;
    }
    s->rate = static_cast<std::uint32_t>(rate);
    s->channels = static_cast<std::uint32_t>(channels);
    s->frames = static_cast<std::uint64_t>(frames);
    StreamHandle h = st.nextHandle++;
    s->voice = static_cast<int>(h % INT_MAX);
    st.streams[h] = std::move(s);
    return h;
}

StreamHandle createBlankStream(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames) {
    if (rate == 0 || channels == 0) return 0;
    State& st = state();
    auto s = std::make_unique<Stream>();
    s->rate = rate;
    s->channels = channels;
    s->frames = frames;
    StreamHandle h = st.nextHandle++;
    st.streams[h] = std::move(s);
    return h;
}

bool playChannel(StreamHandle h, bool restart) {
    Stream* s = find(h);
    if (!s) return false;
    if (restart || !s->playing) {
        startFrom(*s, restart ? 0 : s->baseFrame);
        s->playing = true;
    }
    return true;
}

bool stopChannel(StreamHandle h) {
    Stream* s = find(h);
    if (!s) return false;
    if (s->playing) {
        s->baseFrame = currentFrame(*s);
        s->playing = false;
        stopVoice(*s);
    }
    return true;
}

bool freeStream(StreamHandle h) {
    Stream* s = find(h);
    if (!s) return false;
    stopVoice(*s);
    state().streams.erase(h);
    return true;
}

std::uint64_t secondsToBytes(StreamHandle h, double seconds) {
    Stream* s = find(h);
    return s ? frames::bytesAt(seconds, s->rate, frameBytes(*s)) : 0;
}

double bytesToSeconds(StreamHandle h, std::uint64_t bytes) {
    Stream* s = find(h);
    return s ? frames::secondsAt(bytes, s->rate, frameBytes(*s)) : 0;
}

bool setPosition(StreamHandle h, std::uint64_t bytes) {
    Stream* s = find(h);
    if (!s) return false;
    std::uint64_t frame = std::min(bytes / frameBytes(*s), s->frames);
    if (s->playing) startFrom(*s, frame);
    else s->baseFrame = frame;
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

bool setVolume(StreamHandle h, float volume) {
    Stream* s = find(h);
    if (!s || !(volume >= 0.0f)) return false;
    s->volume = volume;
    if (s->playing && hasVoice(*s)) tw_voice_volume(s->voice, volume);
    return true;
}

bool hasEnded(StreamHandle h) {
    Stream* s = find(h);
    return s && s->playing && currentFrame(*s) >= s->frames;
}


}  // namespace audio
