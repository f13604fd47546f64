#pragma once
// The capture tool's command line.
#include <string>
#include <vector>

#include "scenes/schedule.h"
#include "shell/capture.h"

enum class CaptureMode { None, Frames, Video, VideoOnly, Shots, Bench, Join };

struct CaptureOptions {
    std::string dataDir;  // --data: the data folder (empty: look for it as the demo does)
    CaptureSettings settings;
    int fromRow = 0;
    int toRow = lastDemoRow;  // the last row drawn
    bool toRowGiven = false;  // false: to the end of the demo, wherever the music ends it
    CaptureMode mode = CaptureMode::None;
    std::string framesDir;             // --frames
    std::string videoFile;             // --video, --video-only, or --join's output
    int segmentK = 0, segmentN = 0;    // --segment K/N; N = 0: the whole range
    int supersample = 1;               // --supersample S: drawn at S times the size
    std::vector<std::string> joinFiles;  // --join
    bool settingsGiven = false;        // --size, --fps or a row was given
    std::vector<int> shotRows;         // --shot, as given
    std::vector<std::string> shotText; // the rows as written, for the file names
    std::string outDir;                // --out
    bool json = false;                 // --bench --json
    bool help = false;
};

extern const char* const captureUsage;

// Parses argv; false with a message for anything that is not a valid command
// line (unknown option, bad size or rate, row out of range, no mode).
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
