// The desktop's audio backend: MP3 through libmpg123, played through the
// PulseAudio server where one answers (it reports how late the sound is
// heard) and through an SDL audio device otherwise, or where SDL_AUDIODRIVER
// names one of SDL's drivers.
//
// Opening a stream scans the whole MP3 with libmpg123 (frame headers only, no
// decoding), which gives the exact gapless length and a seek index; decoding
// happens while the stream plays, in the device callback, a buffer at a time.
// That keeps opening fast and memory small whatever the length of the music.
//
// All stream state is shared with the SDL audio thread and guarded by the
// device lock (the lock SDL holds while it runs the callback, or the
// PulseAudio output's own; OutputLock takes it). Nothing here calls into
// SDL's device functions while holding it.

#include <SDL.h>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/datafile.h"
#include "platform/audiobackend.h"
#include "platform/outputclock.h"
#include "platform/sdl/pulseoutput.h"

namespace audio {
namespace {

using SteadyClock = std::chrono::steady_clock;

double secondsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

namespace backend {

// What a stream needs here: its decoder, and where the device stands in it.
struct Voice {
    // Decoding (none for blank streams, which play silence).
    mpg123_handle* decoder = nullptr;
    int fd = -1;             // until `file` takes it over
    std::FILE* file = nullptr;
    std::uint64_t decodedFrames = 0;       // the decoder's next frame
    SDL_AudioStream* converter = nullptr;  // to the device's rate and channels where they differ
    bool converterFlushed = false;

    // Device clock. `cursor` is the stream frame that the next device buffer
    // starts with. The heard position is a continuous piecewise-linear
    // function of time, re-anchored at every callback and steered towards
    // the position measured from the buffers handed over.
    double cursor = 0;
    bool modelValid = false;
    double modelFrame = 0;
    double modelSlope = 0;  // frames per second
    SteadyClock::time_point modelTime{};

    ~Voice() {
        if (converter) SDL_FreeAudioStream(converter);
        if (decoder) mpg123_delete(decoder);
        if (file) std::fclose(file);
        else if (fd >= 0) ::close(fd);
    }
};

void freeVoice(Voice* voice) { delete voice; }

}  // namespace backend

namespace {

using backend::Voice;

// The backend's state: the device and its format.
struct State {
    bool sdlAudioStarted = false;
    SDL_AudioDeviceID device = 0;
    bool pulse = false;  // playing through the PulseAudio output instead
    SDL_AudioSpec format{};
    bool devicePaused = false;

    // SDL's dummy driver: paced by the wall clock (see fillAudio).
    bool paceToWallClock = false;
    bool pacingStarted = false;
    SteadyClock::time_point pacingOrigin{};
    std::uint64_t pacedFrames = 0;

    std::vector<float> mixBuffer;     // all playing streams, in the device format
    std::vector<float> streamBuffer;  // one stream's audio in the device format
    std::vector<float> decodeBuffer;  // decoded audio in the stream's format
};

// Never destroyed: the audio thread may still be running at process exit,
// until the device is closed.
State& state() {
    static State* s = new State;
    return *s;
}

bool outputOpen(const State& st) { return st.device != 0 || st.pulse; }

std::uint64_t frameBytes(const Stream& s) { return static_cast<std::uint64_t>(s.channels) * 4; }

// Device frames in one stream frame's time is rate ratio device/stream;
// this is the other way round.
double streamFramesPerDeviceFrame(const State& st, const Stream& s) {
    return static_cast<double>(s.rate) / static_cast<double>(st.format.freq);
}

// ---- decoding ----

// Reads up to `count` frames from the decoder; fewer only at the end of the
// stream or on a decoding error (the rest then plays as silence).
std::size_t decode(Stream& s, float* out, std::size_t count) {
    if (!s.voice->decoder) return 0;
    std::uint64_t left = s.frames > s.voice->decodedFrames ? s.frames - s.voice->decodedFrames : 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    std::size_t got = 0;
    while (got < count) {
        std::size_t bytes = 0;
        int r = mpg123_read(s.voice->decoder, reinterpret_cast<unsigned char*>(out + got * s.channels),
                            (count - got) * frameBytes(s), &bytes);
        got += bytes / frameBytes(s);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK || bytes == 0) break;
    }
    s.voice->decodedFrames += got;
    return got;
}

// Fills `out` with `count` device frames of the stream's audio, silence past
// its end.
void pullDeviceFrames(State& st, Stream& s, float* out, std::size_t count) {
    const std::size_t deviceChannels = st.format.channels;
    std::size_t filled = 0;
    if (!s.voice->converter) {
        if (s.rate == static_cast<std::uint32_t>(st.format.freq) && s.channels == deviceChannels) filled = decode(s, out, count);
    } else {
        const int want = static_cast<int>(count * deviceChannels * sizeof(float));
        const std::size_t chunk = 2048;
        st.decodeBuffer.resize(chunk * s.channels);
        while (SDL_AudioStreamAvailable(s.voice->converter) < want && !s.voice->converterFlushed) {
            std::size_t got = decode(s, st.decodeBuffer.data(), chunk);
            if (got > 0) {
                SDL_AudioStreamPut(s.voice->converter, st.decodeBuffer.data(),
                                   static_cast<int>(got * s.channels * sizeof(float)));
            } else {
                SDL_AudioStreamFlush(s.voice->converter);
                s.voice->converterFlushed = true;
            }
        }
        int got = SDL_AudioStreamGet(s.voice->converter, out, want);
        filled = got > 0 ? static_cast<std::size_t>(got) / (deviceChannels * sizeof(float)) : 0;
    }
    std::fill(out + filled * deviceChannels, out + count * deviceChannels, 0.0f);
}

// Puts the decoder at `frame` and forgets everything buffered for the old
// position. Device lock held.
void reposition(State& st, Stream& s, std::uint64_t frame) {
    s.voice->cursor = static_cast<double>(frame);
    s.voice->modelValid = false;
    if (s.voice->decoder && outputOpen(st)) {
        off_t at = mpg123_seek(s.voice->decoder, static_cast<off_t>(frame), SEEK_SET);
        s.voice->decodedFrames = at >= 0 ? static_cast<std::uint64_t>(at) : s.frames;
    }
    if (outputOpen(st) && !s.voice->converter && s.voice->decoder &&
        (s.rate != static_cast<std::uint32_t>(st.format.freq) || s.channels != st.format.channels)) {
        // Without a converter the stream plays as silence; its clock still runs.
        s.voice->converter = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(s.channels), static_cast<int>(s.rate),
                                         AUDIO_F32SYS, st.format.channels, st.format.freq);
        if (!s.voice->converter) {
            mpg123_delete(s.voice->decoder);
            s.voice->decoder = nullptr;
        }
    }
    if (s.voice->converter) SDL_AudioStreamClear(s.voice->converter);
    s.voice->converterFlushed = false;
}

// ---- the device callback ----

// How many frames the dummy driver "plays" in this callback: what a sound
// card would have taken since the last one. After a long stall (the machine
// was busy) the backlog is dropped, as a card would underrun.
std::size_t wallClockFrames(State& st, std::size_t bufferFrames, SteadyClock::time_point now) {
    if (!st.pacingStarted) {
        st.pacingStarted = true;
        st.pacingOrigin = now;
        st.pacedFrames = 0;
        return bufferFrames;
    }
    auto due = static_cast<std::uint64_t>(secondsBetween(st.pacingOrigin, now) * st.format.freq);
    std::uint64_t backlog = due > st.pacedFrames ? due - st.pacedFrames : 0;
    const std::uint64_t most = static_cast<std::uint64_t>(st.format.freq) / 10;  // 100 ms
    if (backlog > most) {
        st.pacedFrames = due > bufferFrames ? due - bufferFrames : 0;
        backlog = bufferFrames;
    }
    st.pacedFrames += backlog;
    return static_cast<std::size_t>(backlog);
}

// The position measured at a callback jumps by a whole buffer, and callbacks
// come with jitter; the heard position follows it with a rate at most 5 %
// off the stream's rate, so it moves smoothly and does not drift from what
// is played. Larger gaps (an underrun, a stall) are taken at once.
void steerClock(Stream& s, double heard, SteadyClock::time_point now) {
    const double rate = s.rate;
    if (s.voice->modelValid) {
        double predicted = s.voice->modelFrame + secondsBetween(s.voice->modelTime, now) * s.voice->modelSlope;
        double error = heard - predicted;
        if (std::fabs(error) <= 0.1 * rate) {
            const double horizon = 0.5;  // seconds to work off an error
            double correction = std::clamp(error / (rate * horizon), -0.05, 0.05);
            s.voice->modelFrame = predicted;
            s.voice->modelSlope = rate * (1.0 + correction);
            s.voice->modelTime = now;
            return;
        }
    }
    s.voice->modelValid = true;
    s.voice->modelFrame = heard;
    s.voice->modelSlope = rate;
    s.voice->modelTime = now;
}

// Mixes the next `bufferFrames` device frames into `out`; the first of them
// is heard `latencySeconds` from now.
void mix(float* out, std::size_t bufferFrames, double latencySeconds) {
    State& st = state();
    const auto now = SteadyClock::now();
    const std::size_t deviceChannels = st.format.channels;
    // SDL's dummy driver calls back at an irregular pace (whole-millisecond
    // sleeps plus whatever the scheduler adds) and discards the buffer. It
    // stands in for a sound card in headless runs, so it plays what a card
    // would have played in the time since the last callback.
    const std::size_t count = st.paceToWallClock ? wallClockFrames(st, bufferFrames, now) : bufferFrames;

    st.mixBuffer.assign(count * deviceChannels, 0.0f);
    st.streamBuffer.resize(count * deviceChannels);
    for (auto& entry : streams()) {
        Stream& s = *entry.second;
        if (!s.playing || !s.voice) continue;
        const double ratio = streamFramesPerDeviceFrame(st, s);
        steerClock(s, outputclock::heardFrame(s.voice->cursor, latencySeconds, 0.0, s.rate), now);
        if (s.voice->cursor >= static_cast<double>(s.frames) || count == 0) continue;

        pullDeviceFrames(st, s, st.streamBuffer.data(), count);
        const float volume = s.volume;
        for (std::size_t i = 0; i < count * deviceChannels; ++i) st.mixBuffer[i] += st.streamBuffer[i] * volume;
        s.voice->cursor = std::min(s.voice->cursor + static_cast<double>(count) * ratio, static_cast<double>(s.frames));
    }
    const std::size_t copied = std::min(count, bufferFrames) * deviceChannels;
    std::copy(st.mixBuffer.begin(), st.mixBuffer.begin() + static_cast<std::ptrdiff_t>(copied), out);
    std::fill(out + copied, out + bufferFrames * deviceChannels, 0.0f);
}

// SDL reports no latency: its device holds about one buffer ahead of what is
// heard, and what lies below it (a sound server, the card) is not counted.
void SDLCALL fillAudio(void*, Uint8* bytes, int length) {
    const State& st = state();
    const std::size_t bufferFrames = static_cast<std::size_t>(length) / (st.format.channels * sizeof(float));
    mix(reinterpret_cast<float*>(bytes), bufferFrames, static_cast<double>(st.format.samples) / st.format.freq);
}

void fillPulse(float* out, std::size_t frames, double latencySeconds) { mix(out, frames, latencySeconds); }

// The PulseAudio output serves the default device unless SDL_AUDIODRIVER
// asks for one of SDL's drivers.
bool openPulse(State& st, int device, std::uint32_t rate) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (device > 0 || (driver && *driver)) return false;
    std::string ignored;  // where no server runs, SDL's drivers are tried next
    const std::uint32_t freq = rate > 0 ? rate : 48000;
    st.format = SDL_AudioSpec{};
    st.format.freq = static_cast<int>(freq);
    st.format.format = AUDIO_F32SYS;
    st.format.channels = 2;
    st.format.samples = static_cast<Uint16>(freq / 100);
    st.pulse = platform::sdl::pulse::open(freq, fillPulse, ignored);
    return st.pulse;
}

// ---- opening files ----

// libmpg123 reads a frame at a time; through a buffered file the scan of a
// long file makes a few hundred system calls instead of tens of thousands.
mpg123_ssize_t readFile(void* file, void* buffer, std::size_t bytes) {
    std::size_t got = std::fread(buffer, 1, bytes, static_cast<std::FILE*>(file));
    return got == 0 && std::ferror(static_cast<std::FILE*>(file)) ? -1 : static_cast<mpg123_ssize_t>(got);
}

off_t seekFile(void* file, off_t offset, int whence) {
    auto* f = static_cast<std::FILE*>(file);
    return fseeko(f, offset, whence) == 0 ? ftello(f) : -1;
}

// Sound libraries below SDL (alsa-lib in particular) print their own
// diagnostics while probing for a device; we report the outcome in one line
// of our own instead.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

void freeOutputDevice(State& st) {
    if (st.pulse) {
        platform::sdl::pulse::close();
        st.pulse = false;
    }
    if (st.device) {
        SDL_CloseAudioDevice(st.device);
        st.device = 0;
    }
    if (st.sdlAudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        st.sdlAudioStarted = false;
    }
    st.paceToWallClock = false;
    st.pacingStarted = false;
}

}  // namespace

namespace backend {

bool openOutput(int device, std::uint32_t rate, std::string& why) {
    State& st = state();
    if (openPulse(st, device, rate)) return true;
    std::optional<QuietStderr> quiet(std::in_place);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
    } else {
        st.sdlAudioStarted = true;
        const char* driver = SDL_GetCurrentAudioDriver();
        st.paceToWallClock = driver && std::strcmp(driver, "dummy") == 0;
        const char* name = nullptr;
        if (device > 0) {
            name = SDL_GetAudioDeviceName(device - 1, 0);
            if (!name) why = "no output device " + std::to_string(device);
        }
        if (why.empty()) {
            SDL_AudioSpec want{};
            want.freq = rate > 0 ? static_cast<int>(rate) : 48000;
            want.format = AUDIO_F32SYS;
            want.channels = 2;
            want.samples = 1024;
            want.callback = fillAudio;
            st.device = SDL_OpenAudioDevice(name, 0, &want, &st.format, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
            if (!st.device) why = SDL_GetError();
        }
    }
    quiet.reset();
    if (!why.empty() || !st.device) {
        if (why.empty()) why = "the device could not be opened";
        freeOutputDevice(st);
        return false;
    }
    st.devicePaused = false;
    SDL_PauseAudioDevice(st.device, 0);
    return true;
}

void pauseOutput() {
    State& st = state();
    if (!st.device) return;
    SDL_PauseAudioDevice(st.device, 1);
    st.devicePaused = true;
}

void resumeOutput() {
    State& st = state();
    if (!st.device || !st.devicePaused) return;
    SDL_PauseAudioDevice(st.device, 0);
    st.devicePaused = false;
}

// Joins the audio thread.
void closeOutput() { freeOutputDevice(state()); }

// The token of the PulseAudio output's lock (SDL's device ids are small).
constexpr std::uint32_t kPulseToken = 0xffffffffu;

std::uint32_t lockOutput() {
    if (state().pulse) {
        platform::sdl::pulse::lock();
        return kPulseToken;
    }
    const SDL_AudioDeviceID device = state().device;
    if (device) SDL_LockAudioDevice(device);
    return device;
}

void unlockOutput(std::uint32_t token) {
    if (token == kPulseToken) platform::sdl::pulse::unlock();
    else if (token) SDL_UnlockAudioDevice(token);
}

VoicePtr openFile(const std::string& path, Stream& stream, std::string& why) {
    VoicePtr s(new Voice);

    // A FIFO or device node is refused without waiting for it.
    s->fd = openDataFile(path, why);
    if (s->fd < 0) return nullptr;
    struct stat info {};
    fstat(s->fd, &info);
    if (info.st_size == 0) {
        why = "empty file";
        return nullptr;
    }
    s->file = fdopen(s->fd, "rb");
    if (!s->file) {
        why = openFailureReason(errno);
        return nullptr;
    }
    std::setvbuf(s->file, nullptr, _IOFBF, 1 << 16);

    int err = MPG123_OK;
    s->decoder = mpg123_new(nullptr, &err);
    if (!s->decoder) {
        why = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err);
        return nullptr;
    }
    mpg123_handle* mh = s->decoder;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0);  // seeks land on the exact frame
    // 32-bit float at the file's own rate and channel count.
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_replace_reader_handle(mh, readFile, seekFile, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, s->file) != MPG123_OK) {
        why = std::string("cannot read: ") + mpg123_strerror(mh);
        return nullptr;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        // A tag but no frame after it is an MP3 without audio.
        why = (mpg123_meta_check(mh) & (MPG123_ID3 | MPG123_NEW_ID3)) ? "no audio frames" : "not an MP3 stream";
        return nullptr;
    }
    if (rate <= 0 || (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32) {
        why = "unsupported MP3 format";
        return nullptr;
    }
    // Keep this format for the whole file, converting any later frames of
    // another channel count to it.
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_scan(mh) != MPG123_OK) {
        why = std::string("cannot scan: ") + mpg123_strerror(mh);
        return nullptr;
    }
    off_t frames = mpg123_length(mh);
    if (frames <= 0) {
        why = "no audio frames";
        return nullptr;
    }
    if (mpg123_seek(mh, 0, SEEK_SET) < 0) {
        why = std::string("cannot seek: ") + mpg123_strerror(mh);
        return nullptr;
    }
    stream.rate = static_cast<std::uint32_t>(rate);
    stream.channels = static_cast<std::uint32_t>(channels);
    stream.frames = static_cast<std::uint64_t>(frames);
    return s;
}

VoicePtr blankVoice(const Stream&) { return VoicePtr(new Voice); }

void startVoice(Stream& s, std::uint64_t frame) { reposition(state(), s, frame); }

// The device callback reads the volume and the playing flag itself.
void stopVoice(Stream&) {}
void voiceVolume(Stream&) {}

std::optional<double> heardFrame(Stream& s) {
    if (!outputOpen(state()) || !s.voice) return std::nullopt;
    const Voice& v = *s.voice;
    double p = static_cast<double>(s.baseFrame);
    if (v.modelValid) p = v.modelFrame + secondsBetween(v.modelTime, SteadyClock::now()) * v.modelSlope;
    return std::min(p, v.cursor);
}

}  // namespace backend

}  // namespace audio
