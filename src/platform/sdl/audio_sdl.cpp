// Streams and clocks.
//
// Opening a stream scans the whole MP3 with libmpg123 (frame headers only, no
// decoding), which gives the exact gapless length and a seek index; decoding
// happens while the stream plays, in the device callback, a buffer at a time.
// That keeps opening fast and memory small whatever the length of the music.
//
// All stream state is shared with the SDL audio thread and guarded by the
// device lock (the lock SDL holds while it runs the callback). Nothing here
// calls into SDL's device functions while holding that lock.
#include "platform/audio.h"

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
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "common/loadstatus.h"
#include "platform/streamframes.h"

namespace audio {
namespace {

using SteadyClock = std::chrono::steady_clock;

double secondsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

struct Stream {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 2;
    std::uint64_t frames = 0;
    float volume = 1.0f;
    bool playing = false;

    // Where the stream stands while stopped; while playing, the frame that
    // playback (re)started from at baseTime. The heard position never goes
    // below it.
    std::uint64_t baseFrame = 0;
    SteadyClock::time_point baseTime{};

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
    double lastReported = 0;

    ~Stream() {
        if (converter) SDL_FreeAudioStream(converter);
        if (decoder) mpg123_delete(decoder);
        if (file) std::fclose(file);
        else if (fd >= 0) ::close(fd);
    }
};

struct State {
    Clock requested = Clock::Device;
    Clock active = Clock::Silent;
    bool outputInitialised = false;
    bool sdlAudioStarted = false;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec format{};
    bool devicePaused = false;

    // SDL's dummy driver: paced by the wall clock (see fillAudio).
    bool paceToWallClock = false;
    bool pacingStarted = false;
    SteadyClock::time_point pacingOrigin{};
    std::uint64_t pacedFrames = 0;

    std::map<StreamHandle, std::unique_ptr<Stream>> streams;
    StreamHandle nextHandle = 1;

    std::vector<float> mixBuffer;     // all playing streams, in the device format
    std::vector<float> streamBuffer;  // one stream's audio in the device format
    std::vector<float> decodeBuffer;  // decoded audio in the stream's format
};

// Never destroyed: the music object releases its stream during process exit,
// after other statics may already be gone, and the audio thread may still be
// running until the device is closed.
State& state() {
    static State* s = new State;
    return *s;
}

// Holds the device lock, so the audio thread is not inside the callback.
class DeviceLock {
public:
    DeviceLock() : device_(state().device) {
        if (device_) SDL_LockAudioDevice(device_);
    }
    ~DeviceLock() {
        if (device_) SDL_UnlockAudioDevice(device_);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID device_;
};

Stream* find(StreamHandle h) {
    auto it = state().streams.find(h);
    return it == state().streams.end() ? nullptr : it->second.get();
}

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
    if (!s.decoder) return 0;
    std::uint64_t left = s.frames > s.decodedFrames ? s.frames - s.decodedFrames : 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    std::size_t got = 0;
    while (got < count) {
        std::size_t bytes = 0;
        int r = mpg123_read(s.decoder, reinterpret_cast<unsigned char*>(out + got * s.channels),
                            (count - got) * frameBytes(s), &bytes);
        got += bytes / frameBytes(s);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK || bytes == 0) break;
    }
    s.decodedFrames += got;
    return got;
}

// Fills `out` with `count` device frames of the stream's audio, silence past
// its end.
void pullDeviceFrames(State& st, Stream& s, float* out, std::size_t count) {
    const std::size_t deviceChannels = st.format.channels;
    std::size_t filled = 0;
    if (!s.converter) {
        if (s.rate == static_cast<std::uint32_t>(st.format.freq) && s.channels == deviceChannels) filled = decode(s, out, count);
    } else {
        const int want = static_cast<int>(count * deviceChannels * sizeof(float));
        const std::size_t chunk = 2048;
        st.decodeBuffer.resize(chunk * s.channels);
        while (SDL_AudioStreamAvailable(s.converter) < want && !s.converterFlushed) {
            std::size_t got = decode(s, st.decodeBuffer.data(), chunk);
            if (got > 0) {
                SDL_AudioStreamPut(s.converter, st.decodeBuffer.data(),
                                   static_cast<int>(got * s.channels * sizeof(float)));
            } else {
                SDL_AudioStreamFlush(s.converter);
                s.converterFlushed = true;
            }
        }
        int got = SDL_AudioStreamGet(s.converter, out, want);
        filled = got > 0 ? static_cast<std::size_t>(got) / (deviceChannels * sizeof(float)) : 0;
    }
    std::fill(out + filled * deviceChannels, out + count * deviceChannels, 0.0f);
}

// Puts the decoder at `frame` and forgets everything buffered for the old
// position. Device lock held.
void reposition(State& st, Stream& s, std::uint64_t frame) {
    s.baseFrame = frame;
    s.baseTime = SteadyClock::now();
    s.cursor = static_cast<double>(frame);
    s.modelValid = false;
    s.lastReported = static_cast<double>(frame);
    if (s.decoder && st.device) {
        off_t at = mpg123_seek(s.decoder, static_cast<off_t>(frame), SEEK_SET);
        s.decodedFrames = at >= 0 ? static_cast<std::uint64_t>(at) : s.frames;
    }
    if (st.device && !s.converter && s.decoder &&
        (s.rate != static_cast<std::uint32_t>(st.format.freq) || s.channels != st.format.channels)) {
        // Without a converter the stream plays as silence; its clock still runs.
        s.converter = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(s.channels), static_cast<int>(s.rate),
                                         AUDIO_F32SYS, st.format.channels, st.format.freq);
        if (!s.converter) {
            mpg123_delete(s.decoder);
            s.decoder = nullptr;
        }
    }
    if (s.converter) SDL_AudioStreamClear(s.converter);
    s.converterFlushed = false;
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
    if (s.modelValid) {
        double predicted = s.modelFrame + secondsBetween(s.modelTime, now) * s.modelSlope;
        double error = heard - predicted;
        if (std::fabs(error) <= 0.1 * rate) {
            const double horizon = 0.5;  // seconds to work off an error
            double correction = std::clamp(error / (rate * horizon), -0.05, 0.05);
            s.modelFrame = predicted;
            s.modelSlope = rate * (1.0 + correction);
            s.modelTime = now;
            return;
        }
    }
    s.modelValid = true;
    s.modelFrame = heard;
    s.modelSlope = rate;
    s.modelTime = now;
}

void SDLCALL fillAudio(void*, Uint8* bytes, int length) {
    State& st = state();
    const auto now = SteadyClock::now();
    const std::size_t deviceChannels = st.format.channels;
    const std::size_t bufferFrames = static_cast<std::size_t>(length) / (deviceChannels * sizeof(float));
    // SDL's dummy driver calls back at an irregular pace (whole-millisecond
    // sleeps plus whatever the scheduler adds) and discards the buffer. It
    // stands in for a sound card in headless runs, so it plays what a card
    // would have played in the time since the last callback.
    const std::size_t count = st.paceToWallClock ? wallClockFrames(st, bufferFrames, now) : bufferFrames;

    st.mixBuffer.assign(count * deviceChannels, 0.0f);
    st.streamBuffer.resize(count * deviceChannels);
    for (auto& entry : st.streams) {
        Stream& s = *entry.second;
        if (!s.playing) continue;
        const double ratio = streamFramesPerDeviceFrame(st, s);
        // The device holds about one buffer ahead of what is heard.
        double heard = s.cursor - static_cast<double>(st.format.samples) * ratio;
        steerClock(s, heard, now);
        if (s.cursor >= static_cast<double>(s.frames) || count == 0) continue;

        pullDeviceFrames(st, s, st.streamBuffer.data(), count);
        const float volume = s.volume;
        for (std::size_t i = 0; i < count * deviceChannels; ++i) st.mixBuffer[i] += st.streamBuffer[i] * volume;
        s.cursor = std::min(s.cursor + static_cast<double>(count) * ratio, static_cast<double>(s.frames));
    }
    float* out = reinterpret_cast<float*>(bytes);
    const std::size_t copied = std::min(count, bufferFrames) * deviceChannels;
    std::copy(st.mixBuffer.begin(), st.mixBuffer.begin() + static_cast<std::ptrdiff_t>(copied), out);
    std::fill(out + copied, out + bufferFrames * deviceChannels, 0.0f);
}

// ---- positions ----

std::uint64_t devicePosition(Stream& s) {
    const double floor = static_cast<double>(s.baseFrame);
    double p = floor;
    if (s.modelValid) p = s.modelFrame + secondsBetween(s.modelTime, SteadyClock::now()) * s.modelSlope;
    p = std::min(p, std::min(s.cursor, static_cast<double>(s.frames)));
    p = std::max(p, floor);
    p = std::max(p, s.lastReported);
    s.lastReported = p;
    return static_cast<std::uint64_t>(p);
}

std::uint64_t currentFrame(Stream& s) {
    const State& st = state();
    if (!s.playing || st.active == Clock::Manual) return s.baseFrame;
    if (st.active == Clock::Device && st.device) return devicePosition(s);
    double seconds = secondsBetween(s.baseTime, SteadyClock::now());
    double frame = static_cast<double>(s.baseFrame) + std::floor(seconds * s.rate);
    return frame < static_cast<double>(s.frames) ? static_cast<std::uint64_t>(frame) : s.frames;
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

std::string openFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return "no such file";
        case EACCES:
        case EPERM: return "permission denied";
        default: return std::strerror(error);
    }
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

void selectClock(Clock clock) { state().requested = clock; }
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

    std::string reason;
    std::optional<QuietStderr> quiet(std::in_place);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
    } else {
        st.sdlAudioStarted = true;
        const char* driver = SDL_GetCurrentAudioDriver();
        st.paceToWallClock = driver && std::strcmp(driver, "dummy") == 0;
        const char* name = nullptr;
        if (device > 0) {
            name = SDL_GetAudioDeviceName(device - 1, 0);
            if (!name) reason = "no output device " + std::to_string(device);
        }
        if (reason.empty()) {
            SDL_AudioSpec want{};
            want.freq = rate > 0 ? static_cast<int>(rate) : 48000;
            want.format = AUDIO_F32SYS;
            want.channels = 2;
            want.samples = 1024;
            want.callback = fillAudio;
            st.device = SDL_OpenAudioDevice(name, 0, &want, &st.format, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
            if (!st.device) reason = SDL_GetError();
            if (!st.device && reason.empty()) reason = "the device could not be opened";
        }
    }
    quiet.reset();
    if (!reason.empty() || !st.device) {
        if (reason.empty()) reason = "the device could not be opened";
        loadMessages.push_back("no audio output (" + reason + "); playing silently");
        freeOutputDevice(st);
        st.active = Clock::Silent;
        return false;
    }
    st.active = Clock::Device;
    st.devicePaused = false;
    SDL_PauseAudioDevice(st.device, 0);
    return true;
}

bool stopOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    if (st.device) {
        SDL_PauseAudioDevice(st.device, 1);
        st.devicePaused = true;
    }
    DeviceLock lock;
    for (auto& entry : st.streams) {
        Stream& s = *entry.second;
        if (!s.playing) continue;
        s.baseFrame = currentFrame(s);
        s.playing = false;
    }
    return true;
}

bool freeOutput() {
    State& st = state();
    if (!st.outputInitialised) return false;
    freeOutputDevice(st);  // joins the audio thread: no lock needed below
    st.streams.clear();
    st.outputInitialised = false;
    st.active = Clock::Silent;
    return true;
}

StreamHandle createFileStream(const std::string& path, std::string& why) {
    State& st = state();
    auto s = std::make_unique<Stream>();

    // Non-blocking, so that a FIFO or device node cannot hang the open.
    s->fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (s->fd < 0) {
        why = openFailure(errno);
        return 0;
    }
    struct stat info {};
    if (fstat(s->fd, &info) != 0) {
        why = openFailure(errno);
        return 0;
    }
    if (S_ISDIR(info.st_mode)) {
        why = "is a directory";
        return 0;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        return 0;
    }
    if (info.st_size == 0) {
        why = "empty file";
        return 0;
    }
    fcntl(s->fd, F_SETFL, fcntl(s->fd, F_GETFL) & ~O_NONBLOCK);
    s->file = fdopen(s->fd, "rb");
    if (!s->file) {
        why = openFailure(errno);
        return 0;
    }
    std::setvbuf(s->file, nullptr, _IOFBF, 1 << 16);

    int err = MPG123_OK;
    s->decoder = mpg123_new(nullptr, &err);
    if (!s->decoder) {
        why = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err);
        return 0;
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
        return 0;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        // A tag but no frame after it is an MP3 without audio.
        why = (mpg123_meta_check(mh) & (MPG123_ID3 | MPG123_NEW_ID3)) ? "no audio frames" : "not an MP3 stream";
        return 0;
    }
    if (rate <= 0 || (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32) {
        why = "unsupported MP3 format";
        return 0;
    }
    // Keep this format for the whole file, converting any later frames of
    // another channel count to it.
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_scan(mh) != MPG123_OK) {
        why = std::string("cannot scan: ") + mpg123_strerror(mh);
        return 0;
    }
    off_t frames = mpg123_length(mh);
    if (frames <= 0) {
        why = "no audio frames";
        return 0;
    }
    if (mpg123_seek(mh, 0, SEEK_SET) < 0) {
        why = std::string("cannot seek: ") + mpg123_strerror(mh);
        return 0;
    }
    s->rate = static_cast<std::uint32_t>(rate);
    s->channels = static_cast<std::uint32_t>(channels);
    s->frames = static_cast<std::uint64_t>(frames);
    StreamHandle h = st.nextHandle++;
    DeviceLock lock;
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
    DeviceLock lock;
    st.streams[h] = std::move(s);
    return h;
}

bool playChannel(StreamHandle h, bool restart) {
    State& st = state();
    {
        DeviceLock lock;
        Stream* s = find(h);
        if (!s) return false;
        if (restart || !s->playing) {
            std::uint64_t from = restart ? 0 : s->baseFrame;
            reposition(st, *s, from);
            s->playing = true;
        }
    }
    if (st.device && st.devicePaused) {
        SDL_PauseAudioDevice(st.device, 0);
        st.devicePaused = false;
    }
    return true;
}

bool stopChannel(StreamHandle h) {
    DeviceLock lock;
    Stream* s = find(h);
    if (!s) return false;
    if (s->playing) {
        s->baseFrame = currentFrame(*s);
        s->playing = false;
    }
    return true;
}

bool freeStream(StreamHandle h) {
    std::unique_ptr<Stream> doomed;
    {
        DeviceLock lock;
        auto it = state().streams.find(h);
        if (it == state().streams.end()) return false;
        doomed = std::move(it->second);
        state().streams.erase(it);
    }
    return true;
}

std::uint64_t secondsToBytes(StreamHandle h, double seconds) {
    DeviceLock lock;
    Stream* s = find(h);
    return s ? frames::bytesAt(seconds, s->rate, frameBytes(*s)) : 0;
}

double bytesToSeconds(StreamHandle h, std::uint64_t bytes) {
    DeviceLock lock;
    Stream* s = find(h);
    return s ? frames::secondsAt(bytes, s->rate, frameBytes(*s)) : 0;
}

bool setPosition(StreamHandle h, std::uint64_t bytes) {
    State& st = state();
    DeviceLock lock;
    Stream* s = find(h);
    if (!s) return false;
    std::uint64_t frame = std::min(bytes / frameBytes(*s), s->frames);
    if (s->playing) reposition(st, *s, frame);
    else s->baseFrame = frame;
    return true;
}

std::uint64_t position(StreamHandle h) {
    DeviceLock lock;
    Stream* s = find(h);
    return s ? currentFrame(*s) * frameBytes(*s) : 0;
}

std::uint64_t length(StreamHandle h) {
    DeviceLock lock;
    Stream* s = find(h);
    return s ? s->frames * frameBytes(*s) : 0;
}

bool setVolume(StreamHandle h, float volume) {
    DeviceLock lock;
    Stream* s = find(h);
    if (!s || !(volume >= 0.0f)) return false;
    s->volume = volume;
    return true;
}

bool hasEnded(StreamHandle h) {
    DeviceLock lock;
    Stream* s = find(h);
    return s && s->playing && currentFrame(*s) >= s->frames;
}


}  // namespace audio
