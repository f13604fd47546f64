// tarnwick-avsync: records what a PulseAudio sink plays, and compares it with
// the demo's frame log to say how far the picture is from the sound.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "align.h"
#include "music.h"
#include "record.h"

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: tarnwick-avsync record --music MP3 --source SOURCE --seconds S --out RAW --stamps FILE\n"
                 "       tarnwick-avsync analyse --music MP3 --recording RAW --stamps FILE --frames LOG\n"
                 "                               [--skip S] [--limit MS] [--verbose]\n"
                 "\n"
                 "Measures the demo's sync through a PulseAudio server (tools/avsync/avsync.sh\n"
                 "runs the whole measurement; `make avsync` runs that).\n"
                 "\n"
                 "record   records SOURCE (a sink's monitor, e.g. demo.monitor) as mono float at\n"
                 "         the music's rate into RAW, for S seconds or until SIGINT/SIGTERM;\n"
                 "         STAMPS gets, per read, the frames recorded so far and the monotonic\n"
                 "         time (ns) at which the next one played, from the server's latency.\n"
                 "analyse  decodes MP3, finds in each half-second of the recording the music\n"
                 "         it holds (by its accents, then sample by sample), and for each frame\n"
                 "         in LOG (lines \"SWAP_NS SECONDS\", written by the demo with\n"
                 "         TARNWICK_FRAME_LOG) prints nothing but uses seen - heard: the music\n"
                 "         position the frame showed less the one playing when it was swapped.\n"
                 "         It prints the median, 5th and 95th percentiles in ms (positive: the\n"
                 "         picture is ahead of the sound). --skip leaves out the first S seconds\n"
                 "         of frames (default 1); --limit fails (exit 1) when the median is\n"
                 "         further than MS from 0; --verbose lists the windows matched.\n"
                 "\n"
                 "What it does not see: the display's own lag after the swap, and the sound\n"
                 "card's converter after the sink; the sink's monitor is taken as the sound.\n"
                 "\n"
                 "Exit status: 0 when measured (and within --limit), 1 when it failed or the\n"
                 "median is off, 2 for a usage error.\n");
}

// Reads a file of two numbers a line into records of two doubles (the stamps,
// the frame log); false when it cannot be opened.
template <typename Pair>
bool readPairs(const std::string& path, std::vector<Pair>& out) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    double a = 0, b = 0;
    while (std::fscanf(f, "%lf %lf", &a, &b) == 2) out.push_back({a, b});
    std::fclose(f);
    return true;
}

bool readRaw(const std::string& path, std::vector<float>& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    float buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, sizeof(float), 4096, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "tarnwick-avsync: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "--help" || mode == "-h") {
        printUsage(stdout);
        return 0;
    }
    std::string music, source, out, stamps, recording, frames;
    double seconds = 0, skip = 1, limit = -1;
    bool verbose = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            verbose = true;
            continue;
        }
        if (arg == "--help") {
            printUsage(stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tarnwick-avsync: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        char* end = nullptr;
        auto number = [&](double& target) {
            target = std::strtod(value, &end);
            return *value != '\0' && *end == '\0' && std::isfinite(target) && target >= 0;
        };
        bool ok = true;
        if (arg == "--music") music = value;
        else if (arg == "--source") source = value;
        else if (arg == "--out") out = value;
        else if (arg == "--stamps") stamps = value;
        else if (arg == "--recording") recording = value;
        else if (arg == "--frames") frames = value;
        else if (arg == "--seconds") ok = number(seconds);
        else if (arg == "--skip") ok = number(skip);
        else if (arg == "--limit") ok = number(limit);
        else {
            std::fprintf(stderr, "tarnwick-avsync: unknown option '%s'\n", arg.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "tarnwick-avsync: %s needs a number from 0, not '%s'\n", arg.c_str(), value);
            return 2;
        }
    }
    std::vector<float> mono;
    long rate = 0;
    std::string why;
    if (mode == "record") {
        if (music.empty() || source.empty() || out.empty() || stamps.empty() || seconds <= 0) {
            std::fprintf(stderr, "tarnwick-avsync: record needs --music, --source, --seconds, --out and --stamps\n");
            return 2;
        }
        if (!avsync::decodeMusic(music, mono, rate, why)) return fail(why);
        return avsync::record(source, rate, seconds, out, stamps, why) ? 0 : fail(why);
    }
    if (mode != "analyse") {
        std::fprintf(stderr, "tarnwick-avsync: unknown mode '%s' (record or analyse)\n", mode.c_str());
        return 2;
    }
    if (music.empty() || recording.empty() || stamps.empty() || frames.empty()) {
        std::fprintf(stderr, "tarnwick-avsync: analyse needs --music, --recording, --stamps and --frames\n");
        return 2;
    }
    if (!avsync::decodeMusic(music, mono, rate, why)) return fail(why);
    std::vector<float> rec;
    std::vector<avsync::Stamp> stampList;
    std::vector<avsync::FrameRecord> frameList;
    if (!readRaw(recording, rec)) return fail("cannot read the recording " + recording);
    if (!readPairs(stamps, stampList)) return fail("cannot read the stamps " + stamps);
    if (!readPairs(frames, frameList)) return fail("cannot read the frame log " + frames);
    double a = 0, b = 0;
    if (!avsync::fitClock(stampList, static_cast<double>(rate), a, b)) return fail(stamps + ": fewer than two time stamps");
    // Frames from the first shown position on, past the first `skip` seconds.
    std::vector<avsync::FrameRecord> used;
    for (const auto& f : frameList) {
        if (!frameList.empty() && f.ns >= frameList.front().ns + skip * 1e9) used.push_back(f);
    }
    if (used.empty()) return fail(frames + ": no frames past the first " + std::to_string(skip) + " s");
    // What the demo claims, as a lag of the recording behind the music: the
    // true lag is searched within a second of it.
    std::vector<double> claims;
    for (const auto& f : used) claims.push_back((f.ns - a) / b - f.seconds * rate);
    std::sort(claims.begin(), claims.end());
    const double expected = claims[claims.size() / 2];
    const std::size_t window = static_cast<std::size_t>(rate);
    const auto windows = avsync::alignWindows(rec, mono, expected, static_cast<std::size_t>(rate), window, 0.9);
    if (verbose) {
        for (const auto& w : windows)
            std::printf("window at %.2f s of the recording: music %.1f ms behind, match %.2f\n", w.centre / rate,
                        w.lag / rate * 1000.0, w.score);
    }
    const std::vector<double> offsets = avsync::offsetsMs(used, windows, a, b, rate, window);
    if (verbose) {
        for (std::size_t i = 0; i < offsets.size(); i += 30) std::printf("frame %zu: %+.1f ms\n", i, offsets[i]);
    }
    const avsync::Figures fig = avsync::summarise(offsets);
    if (fig.frames == 0) return fail("no frame fell on music found in the recording (" + std::to_string(windows.size()) +
                                     " windows matched)");
    double first = 1e300, last = -1e300;
    for (const auto& f : used) {
        first = std::min(first, f.seconds);
        last = std::max(last, f.seconds);
    }
    std::printf("seen - heard over %zu frames, %.1f s of music (%zu of the recording's windows matched):\n", fig.frames,
                last - first, windows.size());
    std::printf("  median %+.1f ms, 5th percentile %+.1f ms, 95th percentile %+.1f ms\n", fig.median, fig.p5,
                fig.p95);
    std::printf("  (positive: the picture is ahead of the sound)\n");
    if (limit >= 0 && std::fabs(fig.median) > limit) {
        std::fprintf(stderr, "tarnwick-avsync: the median %+.1f ms is further than %.0f ms from 0\n", fig.median, limit);
        return 1;
    }
    return 0;
}
