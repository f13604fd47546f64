#include "options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "scenes/schedule.h"
#include "segments.h"

const char* const captureUsage =
    "usage: tarnwick-capture [--data DIR] [--size WxH] [--supersample S] [--fps N] [--from-row R] [--to-row R]\n"
    "                        [--segment K/N] (--frames DIR | --video FILE | --video-only FILE)\n"
    "       tarnwick-capture [--data DIR] [--size WxH] [--fps N] [--from-row R] [--to-row R]\n"
    "                        (--shot ROW[,ROW...] --out DIR | --bench [--json])\n"
    "       tarnwick-capture [--data DIR] --join SEGMENT... --video FILE\n"
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
    "  --supersample S   antialiasing: each frame drawn at S times the size (2 to 4)\n"
    "                    and each S x S block averaged into one pixel\n"
    "  --from-row R      write (or time) only frames from music row R on (default 0)\n"
    "  --to-row R        ... up to and including row R (default 753, the last row drawn)\n"
    "  --frames DIR      every frame as DIR/frame_NNNNNN.png (N: the frame number)\n"
    "  --video FILE      an H.264 video with the music (AAC), encoded by ffmpeg;\n"
    "                    the size must be even both ways\n"
    "  --video-only FILE the same video without sound: a segment to --join\n"
    "  --segment K/N     only the K-th (1 to N) of N equal parts of the frames of\n"
    "                    the rows chosen: frame numbers, so the N parts tile the\n"
    "                    frames exactly (their lengths differ by one at most);\n"
    "                    a video records which part it is in its comment tag\n"
    "  --join SEGMENT... --video FILE\n"
    "                    the N segments of one capture (any order) joined into FILE\n"
    "                    without encoding the picture again, with the music of the\n"
    "                    whole range; a segment missing, given twice, cut short or\n"
    "                    of other settings or rows is refused\n"
    "  --shot ROWS --out DIR\n"
    "                    for each row, the first frame at or after it as DIR/row_RRR.png\n"
    "  --bench           draw every frame without writing and print the time per scene\n"
    "  --json            with --bench: one JSON object on stdout instead of the table\n"
    "  --help            show this text\n"
    "\n"
    "Every run starts at frame 0, since the scenes build on every frame before;\n"
    "the rows only choose which frames are written. The frames before the first\n"
    "one written (and between shots) are run through the scenes with drawing\n"
    "switched off, which costs a small part of drawing them. Rendering always\n"
    "runs to the last frame needed; a --to-row past the end of the music is a\n"
    "failure.\n"
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
        error = "give one of --frames, --video, --video-only, --shot, --bench and --join";
        return false;
    }
    options.mode = mode;
    return true;
}

bool parseSize(const std::string& v, CaptureOptions& options, std::string& error) {
    const std::size_t x = v.find('x');
    long w = 0, h = 0;
    if (x == std::string::npos || !parseInt(v.substr(0, x), 16, 8192, w) || !parseInt(v.substr(x + 1), 16, 8192, h)) {
        error = "--size needs WIDTHxHEIGHT, each from 16 to 8192 pixels, not \"" + v + "\"";
        return false;
    }
    options.settingsGiven = true;
    options.settings.width = static_cast<int>(w);
    options.settings.height = static_cast<int>(h);
    return true;
}

// ROW[,ROW...], each kept as written too (for the file names).
bool parseShots(const std::string& v, CaptureOptions& options, std::string& error) {
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = v.find(',', begin);
        const std::string item = v.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        int row = 0;
        if (!parseRow(item, "--shot", row, error)) return false;
        options.shotRows.push_back(row);
        options.shotText.push_back(item);
        if (comma == std::string::npos) return true;
        begin = comma + 1;
    }
}

// --join SEGMENT...: the arguments after argv[i] up to the next option; a
// --video given before it names the joined video.
bool parseJoin(int argc, char** argv, int& i, CaptureOptions& options, std::string& error) {
    if (options.mode == CaptureMode::Video) options.mode = CaptureMode::None;
    if (!setMode(options, CaptureMode::Join, error)) return false;
    while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) options.joinFiles.emplace_back(argv[++i]);
    if (options.joinFiles.empty()) error = "--join needs the segments to join";
    return !options.joinFiles.empty();
}

// The options given together make sense: one mode, and what goes with it.
bool checkCombination(CaptureOptions& options, std::string& error) {
    if (options.mode == CaptureMode::None) {
        error = "say what to make: --frames, --video, --video-only, --shot, --bench or --join";
        return false;
    }
    if (options.mode == CaptureMode::Join && (options.videoFile.empty() || options.settingsGiven || options.segmentN)) {
        error = options.videoFile.empty() ? "--join needs --video FILE, the joined video"
                                          : "--join takes size, rate, rows and segments from the segments themselves";
        return false;
    }
    if (options.segmentN && options.mode != CaptureMode::Frames && options.mode != CaptureMode::Video &&
        options.mode != CaptureMode::VideoOnly) {
        error = "--segment goes with --frames, --video or --video-only";
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
    const bool video = options.mode == CaptureMode::Video || options.mode == CaptureMode::VideoOnly;
    if (video && (options.settings.width % 2 || options.settings.height % 2)) {
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
            if (!parseSize(v, options, error)) return false;
        } else if (arg == "--supersample") {
            long factor = 0;
            if (!value(v)) return false;
            if (!parseInt(v, 1, 4, factor)) {
                error = "--supersample needs a factor from 1 to 4, not \"" + v + "\"";
                return false;
            }
            options.settingsGiven = true;
            options.supersample = static_cast<int>(factor);
        } else if (arg == "--fps") {
            long fps = 0;
            if (!value(v)) return false;
            if (!parseInt(v, 1, 1000, fps)) {
                error = "--fps needs a whole number of frames per second from 1 to 1000, not \"" + v + "\"";
                return false;
            }
            options.settingsGiven = true;
            options.settings.fps = static_cast<int>(fps);
        } else if (arg == "--from-row" || arg == "--to-row") {
            if (!value(v) || !parseRow(v, arg, arg == "--from-row" ? options.fromRow : options.toRow, error)) {
                return false;
            }
            if (arg == "--to-row") options.toRowGiven = true;
            options.settingsGiven = true;
        } else if (arg == "--frames") {
            if (!setMode(options, CaptureMode::Frames, error) || !value(options.framesDir)) return false;
        } else if (arg == "--video") {
            // With --join, the joined video's name.
            if (options.mode != CaptureMode::Join && !setMode(options, CaptureMode::Video, error)) return false;
            if (!value(options.videoFile)) return false;
        } else if (arg == "--video-only") {
            if (!setMode(options, CaptureMode::VideoOnly, error) || !value(options.videoFile)) return false;
        } else if (arg == "--segment") {
            if (!value(v) || !parseSegment(v, options.segmentK, options.segmentN, error)) return false;
        } else if (arg == "--join") {
            if (!parseJoin(argc, argv, i, options, error)) return false;
        } else if (arg == "--shot") {
            if (!setMode(options, CaptureMode::Shots, error) || !value(v)) return false;
            if (!parseShots(v, options, error)) return false;
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
    return checkCombination(options, error);
}
