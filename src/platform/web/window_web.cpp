// The window layer in a browser: the page's canvas is the window, WebGL 1
// its context (drawn through our GL 1.1 subset), the browser's events its
// events and the browser's repaint cycle its frame loop.
//
//   desktop                          here
//   a fullscreen or desktop window   the canvas, as large as the page shows it
//                                    (the page's own CSS), in device pixels;
//                                    the page toggles the browser's fullscreen
//   an offscreen window              the canvas at exactly the size asked, its
//                                    drawing kept after each frame (read back)
//   message boxes                    "caption: text" on stderr, which the page
//                                    shows; Yes/No questions answer No
//                                    (messagebox_web.cpp)
//   keys, size changes               the browser's keydown/keyup and resize
//   minimised, restored              the page hidden (another tab, a locked
//                                    phone) and shown again
//   the window taken away            the WebGL context lost (a graphics
//                                    reset); the page puts a fresh canvas
//                                    in its place for the next run
//   signals                          none: only setInterruptRequested
//   runFrameLoop                     emscripten_set_main_loop (requestAnimationFrame)
//   the performance counter          performance.now() in microseconds, less
//                                    the time the page was hidden: a hidden
//                                    page's frame loop stands still, so the
//                                    first frame after it is not a long one,
//                                    and the Silent clock waits for it
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/glbinding.h"
#include "platform/interrupts.h"
#include "platform/systemclock.h"
#include "platform/window.h"

namespace platform {

struct Window {
    int width = 0;
    int height = 0;
    bool fitsPage = false;  // sized to the canvas's place on the page
};

namespace {

constexpr const char* canvasTarget = "#canvas";

struct State {
    bool offscreen = false;
    Window window;
    bool windowMade = false;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    std::deque<Event> events;
    bool interrupt = false;
    FrameStep step = nullptr;
    LoopFinish finish = nullptr;
    // The page's clock: performance.now() less the time spent hidden.
    double hiddenSinceMs = -1;  // while hidden, when it was hidden
    double hiddenTotalMs = 0;
};

State& state() {
    static State s;
    return s;
}

// The canvas's size on the page in device pixels.
void pageSize(int& width, int& height) {
    double cssWidth = 0, cssHeight = 0;
    emscripten_get_element_css_size(canvasTarget, &cssWidth, &cssHeight);
    const double ratio = emscripten_get_device_pixel_ratio();
    width = static_cast<int>(std::lround(cssWidth * ratio));
    height = static_cast<int>(std::lround(cssHeight * ratio));
    if (width <= 0 || height <= 0) {
        width = 1280;
        height = 720;
    }
}

void fitCanvas(Window& window) {
    int width = 0, height = 0;
    pageSize(width, height);
    if (width == window.width && height == window.height) return;
    window.width = width;
    window.height = height;
    emscripten_set_canvas_element_size(canvasTarget, width, height);
    Event e;
    e.type = EventType::Resized;
    e.width = width;
    e.height = height;
    state().events.push_back(e);
}

// The demo's virtual-key codes: Escape, and letters and digits as their
// upper-case characters; 0 for other keys.
int virtualKey(const EmscriptenKeyboardEvent& key) {
    if (std::strcmp(key.key, "Escape") == 0) return vkEscape;
    if (key.key[0] != '\0' && key.key[1] == '\0') {
        const char c = key.key[0];
        if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    }
    return 0;
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* key, void*) {
    Event e;
    e.type = type == EMSCRIPTEN_EVENT_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
    e.key = virtualKey(*key);
    state().events.push_back(e);
    return EM_FALSE;  // the page acts on its own keys too
}

EM_BOOL onResize(int, const EmscriptenUiEvent*, void*) {
    State& st = state();
    if (st.windowMade && st.window.fitsPage) fitCanvas(st.window);
    return EM_FALSE;
}

void setHidden(bool hidden) {
    State& st = state();
    const double now = emscripten_get_now();
    if (hidden && st.hiddenSinceMs < 0) {
        st.hiddenSinceMs = now;
    } else if (!hidden && st.hiddenSinceMs >= 0) {
        st.hiddenTotalMs += now - st.hiddenSinceMs;
        st.hiddenSinceMs = -1;
    }
}

double pageNowMs() {
    const State& st = state();
    return (st.hiddenSinceMs >= 0 ? st.hiddenSinceMs : emscripten_get_now()) - st.hiddenTotalMs;
}

EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* change, void*) {
    setHidden(change->hidden);
    Event e;
    e.type = change->hidden ? EventType::Minimised : EventType::Restored;
    state().events.push_back(e);
    return EM_FALSE;
}

EM_BOOL onContextLost(int, const void*, void*) {
    Event e;
    e.type = EventType::WindowLost;
    state().events.push_back(e);
    return EM_FALSE;
}

void listen(bool on) {
    const char* target = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(target, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_keyup_callback(target, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_resize_callback(target, nullptr, EM_TRUE, on ? onResize : nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, on ? onVisibility : nullptr);
    if (on) {
        EmscriptenVisibilityChangeEvent now;
        if (emscripten_get_visibility_status(&now) == EMSCRIPTEN_RESULT_SUCCESS) setHidden(now.hidden);
    } else {
        setHidden(false);  // the clock runs on between runs
    }
}

void loopPass() {
    State& st = state();
    if (st.step && st.step()) return;
    emscripten_cancel_main_loop();
    LoopFinish finish = st.finish;
    st.step = nullptr;
    st.finish = nullptr;
    if (finish) finish();
    EM_ASM({
        if (Module.onRunEnd) Module.onRunEnd();
    });
}

}  // namespace

bool initVideo(std::string&) {
    state().events.clear();
    return true;
}

void quitVideo() { listen(false); }

void useOffscreenVideo() { state().offscreen = true; }

int displayCount() { return 1; }

bool displayOffersMode(int display, int, int, int) { return display == 0; }

std::vector<Rect> displayUsableAreas() {
    Rect r;
    pageSize(r.width, r.height);
    return {r};
}

void leaveFullscreen(Window*) {}
void showCursor(bool) {}
bool setPixelFormat(int, int, std::string&) { return true; }

Window* createWindow(const char*, int, int, int width, int height, WindowMode mode, int, std::string&) {
    State& st = state();
    st.window = Window{};
    st.window.fitsPage = !st.offscreen && mode != WindowMode::Windowed;
    if (st.window.fitsPage) {
        fitCanvas(st.window);
        st.events.clear();  // the first size is not a change
    } else {
        st.window.width = width;
        st.window.height = height;
        emscripten_set_canvas_element_size(canvasTarget, width, height);
    }
    st.windowMade = true;
    listen(true);
    return &st.window;
}

void drawableSize(Window* window, int& width, int& height) {
    width = window ? window->width : 0;
    height = window ? window->height : 0;
}

bool destroyWindow(Window* window) {
    listen(false);
    state().windowMade = false;
    return window != nullptr;
}

GLContext createContext(Window*, std::string& why) {
    State& st = state();
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    // Offscreen frames are read back after they are drawn, and the last one
    // stays on the canvas.
    attributes.preserveDrawingBuffer = st.offscreen ? EM_TRUE : EM_FALSE;
    st.context = emscripten_webgl_create_context(canvasTarget, &attributes);
    if (st.context <= 0) {
        why = "the browser offers no WebGL";
        st.context = 0;
        return nullptr;
    }
    if (emscripten_webgl_make_context_current(st.context) != EMSCRIPTEN_RESULT_SUCCESS ||
        !glbinding::contextMade(why)) {
        if (why.empty()) why = "the WebGL context could not be made current";
        glbinding::contextGone();
        emscripten_webgl_destroy_context(st.context);
        st.context = 0;
        return nullptr;
    }
    emscripten_set_webglcontextlost_callback(canvasTarget, nullptr, EM_TRUE, onContextLost);
    return reinterpret_cast<GLContext>(static_cast<std::intptr_t>(st.context));
}

bool deleteContext(GLContext context) {
    State& st = state();
    if (!context || !st.context) return false;
    emscripten_set_webglcontextlost_callback(canvasTarget, nullptr, EM_TRUE, nullptr);
    glbinding::contextGone();
    emscripten_webgl_destroy_context(st.context);
    st.context = 0;
    return true;
}

bool makeCurrent(Window*, GLContext context, std::string& why) {
    if (context && emscripten_webgl_make_context_current(state().context) == EMSCRIPTEN_RESULT_SUCCESS) return true;
    why = "the WebGL context could not be made current";
    return false;
}

bool releaseCurrent() { return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS; }

void showWindow(Window*) {}

bool pollEvent(Event& event) {
    State& st = state();
    if (st.interrupt) {
        event = Event{};
        event.type = EventType::Quit;
        return true;
    }
    if (st.events.empty()) return false;
    event = st.events.front();
    st.events.pop_front();
    return true;
}

// The browser hands over events between frames: there is nothing to wait for.
bool waitEvent(Event& event, int) { return pollEvent(event); }

void catchInterrupts() {}
bool interruptRequested() { return state().interrupt; }
void setInterruptRequested(bool requested) { state().interrupt = requested; }

void setWindowTitle(Window*, const char* title) { emscripten_set_window_title(title); }

// The browser shows the canvas once the frame's pass returns.
void swapBuffers(Window*) { glbinding::beforeSwap(); }

bool setSwapInterval(int) { return true; }

void runFrameLoop(FrameStep step, LoopFinish finish) {
    State& st = state();
    st.step = step;
    st.finish = finish;
    emscripten_set_main_loop(loopPass, 0, EM_FALSE);
}

namespace systemclock {

std::uint64_t counterFrequency() { return 1000000; }
std::int64_t counterValue() { return static_cast<std::int64_t>(pageNowMs() * 1000.0); }
std::int64_t monotonicNanoseconds() { return static_cast<std::int64_t>(pageNowMs() * 1e6); }

}  // namespace systemclock

}  // namespace platform
