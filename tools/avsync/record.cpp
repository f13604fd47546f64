#include "record.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace avsync {
namespace {

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

double monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

}  // namespace

bool record(const std::string& source, long rate, double seconds, const std::string& rawPath,
            const std::string& stampPath, std::string& why) {
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::FILE* raw = std::fopen(rawPath.c_str(), "wb");
    std::FILE* stamps = raw ? std::fopen(stampPath.c_str(), "w") : nullptr;
    if (!raw || !stamps) {
        why = "cannot write " + (raw ? stampPath : rawPath) + ": " + std::strerror(errno);
        if (raw) std::fclose(raw);
        return false;
    }
    pa_sample_spec format{};
    format.format = PA_SAMPLE_FLOAT32NE;
    format.rate = static_cast<std::uint32_t>(rate);
    format.channels = 1;
    // Small fragments: each read's time stamp is then close to its data.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(rate / 200 * sizeof(float));
    int error = 0;
    pa_simple* pa = pa_simple_new(nullptr, "tarnwick-avsync", PA_STREAM_RECORD, source.c_str(), "monitor", &format,
                                  nullptr, &attr, &error);
    if (!pa) {
        why = "cannot record " + source + ": " + pa_strerror(error);
        std::fclose(raw);
        std::fclose(stamps);
        return false;
    }
    const std::size_t chunk = static_cast<std::size_t>(rate / 200);
    std::vector<float> buffer(chunk);
    double total = 0;
    bool ok = true;
    while (!stopRequested && total < seconds * rate) {
        if (pa_simple_read(pa, buffer.data(), chunk * sizeof(float), &error) < 0) {
            why = std::string("recording failed: ") + pa_strerror(error);
            ok = false;
            break;
        }
        const double now = monotonicNs();
        pa_usec_t latency = pa_simple_get_latency(pa, &error);
        if (latency == static_cast<pa_usec_t>(-1)) latency = 0;
        total += static_cast<double>(chunk);
        std::fwrite(buffer.data(), sizeof(float), chunk, raw);
        std::fprintf(stamps, "%.0f %.0f\n", total, now - static_cast<double>(latency) * 1e3);
    }
    pa_simple_free(pa);
    if (std::fclose(raw) != 0 || std::fclose(stamps) != 0) {
        if (ok) why = "cannot finish " + rawPath + ": " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace avsync
