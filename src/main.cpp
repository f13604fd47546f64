// The demo's entry: the command line, then the shell. (Built on SDL2 through
// the platform layer; nothing here sees it.)
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/exitstatus.h"
#include "scenes/schedule.h"
#include "shell/entry.h"

namespace {

constexpr int kMaxAvOffsetMs = 5000;

// Where each scene after the first starts, wrapped under the options' texts:
// "to jump to a scene: 64 arc bands, 192 logo tiles, ...".
std::string sceneStartRows() {
    const std::string indent(24, ' ');
    std::string text = indent + "to jump to a scene:";
    std::size_t lineStart = 0;
    for (int i = 1; i < sceneCount; ++i) {
        const std::string item =
            std::to_string(scenes[i].firstRow) + " " + scenes[i].name + (i + 1 < sceneCount ? "," : " (default 0)");
        if (text.size() - lineStart + 1 + item.size() > 80) {
            text += "\n";
            lineStart = text.size();
            text += indent + item;
        } else {
            text += " " + item;
        }
    }
    return text + "\n";
}

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: tarnwick [--windowed | --desktop-fullscreen] [--display N] [--start-row R] [--data DIR]\n"
                 "                [--av-offset MS]\n"
                 "\n"
                 "Plays the Tarnwick demo. It runs fullscreen at 1280x720 and ends by itself;\n"
                 "Escape ends it early. Where the display has no 1280x720 mode it asks whether\n"
                 "to run in a window instead.\n"
                 "\n"
                 "  --windowed            run in a 1280x720 window instead of fullscreen\n"
                 "  --desktop-fullscreen  fullscreen at the display's own resolution, without\n"
                 "                        changing its mode: the picture keeps its 16:9 shape\n"
                 "                        with black bars\n"
                 "  --display N           the display to play on, from 0 (the primary, default)\n"
                 "  --start-row R         start the music (and the schedule) at music row R, 0 to %d,\n"
                 "%s"
                 "  --data DIR            the data folder (holding musik/, sync/ and Grafik/)\n"
                 "  --av-offset MS        show the picture MS milliseconds later, -%d to %d:\n"
                 "                        positive when the sound comes late (a TV's picture\n"
                 "                        processing, a projector), negative when it comes\n"
                 "                        early; default $TARNWICK_AV_OFFSET or 0. The latency\n"
                 "                        the sound server reports is accounted for already\n"
                 "  --help                show this text\n"
                 "\n"
                 "Without --data, the data is the first of these folders that holds\n"
                 "musik/musik.mp3: $TARNWICK_DATA, ./data, the installed share/tarnwick/data\n"
                 "beside the program's bin/ folder, and data/ in the program's own folder.\n"
                 "\n"
                 "Sound goes to the PulseAudio server (or PipeWire's) where one runs, and to\n"
                 "the system's sound device otherwise.\n"
                 "\n"
                 "TARNWICK_FRAME_LOG=FILE writes, per frame, the monotonic time of its swap\n"
                 "in nanoseconds and the music position it shows in seconds (for measuring\n"
                 "sync; off by default).\n"
                 "\n"
                 "Exit status: 0 after a normal end (the music's end, Escape, closing the\n"
                 "window, SIGINT, SIGTERM or SIGHUP), 1 when something failed (the message on\n"
                 "stderr says what), 2 for a usage error.\n",
                 lastDemoRow, sceneStartRows().c_str(), kMaxAvOffsetMs, kMaxAvOffsetMs);
}

// Milliseconds from -kMaxAvOffsetMs to kMaxAvOffsetMs, with a sign and a
// fraction allowed.
bool parseOffset(const char* text, double& value) {
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (*end != '\0' || errno != 0 || !(v >= -kMaxAvOffsetMs && v <= kMaxAvOffsetMs)) return false;
    value = v;
    return true;
}

// A whole number from low to high, written as plain digits.
bool parseNumber(const char* text, long low, long high, long& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || v < low || v > high) return false;
    value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    options.program = "tarnwick";
    if (const char* text = std::getenv("TARNWICK_AV_OFFSET"); text && *text) {
        if (!parseOffset(text, options.avOffsetMs)) {
            std::fprintf(stderr, "tarnwick: TARNWICK_AV_OFFSET needs milliseconds from -%d to %d, not '%s'\n",
                         kMaxAvOffsetMs, kMaxAvOffsetMs, text);
            return 2;
        }
    }
    if (const char* path = std::getenv("TARNWICK_FRAME_LOG"); path && *path) options.frameLog = path;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool takesValue = std::strcmp(arg, "--start-row") == 0 || std::strcmp(arg, "--display") == 0 ||
                                std::strcmp(arg, "--data") == 0 || std::strcmp(arg, "--av-offset") == 0;
        if (takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "tarnwick: %s needs a value\n", arg);
            return 2;
        }
        long number = 0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            return exitStatusAfterOutput("tarnwick", 0);
        } else if (std::strcmp(arg, "--windowed") == 0) {
            options.windowed = true;
        } else if (std::strcmp(arg, "--desktop-fullscreen") == 0) {
            options.desktopFullscreen = true;
        } else if (std::strcmp(arg, "--start-row") == 0) {
            const char* text = argv[++i];
            if (!parseNumber(text, 0, lastDemoRow, number)) {
                std::fprintf(stderr, "tarnwick: --start-row needs a music row from 0 to %d, not '%s'\n", lastDemoRow,
                             text);
                return 2;
            }
            options.startRow = static_cast<int>(number);
        } else if (std::strcmp(arg, "--display") == 0) {
            const char* text = argv[++i];
            if (!parseNumber(text, 0, 255, number)) {
                std::fprintf(stderr, "tarnwick: --display needs a display number from 0, not '%s'\n", text);
                return 2;
            }
            options.display = static_cast<int>(number);
        } else if (std::strcmp(arg, "--av-offset") == 0) {
            const char* text = argv[++i];
            if (!parseOffset(text, options.avOffsetMs)) {
                std::fprintf(stderr, "tarnwick: --av-offset needs milliseconds from -%d to %d, not '%s'\n",
                             kMaxAvOffsetMs, kMaxAvOffsetMs, text);
                return 2;
            }
        } else if (std::strcmp(arg, "--data") == 0) {
            options.dataDir = argv[++i];
            if (options.dataDir.empty()) {
                std::fprintf(stderr, "tarnwick: --data needs a folder, not an empty name\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "tarnwick: unknown option '%s'\n", arg);
            printUsage(stderr);
            return 2;
        }
    }
    if (options.windowed && options.desktopFullscreen) {
        std::fprintf(stderr, "tarnwick: give --windowed or --desktop-fullscreen, not both\n");
        return 2;
    }
    return exitStatusAfterOutput("tarnwick", runDemo(options));
}
