#pragma once
// A complete data/ folder for running the demo in tests, made with real
// encoders (ImageMagick for the PNGs, lame for the MP3).
#include <string>
#include <vector>

namespace testsupport {

struct DemoDataOptions {
    double musicSeconds = 5.0;
    // Tempo of the sync file; 3000 bpm plays the whole schedule in 3.77 s.
    double bpm = 3000.0;
    bool writeSync = true;
};

// Every file the demo reads, relative to the working directory.
std::vector<std::string> demoDataFiles();

// Writes data/ under `dir`; false (with a test failure message) when an
// encoder is missing or fails.
bool makeDemoData(const std::string& dir, const DemoDataOptions& options = {});

// A sync file in the demo's format with one repeating channel.
std::string fixtureSyncFile(double bpm, double offset);

}  // namespace testsupport
