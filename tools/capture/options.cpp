#include "options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "scenes/schedule.h"

const char* const captureUsage =
    "usage: tarnwick-capture [--data DIR] [--size WxH] [--fps N] [--from-row R] [--to-row R]\n"
    "                        (--frames DIR | --video FILE | --shot ROW[,ROW...] --out DIR | --bench [--json])\n"
    "\n"
    "Renders the demo offline, frame by frame at a fixed rate of music time, in an\n"
    "offscreen OpenGL context: no display and no sound card needed. Frame k shows\n"
    "the music at k / fps seconds after row 0, so a capture is the same on every run.\n"
    "Picture and sound are exact by construction: the video's music is the file\n"
    "itself, frame k placed at k / fps seconds, with no output latency to correct\n"
    "(tarnwick's --av-offset has no counterpart here).\n"
    "\n"
    "  --data DIR        the data folder (default: the first holding musik/musik.mp3\n"
    "                    of $TARNWICK_DATA, ./data, the installed share/tarnwick/data\n"
    "                    and data/ beside the program, as for tarnwick)\n"
    "  --size WxH        picture size (default 1280x720)\n"
    "  --fps N           frames per second of music time, 1 to 1000 (default 60)\n"
    "  --from-row R      write (or time) only frames from music row R on (default 0)\n"
    "  --to-row R        ... up to and including row R (default 753, the last row drawn)\n"
    "  --frames DIR      every frame as DIR/frame_NNNNNN.png (N: the frame number)\n"
    "  --video FILE      an H.264 video with the music (AAC), encoded by ffmpeg;\n"
    "                    the size must be even both ways\n"
    "  --shot ROWS --out DIR\n"
    "                    for each row, the first frame at or after it as DIR/row_RRR.png\n"
    "  --bench           draw every frame without writing and print the time per scene\n"
    "  --json            with --bench: one JSON object on stdout instead of the table\n"
    "  --help            show this text\n"
    "\n"
    "Every run starts at frame 0, since the scenes build on every frame before;\n"
    "the rows only choose which frames are written. Rendering always runs to the\n"
    "last frame needed; a --to-row past the end of the music is a failure.\n"
    "\n"
    "Output: one capture at a time writes into a folder or a video (a lock file,\n"
    "removed at the end, marks it); a second one is refused. --frames refuses a\n"
    "folder that already holds frames (frame_*.png) of an earlier run, rather\n"
    "than mixing the two; --shot replaces only the files of its own rows. A video\n"
    "is written beside FILE under a temporary name and renamed onto FILE once\n"
    "ffmpeg has finished: a failed or interrupted run leaves FILE as it was.\n"
    "Frames and shots already written by a failed run are whole files and are\n"
    "kept. Exit status: 0 done, 1 a data or output failure (standard output\n"
    "included) or an interrupt, 2 a usage error.\n";

namespace {

// Plain decimal digits only: strtol alone would also take leading blanks and
// a sign, and the text of a row becomes part of a file name.
bool parseInt(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < low || v > high) return false;
    value = v;
    return true;
}

bool parseRow(const std::string& text, const std::string& option, int& row, std::string& error) {
    long v = 0;
    if (!parseInt(text, 0, lastDemoRow, v)) {
        error = option + " needs a music row from 0 to " + std::to_string(lastDemoRow) + " (the last row drawn), not \"" +
                text + "\"";
        return false;
    }
    row = static_cast<int>(v);
    return true;
}

bool setMode(CaptureOptions& options, CaptureMode mode, std::string& error) {
    if (options.mode != CaptureMode::None && options.mode != mode) {
        error = "give one of --frames, --video, --shot and --bench";
        return false;
    }
    options.mode = mode;
    return true;
}

}  // namespace

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            // An empty --data would silently mean the search, an empty
            // output name no file at all.
            if (out.empty()) {
                error = arg + " needs a value, not an empty one";
                return false;
            }
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (arg == "--data") {
            if (!value(options.dataDir)) return false;
        } else if (arg == "--size") {
            if (!value(v)) return false;
            const std::size_t x = v.find('x');
            long w = 0, h = 0;
            if (x == std::string::npos || !parseInt(v.substr(0, x), 16, 8192, w) ||
                !parseInt(v.substr(x + 1), 16, 8192, h)) {
                error = "--size needs WIDTHxHEIGHT, each from 16 to 8192 pixels, not \"" + v + "\"";
                return false;
            }
            options.settings.width = static_cast<int>(w);
            options.settings.height = static_cast<int>(h);
        } else if (arg == "--fps") {
            long fps = 0;
            if (!value(v)) return false;
            if (!parseInt(v, 1, 1000, fps)) {
                error = "--fps needs a whole number of frames per second from 1 to 1000, not \"" + v + "\"";
                return false;
            }
            options.settings.fps = static_cast<int>(fps);
        } else if (arg == "--from-row" || arg == "--to-row") {
            if (!value(v) || !parseRow(v, arg, arg == "--from-row" ? options.fromRow : options.toRow, error)) {
                return false;
            }
            if (arg == "--to-row") options.toRowGiven = true;
        } else if (arg == "--frames") {
            if (!setMode(options, CaptureMode::Frames, error) || !value(options.framesDir)) return false;
        } else if (arg == "--video") {
            if (!setMode(options, CaptureMode::Video, error) || !value(options.videoFile)) return false;
        } else if (arg == "--shot") {
            if (!setMode(options, CaptureMode::Shots, error) || !value(v)) return false;
            std::size_t begin = 0;
            for (;;) {
                const std::size_t comma = v.find(',', begin);
                const std::string item = v.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
                int row = 0;
                if (!parseRow(item, "--shot", row, error)) return false;
                options.shotRows.push_back(row);
                options.shotText.push_back(item);
                if (comma == std::string::npos) break;
                begin = comma + 1;
            }
        } else if (arg == "--out") {
            if (!value(options.outDir)) return false;
        } else if (arg == "--bench") {
            if (!setMode(options, CaptureMode::Bench, error)) return false;
        } else if (arg == "--json") {
            options.json = true;
        } else {
            error = "unknown option \"" + arg + "\"";
            return false;
        }
    }
    if (options.mode == CaptureMode::None) {
        error = "say what to make: --frames, --video, --shot or --bench";
        return false;
    }
    if (options.mode == CaptureMode::Shots && options.outDir.empty()) {
        error = "--shot needs --out DIR";
        return false;
    }
    if (options.mode != CaptureMode::Shots && !options.outDir.empty()) {
        error = "--out goes with --shot";
        return false;
    }
    if (options.json && options.mode != CaptureMode::Bench) {
        error = "--json goes with --bench";
        return false;
    }
    // H.264 with 4:2:0 colour halves both sides; ffmpeg would refuse an odd
    // one only after every frame had been rendered.
    if (options.mode == CaptureMode::Video && (options.settings.width % 2 || options.settings.height % 2)) {
        error = "--video needs an even width and height (H.264 with 4:2:0 colour), not " +
                std::to_string(options.settings.width) + "x" + std::to_string(options.settings.height);
        return false;
    }
    if (options.fromRow > options.toRow) {
        error = "--from-row " + std::to_string(options.fromRow) + " is after --to-row " + std::to_string(options.toRow);
        return false;
    }
    return true;
}
