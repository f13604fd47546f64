#include <cstdio>
#include <cstring>

#include "shell/entry.h"

namespace {

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: tarnwick [--windowed]\n"
                 "\n"
                 "Plays the Tarnwick demo from the data/ folder in the current directory.\n"
                 "It runs fullscreen at 1280x720 and ends by itself; Escape ends it early.\n"
                 "\n"
                 "  --windowed   run in a 1280x720 window instead of fullscreen\n"
                 "  --help       show this text\n");
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
        std::fprintf(stderr, "tarnwick: unknown option '%s'\n", argv[i]);
        printUsage(stderr);
        return 2;
    }
    return runDemo(options);
}
