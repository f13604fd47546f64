// Playback through the PulseAudio server's simple API on a thread of our own:
// the thread asks the server how long what it holds takes to be heard, has
// the backend mix the next chunk knowing that, and writes it (blocking until
// the server has room). The latency is asked again before every chunk, so a
// sink that changes (a headset switched on) moves the clock with it.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sdl/pulseoutput.h"

namespace platform::sdl::pulse {
namespace {

struct Output {
    pa_simple* connection = nullptr;
    Fill fill = nullptr;
    std::uint32_t rate = 48000;
    std::thread thread;
    std::atomic<bool> running{false};
    std::mutex mutex;
};

Output& output() {
    static Output* o = new Output;
    return *o;
}

constexpr std::size_t kChannels = 2;

void play() {
    Output& o = output();
    // 10 ms a chunk: the latency is re-read that often.
    const std::size_t frames = o.rate / 100;
    std::vector<float> buffer(frames * kChannels);
    // Once the server is gone (it ended, or dropped the stream) the music
    // goes on silently at the wall clock's pace, so the run still ends.
    bool lost = false;
    auto due = std::chrono::steady_clock::now();
    while (o.running.load()) {
        int error = 0;
        pa_usec_t latency = lost ? 0 : pa_simple_get_latency(o.connection, &error);
        if (latency == static_cast<pa_usec_t>(-1)) latency = 0;
        {
            std::lock_guard<std::mutex> hold(o.mutex);
            o.fill(buffer.data(), frames, static_cast<double>(latency) / 1e6);
        }
        if (!lost && pa_simple_write(o.connection, buffer.data(), buffer.size() * sizeof(float), &error) < 0) {
            lost = true;
            due = std::chrono::steady_clock::now();
        }
        if (lost) {
            due += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(due);
        }
    }
}

}  // namespace

bool open(std::uint32_t rate, Fill fill, std::string& why) {
    Output& o = output();
    if (o.connection) close();
    pa_sample_spec format{};
    format.format = PA_SAMPLE_FLOAT32NE;
    format.rate = rate;
    format.channels = kChannels;
    // A short target keeps what is queued (and lost on a seek) small; the
    // latency is accounted for whatever its size.
    const std::uint32_t bytesPerMs = rate * kChannels * sizeof(float) / 1000;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = 100 * bytesPerMs;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = 10 * bytesPerMs;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    o.connection = pa_simple_new(nullptr, "Tarnwick", PA_STREAM_PLAYBACK, nullptr, "music", &format, nullptr, &attr, &error);
    if (!o.connection) {
        why = std::string("no sound server: ") + pa_strerror(error);
        return false;
    }
    o.fill = fill;
    o.rate = rate;
    o.running = true;
    o.thread = std::thread(play);
    return true;
}

void close() {
    Output& o = output();
    if (!o.connection) return;
    o.running = false;
    if (o.thread.joinable()) o.thread.join();
    pa_simple_free(o.connection);
    o.connection = nullptr;
}

bool isOpen() { return output().connection != nullptr; }

void lock() { output().mutex.lock(); }
void unlock() { output().mutex.unlock(); }

}  // namespace platform::sdl::pulse
