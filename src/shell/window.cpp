#include "shell/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <limits>

#include "platform/messagebox.h"
#include "platform/window.h"

int screenWidth = 1280;
int screenHeight = 720;
int screenBits = 32;
bool isFullscreen = true;
bool desktopFullscreen = false;
int displayIndex = -1;
bool isActive = true;
std::array<bool, 256> keys{};
platform::Window* windowHandle = nullptr;
platform::GLContext renderContext = nullptr;

void resetWindowState() {
    screenWidth = 1280;
    screenHeight = 720;
    screenBits = 32;
    isFullscreen = true;
    desktopFullscreen = false;
    displayIndex = -1;
    isActive = true;
    keys = {};
}

namespace {

const char* const windowTitle = "Tarnwick Demo";
constexpr int windowedX = 1400;
constexpr int windowedY = 0;
constexpr int inactiveEventWaitMs = 10;

// Closes what exists, shows `text` and hands up what failed with the system's
// reason.
bool failWith(const char* text, const char* what, const std::string& reason, std::string& why) {
    closeWindow();
    platform::messageBox(text, "ERROR", platform::BoxButtons::Ok, platform::BoxIcon::Exclamation);
    why = reason.empty() ? what : std::string(what) + ": " + reason;
    return false;
}

void shutdownError(const char* text) {
    platform::messageBox(text, "SHUTDOWN ERROR", platform::BoxButtons::Ok, platform::BoxIcon::Information);
}

// An offset that centres `size` on `span`, but never before its start (and
// never past the largest int, whatever a display reports).
int centred(int start, int span, int size) {
    long long offset = static_cast<long long>(start) + (span > size ? (static_cast<long long>(span) - size) / 2 : 0);
    return static_cast<int>(std::min<long long>(offset, std::numeric_limits<int>::max()));
}

bool lies(const platform::Rect& area, int x, int y, int width, int height) {
    // In 64 bits: the sums cannot overflow whatever a display reports.
    auto right = static_cast<long long>(x) + width, bottom = static_cast<long long>(y) + height;
    return x >= area.x && y >= area.y && right <= static_cast<long long>(area.x) + area.width &&
           bottom <= static_cast<long long>(area.y) + area.height;
}

}  // namespace

WindowPosition windowedPosition(const std::vector<platform::Rect>& usableAreas, int width, int height) {
    if (usableAreas.empty()) return {windowedX, windowedY};
    for (const platform::Rect& area : usableAreas) {
        if (lies(area, windowedX, windowedY, width, height)) return {windowedX, windowedY};
    }
    const platform::Rect& primary = usableAreas.front();
    return {centred(primary.x, primary.width, width), centred(primary.y, primary.height, height)};
}

bool openWindow(std::string& why) {
    why.clear();
    std::string reason;
    if (!platform::initVideo(reason)) {
        // Nothing to close yet.
        platform::messageBox("Failed To Register The Window Class.", "ERROR", platform::BoxButtons::Ok,
                             platform::BoxIcon::Exclamation);
        why = "the video system could not start: " + reason;
        return false;
    }

    const int display = displayIndex < 0 ? 0 : displayIndex;
    if (display >= platform::displayCount()) {
        why = "--display " + std::to_string(display) + ": there is no such display (" +
                        std::to_string(platform::displayCount()) + " found, numbered from 0)";
        platform::quitVideo();
        return false;
    }
    if (desktopFullscreen) isFullscreen = true;

    if (isFullscreen && desktopFullscreen) {
        platform::showCursor(false);
    } else if (isFullscreen) {
        if (!platform::displayOffersMode(display, screenWidth, screenHeight, screenBits)) {
            platform::BoxAnswer answer = platform::messageBox(
                "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                "Vexo GL", platform::BoxButtons::YesNo, platform::BoxIcon::Exclamation);
            // A signal while the question is asked ends the run as it would
            // any other time: no further box.
            if (answer == platform::BoxAnswer::Interrupted) return false;
            if (answer != platform::BoxAnswer::Yes) {
                platform::messageBox("Program Will Now Close.", "ERROR", platform::BoxButtons::Ok,
                                     platform::BoxIcon::Stop);
                return false;
            }
            isFullscreen = false;
        } else {
            platform::showCursor(false);
        }
    }

    if (!platform::setPixelFormat(screenBits, 16, reason)) {
        return failWith("Can't Find A Suitable PixelFormat.", "no suitable pixel format", reason, why);
    }

    WindowPosition at;  // fullscreen: (0, 0)
    if (!isFullscreen) {
        std::vector<platform::Rect> areas = platform::displayUsableAreas();
        if (displayIndex >= 0 && displayIndex < static_cast<int>(areas.size())) areas = {areas[displayIndex]};
        at = windowedPosition(areas, screenWidth, screenHeight);
    }
    const platform::WindowMode mode = !isFullscreen       ? platform::WindowMode::Windowed
                                      : desktopFullscreen ? platform::WindowMode::DesktopFullscreen
                                                          : platform::WindowMode::Fullscreen;
    windowHandle = platform::createWindow(windowTitle, at.x, at.y, screenWidth, screenHeight, mode, display, reason);
    if (!windowHandle) return failWith("Window Creation Error.", "the window could not be made", reason, why);

    renderContext = platform::createContext(windowHandle, reason);
    if (!renderContext) {
        return failWith("Can't Create A GL Rendering Context.", "no OpenGL context could be made", reason, why);
    }
    if (!platform::makeCurrent(windowHandle, renderContext, reason)) {
        return failWith("Can't Activate The GL Rendering Context.", "the OpenGL context could not be made current",
                        reason, why);
    }

    platform::showWindow(windowHandle);
    // The projection is set for the demo's size whatever the client area is;
    // on the whole desktop, the picture is letterboxed into it instead.
    if (desktopFullscreen) {
        int width = 0, height = 0;
        platform::drawableSize(windowHandle, width, height);
        letterboxViewport(width, height);
    } else {
        resizeViewport(screenWidth, screenHeight);
    }
    if (!applyBaseGLState()) return failWith("Initialization Failed.", "the GL state could not be set", "", why);
    return true;
}

void closeWindow() {
    if (isFullscreen) {
        platform::leaveFullscreen(windowHandle);
        platform::showCursor(true);
    }
    if (renderContext) {
        if (!platform::releaseCurrent()) shutdownError("Release Of DC And RC Failed.");
        if (!platform::deleteContext(renderContext)) shutdownError("Release Rendering Context Failed.");
        renderContext = nullptr;
    }
    if (windowHandle) {
        if (!platform::destroyWindow(windowHandle)) shutdownError("Could Not Release hWnd.");
        windowHandle = nullptr;
    }
    platform::quitVideo();
}

namespace {

// The viewport, then the projection for a picture of width x height.
void setViewportAndProjection(int x, int y, int viewWidth, int viewHeight, int width, int height) {
    glViewport(x, y, viewWidth, viewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace

void resizeViewport(int width, int height) {
    if (height == 0) height = 1;
    setViewportAndProjection(0, 0, width, height, width, height);
}

ViewportRect letterbox(int width, int height, int pictureWidth, int pictureHeight) {
    ViewportRect r;
    if (width <= 0 || height <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return r;
    // In 64 bits: the products cannot overflow whatever a display reports.
    const long long w = width, h = height, pw = pictureWidth, ph = pictureHeight;
    if (w * ph >= h * pw) {  // wider than the picture: bars left and right
        r.height = height;
        r.width = static_cast<int>((h * pw + ph / 2) / ph);
    } else {  // taller: bars above and below
        r.width = width;
        r.height = static_cast<int>((w * ph + pw / 2) / pw);
    }
    r.x = (width - r.width) / 2;
    r.y = (height - r.height) / 2;
    return r;
}

void letterboxViewport(int width, int height) {
    const ViewportRect r = letterbox(width, height, screenWidth, screenHeight);
    if (r.width <= 0 || r.height <= 0) {
        resizeViewport(screenWidth, screenHeight);  // no surface size known
        return;
    }
    setViewportAndProjection(r.x, r.y, r.width, r.height, screenWidth, screenHeight);
}

bool applyBaseGLState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

int eventWaitMs() { return isActive ? 0 : inactiveEventWaitMs; }

WindowAction handleWindowEvent(const platform::Event& event) {
    using platform::EventType;
    switch (event.type) {
        case EventType::Quit:
            // The window stays until closeWindow; the loop ends on this.
            return WindowAction::Quit;
        case EventType::KeyDown:
        case EventType::KeyUp:
            if (event.key > 0 && event.key < 256) keys[event.key] = event.type == EventType::KeyDown;
            return WindowAction::None;
        case EventType::Minimised:
            isActive = false;
            return WindowAction::None;
        case EventType::Restored:
            isActive = true;
            return WindowAction::None;
        case EventType::Resized:
            if (desktopFullscreen) {
                int width = 0, height = 0;
                platform::drawableSize(windowHandle, width, height);
                letterboxViewport(width, height);
            } else {
                resizeViewport(event.width, event.height);
            }
            return WindowAction::None;
        case EventType::WindowLost:
            return WindowAction::WindowLost;
        case EventType::Other:
            return WindowAction::None;  // focus changes leave the demo running
    }
    return WindowAction::None;
}
