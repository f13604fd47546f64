#pragma once
// The demo's entry routine and its per-frame routine.

struct DemoOptions {
    bool windowed = false;  // start in a window without asking about fullscreen
    int startRow = 0;       // the music row playback starts at (0 to 753)
};

// Opens the window, runs the start-up and the frame loop, shuts down.
// Returns the process exit code: 0 after a normal end (Escape, close, end of
// the music), 1 after a failure.
int runDemo(const DemoOptions& options);

// The fixed GL state set once after the window opens.
void setFixedGLState();

// Draws one frame into the back buffer; false when the demo has finished.
bool renderFrame();
// The same frame with a given frame delta instead of the measured one: the
// offline capture's frames, timed by music time alone.
bool renderFrameWithDelta(double deltaMs);
