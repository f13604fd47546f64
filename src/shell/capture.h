#pragma once
// The demo run offline: the real start-up and frame routine in an offscreen GL
// context, with the music on the manual clock. Frame k is drawn with the music
// at offset + k / fps seconds and a frame delta of exactly 1000 / fps ms, so a
// capture is the same on every run, however fast the machine draws.
#include <cstdint>
#include <string>
#include <vector>

struct CaptureSettings {
    int width = 1280;
    int height = 720;
    int fps = 60;  // frames per second of music time
};

struct Capture {
    CaptureSettings settings;
    double startSeconds = 0;     // music position of frame 0 (where row 0 begins)
    std::int64_t nextFrame = 0;  // the frame drawNextFrame draws
    bool open = false;
};

// Begins a new run (beginRun), opens an offscreen window of the settings'
// size and runs the demo's start-up from the chosen data folder. False when
// the window or the start-up fails, or the size is past what the GL draws (its
// largest viewport), checked before anything is loaded or drawn: `why` says
// which, naming the limit, and the loaders have named each file that failed
// on stderr.
bool openCapture(const CaptureSettings& settings, Capture& capture, std::string& why);

// The music position of frame k in seconds, and the music row it is drawn
// at, read through the music clock exactly as the scenes read it.
double frameSeconds(const Capture& capture, std::int64_t k);
int frameRow(const Capture& capture, std::int64_t k);
// The frames the demo shows are 0 .. frameCount - 1: each one's row is at or
// before the last row and the music has not ended.
std::int64_t frameCount(const Capture& capture);

// The first of the frames 0 .. count - 1 drawn at or after music row `row`;
// `count` when none is.
std::int64_t firstFrameAtRow(const Capture& capture, std::int64_t count, int row);

// Draws frame `nextFrame` into the back buffer and moves on. False when the
// demo ended on it (that frame is not one to keep). At most two frames are
// ever waiting in GL to be drawn, whether or not they are read back.
bool drawNextFrame(Capture& capture);

// Runs frame `nextFrame` through the scenes' code with drawing switched off
// and moves on: the scenes' state, the GL state and the clocks come out as
// drawNextFrame leaves them, the picture in the back buffer is left as it was.
// The scenes' state never depends on what GL draws: the one thing they read
// back from GL is the current matrices (the closing wheels, to choose how a
// quad is sent), and matrix calls still go to GL. False when the demo ended on
// that frame. Where the program cannot switch drawing off, the frame is drawn.
bool skipNextFrame(Capture& capture);

// Switches the GL calls that only put pixels into the frame off (false) and
// on again; set before main runs by a program linked with the capture's
// drawing switch, null in any other.
extern void (*switchDrawing)(bool on);

// The back buffer as RGB bytes (or RGBA, which most GL implementations hand
// over faster), rows from the bottom up as GL gives them; `pixels` is resized
// to width x height x 3 (or 4) and may be reused across frames.
enum class PixelLayout { Rgb, Rgba };
void readFrame(const Capture& capture, std::vector<unsigned char>& pixels, PixelLayout layout = PixelLayout::Rgb);
// The GL implementation's renderer name.
std::string rendererName();

// Stops the music and closes the window.
void closeCapture(Capture& capture);
