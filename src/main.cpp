// The demo's entry: the command line, then the shell. (Built on SDL2 through
// the platform layer; nothing here sees it.)
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scenes/schedule.h"
#include "shell/entry.h"

namespace {

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: tarnwick [--windowed] [--start-row R]\n"
                 "\n"
                 "Plays the Tarnwick demo from the data/ folder in the current directory.\n"
                 "It runs fullscreen at 1280x720 and ends by itself; Escape ends it early.\n"
                 "\n"
                 "  --windowed      run in a 1280x720 window instead of fullscreen\n"
                 "  --start-row R   start the music (and the schedule) at music row R, 0 to %d,\n"
                 "                  to jump to a scene: %d arc bands, %d logo, %d cubes,\n"
                 "                  %d credits, %d greetings, %d wheels (default 0)\n"
                 "  --help          show this text\n",
                 lastDemoRow, sceneFirstRow(arcBandsRange), sceneFirstRow(logoTilesRange),
                 sceneFirstRow(tumblingCubesRange), sceneFirstRow(creditsFieldRange), sceneFirstRow(greetingsRange),
                 sceneFirstRow(closingWheelsRange));
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--windowed") == 0) {
            options.windowed = true;
            continue;
        }
        if (std::strcmp(argv[i], "--start-row") == 0 && i + 1 < argc) {
            const char* text = argv[++i];
            char* end = nullptr;
            errno = 0;
            long row = std::strtol(text, &end, 10);
            if (*text == '\0' || *end != '\0' || errno != 0 || row < 0 || row > lastDemoRow) {
                std::fprintf(stderr, "tarnwick: --start-row needs a music row from 0 to %d, not '%s'\n", lastDemoRow,
                             text);
                return 2;
            }
            options.startRow = static_cast<int>(row);
            continue;
        }
        std::fprintf(stderr, "tarnwick: unknown option '%s'\n", argv[i]);
        printUsage(stderr);
        return 2;
    }
    return runDemo(options);
}
