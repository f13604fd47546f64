#pragma once
// The window, its GL context, the displays, events and the frame loop, in the
// demo's own types. Each backend implements it: sdl/ on the desktop (SDL2),
// web/ in a browser (the page's canvas and WebGL).
//
// Implemented features:
//  [X] Window, fullscreen mode, cursor, GL context, buffer swap, swap control
//  [X] Events as the demo's own type: quit, keys by virtual-key code,
//      minimise/restore, size changes
//  [X] Focus loss leaves a fullscreen window as it is (SDL would minimise it)
//  [X] SIGINT, SIGTERM and SIGHUP as a quit event (interrupts.h)
//  [X] Bounded frames in flight where no vertical sync paces the swaps, and
//      frames paced to the display's refresh there by sleeping
//  [X] Borderless fullscreen at the desktop's own size, any display
//  [X] A window destroyed by the window system ends the run (X errors are
//      reported as WindowLost instead of ending or hanging the process)
//  [X] Failures carry the system's own reason up to the caller
//  [ ] Screen saver messages: the screen saver is kept off instead
#include <string>
#include <vector>

#include "platform/interrupts.h"  // pollEvent reports a pending signal as Quit

namespace platform {

// The system's window, seen only through this interface.
struct Window;
using GLContext = void*;

// Every call that can fail returns false (or null) and puts the reason, in
// the system's own words, in `why`; the caller decides what to print.

// Starts the video subsystem. A fullscreen window made after this is not
// minimised when it loses the focus.
bool initVideo(std::string& why);
void quitVideo();
// Asks initVideo for a video driver without any display: the window is an
// offscreen GL surface (for rendering frames to files).
void useOffscreenVideo();

// The number of displays (0 before initVideo or when none is known).
int displayCount();
// Whether display `display` (0: the primary) offers that exact mode.
bool displayOffersMode(int display, int width, int height, int bitsPerPixel);

// A rectangle on the desktop, in pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// The part of each display that windows may use (panels and docks left out),
// the primary display first; empty when none is known.
std::vector<Rect> displayUsableAreas();
void leaveFullscreen(Window* window);
void showCursor(bool visible);

bool setPixelFormat(int colourBits, int depthBits, std::string& why);
enum class WindowMode {
    Windowed,           // a resizable window with its client area at (x, y)
    Fullscreen,         // the display switched to width x height
    DesktopFullscreen,  // borderless over the whole display at its own size; no mode change
};
// A window on display `display` (0: the primary); x and y count only when windowed.
Window* createWindow(const char* title, int x, int y, int width, int height, WindowMode mode, int display,
                     std::string& why);
// The size of the window's drawing surface in pixels.
void drawableSize(Window* window, int& width, int& height);
bool destroyWindow(Window* window);
// The context is made current. Null also when the GL the program draws
// through cannot use it.
GLContext createContext(Window* window, std::string& why);
bool deleteContext(GLContext context);
bool makeCurrent(Window* window, GLContext context, std::string& why);
bool releaseCurrent();
void showWindow(Window* window);

// One event from the queue, in the demo's own terms.
enum class EventType {
    Quit,       // the window was closed, or the process was asked to end
    KeyDown,    // key: virtual-key code (0 for keys without one)
    KeyUp,
    Minimised,
    Restored,
    Resized,    // width, height: the new client size
    WindowLost, // the window system took the window away (destroyed from outside)
    Other,      // anything the demo does not act on (focus changes, ...)
};
struct Event {
    EventType type = EventType::Other;
    int key = 0;
    int width = 0;
    int height = 0;
};
// Takes the next event; false when the queue is empty. A pending SIGINT,
// SIGTERM or SIGHUP comes out as a Quit event.
bool pollEvent(Event& event);
// The same, but waits up to timeoutMs milliseconds (0: not at all) for an
// event when the queue is empty. Returns as soon as one arrives.
bool waitEvent(Event& event, int timeoutMs);

void setWindowTitle(Window* window, const char* title);
// Presents the frame. Where no vertical sync paces the swaps it also waits
// for the frame to be drawn, so that frames never queue up without limit, and
// sleeps so that frames come no faster than the display refreshes (60 Hz where
// the rate is unknown).
void swapBuffers(Window* window);
// True when swaps are now paced by the display's refresh.
bool setSwapInterval(int interval);

// The frame loop: `step` runs once a frame until it returns false, then
// `finish` runs once. On the desktop the loop is ours and this returns after
// `finish`; in a browser the browser calls `step` before each repaint, and
// this returns at once.
using FrameStep = bool (*)();
using LoopFinish = void (*)();
void runFrameLoop(FrameStep step, LoopFinish finish);

inline constexpr int vkEscape = 0x1B;

}  // namespace platform
