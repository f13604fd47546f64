#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/glbinding.h"
#include "platform/systemclock.h"

namespace platform {
namespace {

SDL_Window* sdl(Window* window) { return reinterpret_cast<SDL_Window*>(window); }

volatile sig_atomic_t interruptFlag = 0;

void onInterrupt(int) { interruptFlag = 1; }

// Whether a display refresh paces the swaps; until swap control is known to
// work, frames are finished at every swap.
bool swapsArePaced = false;

// Where no refresh paces the swaps, when the next one is due (steady clock,
// nanoseconds; 0 before the first).
std::int64_t nextSwapNs = 0;

// Set by the X error handler: the window system refused a request, which for
// this program means its window is gone (destroyed from outside).
volatile sig_atomic_t windowLostFlag = 0;
unsigned long ourXWindow = 0;  // the demo's X window, to match DestroyNotify
Display* ourXDisplay = nullptr;  // SDL's connection, while a window exists on it

// Xlib's default handler prints and exits, and SDL's own one restores display
// modes from inside the handler, where Xlib may not be called (it hangs). The
// frame loop ends the run instead, through the normal shutdown.
int onXError(Display*, XErrorEvent*) {
    windowLostFlag = 1;
    return 0;
}

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The Windows virtual-key code for an SDL key, 0 when there is none.
int virtualKeyCode(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
    switch (key) {
        case SDLK_ESCAPE: return vkEscape;
        case SDLK_BACKSPACE: return 0x08;
        case SDLK_TAB: return 0x09;
        case SDLK_RETURN: return 0x0D;
        case SDLK_SPACE: return 0x20;
        case SDLK_LEFT: return 0x25;
        case SDLK_UP: return 0x26;
        case SDLK_RIGHT: return 0x27;
        case SDLK_DOWN: return 0x28;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
        case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
        case SDLK_LALT: case SDLK_RALT: return 0x12;
        default: return 0;
    }
}

// SDL's reason for the call that just failed.
bool failWith(std::string& why) {
    why = SDL_GetError();
    if (why.empty()) why = "no reason given";
    return false;
}

}  // namespace

bool initVideo(std::string& why) {
    // Interrupts are ours to handle (catchInterrupts), not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL would minimise an exclusive fullscreen window whenever it loses the
    // focus (Alt+Tab, a click on a second screen), and a minimised demo draws
    // nothing while the music plays on. Only an explicit minimise stops the
    // frames. Must be set before the window exists.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return failWith(why);
    SDL_DisableScreenSaver();
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) {
        XSetErrorHandler(onXError);
        // DestroyNotify of the demo's window comes through as a system event.
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    }
    windowLostFlag = 0;
    nextSwapNs = 0;
    return true;
}

void quitVideo() {
    // Errors still on their way (requests on a window destroyed from outside)
    // come to our handler now: SDL puts Xlib's own back before it closes the
    // connection, and that one would end the process.
    if (ourXDisplay) XSync(ourXDisplay, False);
    ourXDisplay = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void useOffscreenVideo() { SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen"); }

int displayCount() { return std::max(0, SDL_GetNumVideoDisplays()); }

bool displayOffersMode(int display, int width, int height, int bitsPerPixel) {
    int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        int bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
        // 24-bit colour modes are the 32-bit modes of Windows (8 bits padding).
        bool depthMatches = bits == bitsPerPixel || (bitsPerPixel == 32 && bits == 24);
        if (mode.w == width && mode.h == height && depthMatches) return true;
    }
    return false;
}

std::vector<Rect> displayUsableAreas() {
    std::vector<Rect> areas;
    int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(i, &r) != 0 && SDL_GetDisplayBounds(i, &r) != 0) continue;
        areas.push_back({r.x, r.y, r.w, r.h});
    }
    return areas;
}

void leaveFullscreen(Window* window) {
    if (window) SDL_SetWindowFullscreen(sdl(window), 0);
}

void showCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool setPixelFormat(int colourBits, int depthBits, std::string& why) {
    int channel = colourBits >= 24 ? 8 : 5;
    const bool set =
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel) == 0 && SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel) == 0 &&
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel) == 0 && SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 &&
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits) == 0 && SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 &&
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0 && glbinding::requestContext();
    return set || failWith(why);
}

namespace {

// Remembers the X window, so that its DestroyNotify can be told from others.
void rememberXWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ourXWindow = 0;
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        ourXWindow = info.info.x11.window;
        ourXDisplay = info.info.x11.display;
    }
}

}  // namespace

Window* createWindow(const char* title, int x, int y, int width, int height, WindowMode mode, int display,
                     std::string& why) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    SDL_Rect bounds{0, 0, width, height};
    if (mode == WindowMode::Windowed) {
        flags |= SDL_WINDOW_RESIZABLE;
    } else if (mode == WindowMode::Fullscreen) {
        x = y = static_cast<int>(SDL_WINDOWPOS_UNDEFINED_DISPLAY(display));
    } else if (SDL_GetDisplayBounds(display, &bounds) == 0) {
        // Borderless over the display before it is made fullscreen: where no
        // window manager acts on the fullscreen request (a bare X server), the
        // window covers the display all the same.
        flags |= SDL_WINDOW_BORDERLESS;
        x = bounds.x;
        y = bounds.y;
        width = bounds.w;
        height = bounds.h;
    }
    SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!window) {
        failWith(why);
        return nullptr;
    }
    if (mode == WindowMode::DesktopFullscreen && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        failWith(why);
        SDL_DestroyWindow(window);
        return nullptr;
    }
    if (mode == WindowMode::Fullscreen) {
        SDL_DisplayMode wanted{};
        wanted.w = width;
        wanted.h = height;
        SDL_DisplayMode closest;
        if (!SDL_GetClosestDisplayMode(display, &wanted, &closest) || SDL_SetWindowDisplayMode(window, &closest) != 0 ||
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
            failWith(why);
            SDL_DestroyWindow(window);
            return nullptr;
        }
    }
    rememberXWindow(window);
    return reinterpret_cast<Window*>(window);
}

void drawableSize(Window* window, int& width, int& height) {
    width = height = 0;
    if (window) SDL_GL_GetDrawableSize(sdl(window), &width, &height);
}

bool destroyWindow(Window* window) {
    if (!window) return false;
    ourXWindow = 0;
    SDL_DestroyWindow(sdl(window));
    return true;
}

GLContext createContext(Window* window, std::string& why) {
    SDL_GLContext context = SDL_GL_CreateContext(sdl(window));
    if (!context) {
        failWith(why);
        return nullptr;
    }
    if (!glbinding::contextMade(why)) {
        glbinding::contextGone();
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    return context;
}

bool deleteContext(GLContext context) {
    if (!context) return false;
    glbinding::contextGone();
    SDL_GL_DeleteContext(context);
    return true;
}

bool makeCurrent(Window* window, GLContext context, std::string& why) {
    return SDL_GL_MakeCurrent(sdl(window), context) == 0 || failWith(why);
}

bool releaseCurrent() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    return !window || SDL_GL_MakeCurrent(window, nullptr) == 0;
}

void showWindow(Window* window) {
    SDL_ShowWindow(sdl(window));
    SDL_RaiseWindow(sdl(window));
}

namespace {

// SDL's event in the demo's own terms.
Event translate(const SDL_Event& e) {
    Event event;
    switch (e.type) {
        case SDL_QUIT:
            event.type = EventType::Quit;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            event.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
            event.key = virtualKeyCode(e.key.keysym.sym);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_MINIMIZED:
                    event.type = EventType::Minimised;
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                case SDL_WINDOWEVENT_SHOWN:
                    event.type = EventType::Restored;
                    break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    event.type = EventType::Resized;
                    event.width = e.window.data1;
                    event.height = e.window.data2;
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    // The window stays until it is destroyed; the loop ends on this.
                    event.type = EventType::Quit;
                    break;
                default:
                    break;  // focus changes leave the demo running
            }
            break;
        case SDL_SYSWMEVENT:
            if (e.syswm.msg && e.syswm.msg->subsystem == SDL_SYSWM_X11 && ourXWindow != 0) {
                const XEvent& x = e.syswm.msg->msg.x11.event;
                if (x.type == DestroyNotify && x.xdestroywindow.window == ourXWindow) event.type = EventType::WindowLost;
            }
            break;
        default:
            break;
    }
    return event;
}

}  // namespace

bool pollEvent(Event& event) { return waitEvent(event, 0); }

bool waitEvent(Event& event, int timeoutMs) {
    event = Event{};
    if (windowLostFlag) {
        windowLostFlag = 0;  // reported once
        event.type = EventType::WindowLost;
        return true;
    }
    if (interruptFlag) {
        event.type = EventType::Quit;
        return true;
    }
    SDL_Event e;
    int got = timeoutMs > 0 ? SDL_WaitEventTimeout(&e, timeoutMs) : SDL_PollEvent(&e);
    if (got == 0) {
        // A signal that came during the wait is reported now, not a pass later.
        if (!interruptFlag) return false;
        event.type = EventType::Quit;
        return true;
    }
    event = translate(e);
    return true;
}

void catchInterrupts() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

bool interruptRequested() { return interruptFlag != 0; }

void setInterruptRequested(bool requested) { interruptFlag = requested ? 1 : 0; }

void setWindowTitle(Window* window, const char* title) {
    if (window) SDL_SetWindowTitle(sdl(window), title);
}

namespace {

// The display's refresh period for the window, 60 Hz where it is unknown.
std::int64_t refreshPeriodNs(SDL_Window* window) {
    SDL_DisplayMode mode{};
    int hz = SDL_GetWindowDisplayMode(window, &mode) == 0 ? mode.refresh_rate : 0;
    if (hz <= 0) {
        int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0) hz = mode.refresh_rate;
    }
    if (hz <= 0 || hz > 1000) hz = 60;
    return 1000000000LL / hz;
}

// Sleeps until the next refresh slot. A frame that comes late starts a new
// cadence instead of hurrying the ones after it.
void paceSwap(SDL_Window* window) {
    const std::int64_t period = refreshPeriodNs(window);
    std::int64_t now = steadyNanoseconds();
    if (nextSwapNs > now) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(nextSwapNs - now));
        now = steadyNanoseconds();
    }
    nextSwapNs = (nextSwapNs > 0 && now - nextSwapNs < period) ? nextSwapNs + period : now + period;
}

}  // namespace

void runFrameLoop(FrameStep step, LoopFinish finish) {
    while (step()) {
    }
    finish();
}

void swapBuffers(Window* window) {
    if (!window) return;
    if (!swapsArePaced) paceSwap(sdl(window));
    glbinding::beforeSwap();
    SDL_GL_SwapWindow(sdl(window));
    // Without a refresh to wait for, a GL implementation may queue frames
    // without limit (memory grows and quitting waits for the queue).
    if (!swapsArePaced) glFinish();
}

bool setSwapInterval(int interval) {
    const char* driver = SDL_GetCurrentVideoDriver();
    // The offscreen driver accepts an interval but has no display to wait for.
    bool offscreen = driver && std::strcmp(driver, "offscreen") == 0;
    swapsArePaced = SDL_GL_SetSwapInterval(interval) == 0 && interval != 0 && !offscreen;
    return swapsArePaced;
}

namespace systemclock {

std::uint64_t counterFrequency() { return SDL_GetPerformanceFrequency(); }
std::int64_t counterValue() { return static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }
std::int64_t monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace systemclock

}  // namespace platform
