#pragma once
// The demo's one window and its OpenGL context.
#include <array>
#include <string>
#include <vector>

#include "platform/window.h"

extern int screenWidth;
extern int screenHeight;
extern int screenBits;
extern bool isFullscreen;
// Fullscreen as a borderless window at the display's own size (no mode
// change, no question); the picture keeps its 16:9 shape with black bars.
extern bool desktopFullscreen;
// The display the window goes on (0: the primary); -1 when not chosen, which
// means the primary for fullscreen and anywhere (1400, 0) fits for a window.
extern int displayIndex;
extern bool isActive;                 // false while the window is minimised
extern std::array<bool, 256> keys;    // key state by virtual-key code
extern platform::Window* windowHandle;
extern platform::GLContext renderContext;
// The flags above (not the window and context, which openWindow and
// closeWindow own) back at their start values; part of beginRun.
void resetWindowState();

struct WindowPosition {
    int x = 0;
    int y = 0;
};
// Where the windowed demo's client area of width x height goes: at
// (1400, 0) when that lies wholly on one display's usable area, otherwise
// centred on the first (primary) one, its top-left corner kept on the area
// when the window is larger. With no display known, (1400, 0).
WindowPosition windowedPosition(const std::vector<platform::Rect>& usableAreas, int width, int height);

// True when the window and a current GL context exist. On false the user has
// seen the message box that says what failed, and `why` holds the line for
// the program to print: what failed and the system's reason (empty when the
// user chose to end, or a signal did).
bool openWindow(std::string& why);
void closeWindow();
void resizeViewport(int width, int height);

struct ViewportRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// The largest rectangle of the picture's shape (pictureWidth : pictureHeight)
// that fits a surface of width x height, centred on it: the rest are bars.
ViewportRect letterbox(int width, int height, int pictureWidth, int pictureHeight);
// The viewport and projection for the picture letterboxed into a surface of
// width x height (the projection's aspect is the picture's, whatever the
// surface's).
void letterboxViewport(int width, int height);
bool applyBaseGLState();

// How long the frame loop waits for the next event before an idle pass, in
// milliseconds: 0 while the window is active (a frame is due), 10 while it is
// minimised, so that a minimised demo idles instead of swapping as fast as it
// can, and still takes a restore at once.
int eventWaitMs();

enum class WindowAction { None, Quit, WindowLost };
// What the window does with one event from the queue.
WindowAction handleWindowEvent(const platform::Event& event);
