// The desktop's window, GL context, displays and events, through SDL.
#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/glbinding.h"
#include "platform/sdl/backend_sdl.h"

namespace platform {

namespace sdl {
Backend backendState;
}  // namespace sdl

namespace {

using sdl::backend;

SDL_Window* sdlWindow(Window* window) { return reinterpret_cast<SDL_Window*>(window); }

// The demo's virtual-key code for an SDL key, 0 when there is none.
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
    if (driver && std::strcmp(driver, "x11") == 0) sdl::watchX11Errors();
    backend().windowLost = 0;
    backend().nextSwapNs = 0;
    return true;
}

void quitVideo() {
    sdl::flushX11Errors();
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
        // A 24-bit colour mode is the 32 bits asked for (8 bits of padding).
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
    if (window) SDL_SetWindowFullscreen(sdlWindow(window), 0);
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
    sdl::rememberXWindow(window);
    return reinterpret_cast<Window*>(window);
}

void drawableSize(Window* window, int& width, int& height) {
    width = height = 0;
    if (window) SDL_GL_GetDrawableSize(sdlWindow(window), &width, &height);
}

bool destroyWindow(Window* window) {
    if (!window) return false;
    sdl::forgetXWindow();
    SDL_DestroyWindow(sdlWindow(window));
    return true;
}

GLContext createContext(Window* window, std::string& why) {
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow(window));
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
    return SDL_GL_MakeCurrent(sdlWindow(window), context) == 0 || failWith(why);
}

bool releaseCurrent() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    return !window || SDL_GL_MakeCurrent(window, nullptr) == 0;
}

void showWindow(Window* window) {
    SDL_ShowWindow(sdlWindow(window));
    SDL_RaiseWindow(sdlWindow(window));
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
            if (sdl::isOurWindowDestroyed(e)) event.type = EventType::WindowLost;
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
    if (backend().windowLost) {
        backend().windowLost = 0;  // reported once
        event.type = EventType::WindowLost;
        return true;
    }
    if (backend().interrupted) {
        event.type = EventType::Quit;
        return true;
    }
    SDL_Event e;
    int got = timeoutMs > 0 ? SDL_WaitEventTimeout(&e, timeoutMs) : SDL_PollEvent(&e);
    if (got == 0) {
        // A signal that came during the wait is reported now, not a pass later.
        if (!backend().interrupted) return false;
        event.type = EventType::Quit;
        return true;
    }
    event = translate(e);
    return true;
}

void setWindowTitle(Window* window, const char* title) {
    if (window) SDL_SetWindowTitle(sdlWindow(window), title);
}

void runFrameLoop(FrameStep step, LoopFinish finish) {
    while (step()) {
    }
    finish();
}

void swapBuffers(Window* window) {
    if (!window) return;
    if (!backend().swapsArePaced) sdl::paceSwap(sdlWindow(window));
    glbinding::beforeSwap();
    SDL_GL_SwapWindow(sdlWindow(window));
    // Without a refresh to wait for, a GL implementation may queue frames
    // without limit (memory grows and quitting waits for the queue).
    if (!backend().swapsArePaced) glFinish();
}

bool setSwapInterval(int interval) {
    const char* driver = SDL_GetCurrentVideoDriver();
    // The offscreen driver accepts an interval but has no display to wait for.
    bool offscreen = driver && std::strcmp(driver, "offscreen") == 0;
    bool& paced = backend().swapsArePaced;
    paced = SDL_GL_SetSwapInterval(interval) == 0 && interval != 0 && !offscreen;
    return paced;
}

}  // namespace platform
