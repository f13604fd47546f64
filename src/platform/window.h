#pragma once
// Window, GL context, message boxes, events and the performance counter.
//
// Stands in for the Windows platform calls the shell was written against,
// built on SDL2:
//
//   platform call                         here                    implemented
//   RegisterClass / UnregisterClass       initVideo / quitVideo   SDL video subsystem
//   ChangeDisplaySettings (1280x720x32)   displayOffersMode       the display must offer that exact mode
//   EnumDisplayMonitors                   displayCount            SDL's displays
//   SystemParametersInfo (SPI_GETWORKAREA) displayUsableAreas  every display's, the primary first
//   ChangeDisplaySettings (reset)         leaveFullscreen         back to the desktop mode
//   ShowCursor                            showCursor              yes
//   CreateWindowEx / DestroyWindow        createWindow/destroyWindow  OpenGL window; fullscreen or at (x, y)
//   pixel format (RGBA, 16-bit depth,     setPixelFormat          SDL GL attributes before the window
//     double buffer)
//   wglCreateContext / wglDeleteContext   createContext/deleteContext  yes; the context is the kind
//                                                                  the linked GL needs (glbinding.h)
//   wglMakeCurrent                        makeCurrent / releaseCurrent  yes
//   ShowWindow / SetForeground / SetFocus showWindow              yes
//   MessageBox (OK, Yes/No)               messageBox              SDL message box; text also on stderr;
//                                                                  a box that cannot be shown answers No
//   PeekMessage, WM_* messages            pollEvent               SDL events as platform::Event
//   (MsgWaitForMultipleObjects)           waitEvent               the same, waiting up to a time-out
//   SetWindowText                         setWindowTitle          yes
//   SwapBuffers                           swapBuffers             yes
//   (the message loop)                    runFrameLoop            a plain loop; the browser's own on the web
//   wglSwapIntervalEXT                    setSwapInterval         yes
//   SC_SCREENSAVE / SC_MONITORPOWER       (initVideo)             screen saver kept off
//   QueryPerformanceFrequency / Counter   counterFrequency / counterValue   SDL counter, or a manual one
//
// Implemented:
//  [X] Window, fullscreen mode, cursor, GL context, buffer swap, swap control
//  [X] Message boxes (also written to stderr)
//  [X] Events as the demo's own type: quit, keys by virtual-key code,
//      minimise/restore, size changes
//  [X] Focus loss leaves a fullscreen window as it is (SDL would minimise it)
//  [X] SIGINT, SIGTERM and SIGHUP as a quit event (not in the original)
//  [X] Bounded frames in flight where no vertical sync paces the swaps, and
//      frames paced to the display's refresh there by sleeping
//  [X] Borderless fullscreen at the desktop's own size, any display
//  [X] A window destroyed by the window system ends the run (X errors are
//      reported as WindowLost instead of ending or hanging the process)
//  [X] Message boxes in a child process: signals end the wait, no box
//      outlives the program
//  [ ] Window class, device context: SDL has none, so their failures cannot occur
//  [ ] Screen saver messages: SDL keeps the screen saver off instead
#include <cstdint>
#include <string>
#include <vector>

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

enum class BoxButtons { Ok, YesNo };
enum class BoxIcon { Exclamation, Stop, Information };
enum class BoxAnswer { Ok, Yes, No, Interrupted };
// Shows a modal box and writes "caption: text" to stderr. When no box can be
// shown the answer is No (Ok for an Ok box). The box is shown by a child
// process, so that SIGINT, SIGTERM and SIGHUP end the wait at once (the answer
// is then Interrupted and the box is taken down), and so that no box outlives
// the program, however it ends.
BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon);

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

// SIGINT, SIGTERM and SIGHUP from now on ask the program to end (pollEvent
// reports Quit; tools poll interruptRequested) instead of killing it. A signal
// that was ignored when the program started (nohup, background jobs) stays
// ignored.
void catchInterrupts();
bool interruptRequested();
// Raises or clears the request as a signal would (tests).
void setInterruptRequested(bool requested);

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

// High-resolution counter. A frequency of 0 means there is none. Tests may
// replace the counter by a manual one.
std::uint64_t counterFrequency();
std::int64_t counterValue();
void useManualCounter(std::uint64_t frequency, std::int64_t value);
void setManualCounter(std::int64_t value);
void useSystemCounter();
// A monotonic clock in nanoseconds, for when there is no counter. Follows the
// manual counter's value (as nanoseconds) while one is in use.
std::int64_t monotonicNanoseconds();

}  // namespace platform
