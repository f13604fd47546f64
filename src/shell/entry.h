#pragma once
// The demo's entry routine and its per-frame routine.

#include <string>

struct DemoOptions {
    bool windowed = false;           // start in a window without asking about fullscreen
    bool desktopFullscreen = false;  // fullscreen at the display's own size, letterboxed
    int display = -1;                // the display to use (-1: not chosen)
    int startRow = 0;                // the music row playback starts at (0 to 753)
    std::string dataDir;             // --data: the data folder (empty: look for it)
    double avOffsetMs = 0;           // --av-offset: the picture later by this much (sound comes late)
    std::string frameLog;            // where each frame's swap time and music position go (empty: nowhere)
    const char* program = "";        // the name the program's messages start with
};

// Begins a new run (beginRun), opens the window, runs the start-up and the
// frame loop, shuts down.
// Returns the process exit code: 0 after a normal end (Escape, close, end of
// the music, SIGINT, SIGTERM or SIGHUP), 1 after a failure (no data, a
// window that could not be opened or was taken away, a file that failed).
int runDemo(const DemoOptions& options);

// The fixed GL state set once after the window opens.
void setFixedGLState();

// Draws one frame into the back buffer; false when the demo has finished.
bool renderFrame();
// The same frame with a given frame delta instead of the measured one: the
// offline capture's frames, timed by music time alone.
bool renderFrameWithDelta(double deltaMs);
