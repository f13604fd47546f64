#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

SDL_Window* sdl(Window* window) { return reinterpret_cast<SDL_Window*>(window); }

volatile sig_atomic_t interruptFlag = 0;

void onInterrupt(int) { interruptFlag = 1; }

// Whether a display refresh paces the swaps; until swap control is known to
// work, frames are finished at every swap.
bool swapsArePaced = false;

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

struct ManualCounter {
    bool active = false;
    std::uint64_t frequency = 0;
    std::int64_t value = 0;
};

ManualCounter& manual() {
    static ManualCounter counter;
    return counter;
}

}  // namespace

bool initVideo() {
    // Interrupts are ours to handle (catchInterrupts), not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL would minimise an exclusive fullscreen window whenever it loses the
    // focus (Alt+Tab, a click on a second screen), and a minimised demo draws
    // nothing while the music plays on. Only an explicit minimise stops the
    // frames. Must be set before the window exists.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_DisableScreenSaver();
    return true;
}

void quitVideo() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

void useOffscreenVideo() { SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen"); }

bool displayOffersMode(int width, int height, int bitsPerPixel) {
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
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

bool setPixelFormat(int colourBits, int depthBits) {
    int channel = colourBits >= 24 ? 8 : 5;
    return SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel) == 0 && SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel) == 0 && SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 && SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0;
}

Window* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!fullscreen) flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!window || !fullscreen) return reinterpret_cast<Window*>(window);
    SDL_DisplayMode mode{};
    mode.w = width;
    mode.h = height;
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(0, &mode, &closest) || SDL_SetWindowDisplayMode(window, &closest) != 0 ||
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    return reinterpret_cast<Window*>(window);
}

bool destroyWindow(Window* window) {
    if (!window) return false;
    SDL_DestroyWindow(sdl(window));
    return true;
}

GLContext createContext(Window* window) { return SDL_GL_CreateContext(sdl(window)); }

bool deleteContext(GLContext context) {
    if (!context) return false;
    SDL_GL_DeleteContext(context);
    return true;
}

bool makeCurrent(Window* window, GLContext context) { return SDL_GL_MakeCurrent(sdl(window), context) == 0; }

bool releaseCurrent() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    return !window || SDL_GL_MakeCurrent(window, nullptr) == 0;
}

void showWindow(Window* window) {
    SDL_ShowWindow(sdl(window));
    SDL_RaiseWindow(sdl(window));
}

BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    Uint32 flags = icon == BoxIcon::Information ? SDL_MESSAGEBOX_INFORMATION
                   : icon == BoxIcon::Stop      ? SDL_MESSAGEBOX_ERROR
                                                : SDL_MESSAGEBOX_WARNING;
    if (buttons == BoxButtons::Ok) {
        SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
        return BoxAnswer::Ok;
    }
    const SDL_MessageBoxButtonData choices[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    SDL_MessageBoxData data{flags, nullptr, caption, text, 2, choices, nullptr};
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        std::fprintf(stderr, "%s: no message box could be shown (%s); answering No\n", caption, SDL_GetError());
        return BoxAnswer::No;
    }
    return pressed == 1 ? BoxAnswer::Yes : BoxAnswer::No;
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
        default:
            break;
    }
    return event;
}

}  // namespace

bool pollEvent(Event& event) { return waitEvent(event, 0); }

bool waitEvent(Event& event, int timeoutMs) {
    event = Event{};
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

void swapBuffers(Window* window) {
    if (!window) return;
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

std::uint64_t counterFrequency() {
    if (manual().active) return manual().frequency;
    return SDL_GetPerformanceFrequency();
}

std::int64_t counterValue() {
    if (manual().active) return manual().value;
    return static_cast<std::int64_t>(SDL_GetPerformanceCounter());
}

void useManualCounter(std::uint64_t frequency, std::int64_t value) { manual() = {true, frequency, value}; }
void setManualCounter(std::int64_t value) { manual().value = value; }
void useSystemCounter() { manual().active = false; }

std::int64_t monotonicNanoseconds() {
    if (manual().active) return manual().value;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace platform
