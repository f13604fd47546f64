// The browser's audio backend: the page's Web Audio context plays the
// buffers the browser decoded.
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
//
// A browser without a sound device (or with its sound busy or off) keeps
// the audio context suspended, and its clock never moves. Each run decides
// once: when the context runs within silentAfterMs of the output being
// opened, the run plays with sound; when it does not, the run goes on
// silently on the Silent clock from where it stands (the page is told, and
// shows a note), and stays silent even if the context starts later.
#include <emscripten.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/audiobackend.h"

// ---- the JavaScript side ----

// The page's audio context, made at the click that starts the run (browsers
// start sound only after a gesture); one is made here if the page has none.
// Returns an empty string when sound can play, the reason otherwise.
EM_JS(char*, tw_audio_open, (), {
    var reason = "";
    try {
        var a = Module.tarnwickAudio = Module.tarnwickAudio || {};
        a.openedAt = performance.now();
        a.decision = "";
        if (!a.context) a.context = new AudioContext();
        if (a.context.state === "suspended") a.context.resume().catch(function() {});
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

// The run's one decision: 1 when the context runs (sound), 0 when it has not
// started within `waitMs` of the output being opened (silent: the page's
// onSilentRun shows the note), 2 while it is still to be made.
EM_JS(int, tw_audio_decide, (double waitMs), {
    var a = Module.tarnwickAudio;
    if (!a || !a.context) return 0;
    if (!a.decision) {
        if (a.context.state === "running") {
            a.decision = "sound";
        } else if (performance.now() - a.openedAt >= waitMs) {
            a.decision = "silent";
            if (Module.onSilentRun) Module.onSilentRun();
        }
    }
    return a.decision === "sound" ? 1 : a.decision === "silent" ? 0 : 2;
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

namespace backend {

// A stream of a decoded sound: the sound it plays, and its voice on the
// JavaScript side.
struct Voice {
    std::string sound;
    int id = 0;
    double heard = -1;  // the frame last heard through the context (-1: none yet)
};

void freeVoice(Voice* voice) { delete voice; }

}  // namespace backend

namespace {

// How long a run waits for the audio context to start before it plays
// without sound.
constexpr double silentAfterMs = 1000;

// The backend's state: the voices are numbered as they are made.
struct State {
    int nextVoiceId = 1;
};

State& state() {
    static State s;
    return s;
}

// Whether the stream sounds: on the Device clock, with a sound of its own.
bool sounds(const Stream& s) { return activeClock() == Clock::Device && s.voice; }

std::string takeString(char* text) {
    std::string s = text ? text : "";
    std::free(text);
    return s;
}

}  // namespace

namespace backend {

bool openOutput(int, std::uint32_t, std::string& why) {
    why = takeString(tw_audio_open());
    return why.empty();
}

void pauseOutput() { tw_audio_close(); }
void resumeOutput() {}
void closeOutput() { tw_audio_close(); }

// Everything runs on the page's one thread.
std::uint32_t lockOutput() { return 0; }
void unlockOutput(std::uint32_t) {}

VoicePtr openFile(const std::string& path, Stream& stream, std::string& why) {
    // The page keeps the sounds by their absolute path in the file system.
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) {
        why = errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
        return nullptr;
    }
    VoicePtr v(new Voice);
    v->sound = resolved;
    std::free(resolved);
    double rate = 0, frames = 0;
    int channels = 0;
    if (!tw_sound_info(v->sound.c_str(), &rate, &channels, &frames)) {
        why = takeString(tw_sound_error(v->sound.c_str()));
        if (why.empty()) why = "not an MP3 stream";
        return nullptr;
    }
    if (!(frames > 0) || !(rate > 0) || channels <= 0) {
        why = "no audio frames";
        return nullptr;
    }
    stream.rate = static_cast<std::uint32_t>(rate);
    stream.channels = static_cast<std::uint32_t>(channels);
    stream.frames = static_cast<std::uint64_t>(frames);
    v->id = state().nextVoiceId++;
    return v;
}

// A blank stream sounds nothing: it follows the monotonic clock.
VoicePtr blankVoice(const Stream&) { return nullptr; }

void startVoice(Stream& s, std::uint64_t frame) {
    if (!sounds(s)) return;
    s.voice->heard = -1;
    tw_voice_start(s.voice->id, s.voice->sound.c_str(), static_cast<double>(frame) / s.rate, s.volume);
}

void stopVoice(Stream& s) {
    if (sounds(s)) tw_voice_stop(s.voice->id);
}

void voiceVolume(Stream& s) {
    if (sounds(s)) tw_voice_volume(s.voice->id, s.volume);
}

std::optional<double> heardFrame(Stream& s) {
    if (!sounds(s)) return std::nullopt;
    switch (tw_audio_decide(silentAfterMs)) {
        case 0:
            // Nothing may sound later out of step with the picture.
            tw_audio_close();
            fallBackToSilent();
            return std::nullopt;
        case 2:
            // The context's clock has not started: nothing is heard yet.
            return s.voice->heard >= 0 ? s.voice->heard : static_cast<double>(s.baseFrame);
        default:
            break;
    }
    const double seconds = tw_voice_heard(s.voice->id);
    // A voice that has gone stays where it was last heard.
    if (seconds >= 0) s.voice->heard = static_cast<double>(s.baseFrame) + std::floor(seconds * s.rate);
    return s.voice->heard >= 0 ? s.voice->heard : static_cast<double>(s.baseFrame);
}

}  // namespace backend

}  // namespace audio
