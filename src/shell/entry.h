#pragma once
// The demo's entry routine and its per-frame routine.

struct DemoOptions {
    bool windowed = false;  // start in a window without asking about fullscreen
};

// Opens the window, runs the start-up and the frame loop, shuts down.
// Returns the process exit code: 0 after a normal end (Escape, close, end of
// the music), 1 after a failure.
int runDemo(const DemoOptions& options);

// Draws one frame into the back buffer; false when the demo has finished.
bool renderFrame();
