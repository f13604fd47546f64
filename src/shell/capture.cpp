#include "shell/capture.h"

#include <GL/gl.h>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/audio.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/entry.h"
#include "shell/frametimer.h"
#include "shell/run.h"
#include "shell/startup.h"
#include "shell/window.h"

void (*switchDrawing)(bool on) = nullptr;

namespace {

// The most frames submitted to GL and not yet finished.
constexpr std::int64_t framesInFlight = 2;

void placeMusic(const Capture& capture, std::int64_t k) {
    audio::setPosition(musicSync.stream, audio::secondsToBytes(musicSync.stream, frameSeconds(capture, k)));
}

// Whether GL can draw a picture of the settings' size: the largest viewport
// it offers bounds it, whatever the window made.
bool fitsGL(const CaptureSettings& settings, std::string& why) {
    GLint dims[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    if (settings.width <= dims[0] && settings.height <= dims[1]) return true;
    why = "this OpenGL cannot draw " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
          " pixels: its largest viewport (GL_MAX_VIEWPORT_DIMS) is " + std::to_string(dims[0]) + "x" +
          std::to_string(dims[1]);
    return false;
}

// After a window of the settings' size could not be made: what a small one
// says of the largest picture this GL draws, or "".
std::string limitNote(const CaptureSettings& settings) {
    screenWidth = 64;
    screenHeight = 64;
    std::string why;
    if (!openWindow(why)) return "";
    const bool fits = fitsGL(settings, why);
    closeWindow();
    return "; " + (fits ? "the offscreen window of " + std::to_string(settings.width) + "x" +
                              std::to_string(settings.height) + " pixels could not be made" :
                          why);
}

bool shown(const Capture& capture, std::int64_t k) {
    placeMusic(capture, k);
    return musicRow() <= lastDemoRow && !audio::hasEnded(musicSync.stream);
}

}  // namespace

bool openCapture(const CaptureSettings& settings, Capture& capture, std::string& why) {
    beginRun();
    capture = Capture{};
    capture.settings = settings;
    platform::useOffscreenVideo();
    audio::selectClock(audio::Clock::Manual);
    isFullscreen = false;
    screenWidth = settings.width;
    screenHeight = settings.height;
    if (!openWindow(why)) {
        why = "no offscreen OpenGL context could be made: " + why + limitNote(settings);
        return false;
    }
    capture.open = true;
    if (!fitsGL(settings, why)) {
        closeCapture(capture);
        return false;
    }
    startFrameTimer();
    setFixedGLState();
    if (demoStartup() || loadFailed) {
        why = "the data could not be loaded";
        closeCapture(capture);
        return false;
    }
    // Row 0 (or the start row) begins where the start-up left the music.
    capture.startSeconds = static_cast<double>(musicSeconds());
    return true;
}

double frameSeconds(const Capture& capture, std::int64_t k) {
    return capture.startSeconds + static_cast<double>(k) / capture.settings.fps;
}

int frameRow(const Capture& capture, std::int64_t k) {
    placeMusic(capture, k);
    return musicRow();
}

std::int64_t frameCount(const Capture& capture) {
    // The rows only grow with k, so the shown frames are one run from 0.
    std::int64_t lo = 0, hi = 1;
    if (!shown(capture, 0)) return 0;
    while (shown(capture, hi)) {
        lo = hi;
        hi *= 2;
    }
    while (hi - lo > 1) {
        std::int64_t mid = lo + (hi - lo) / 2;
        (shown(capture, mid) ? lo : hi) = mid;
    }
    return hi;
}

std::int64_t firstFrameAtRow(const Capture& capture, std::int64_t count, int row) {
    std::int64_t lo = 0, hi = count;
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        if (frameRow(capture, mid) >= row) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

bool drawNextFrame(Capture& capture) {
    placeMusic(capture, capture.nextFrame);
    ++capture.nextFrame;
    const bool more = renderFrameWithDelta(1000.0 / capture.settings.fps);
    // Frames that are neither presented nor read back would otherwise queue
    // in the GL implementation without limit (gigabytes before a late shot).
    glFlush();
    if (capture.nextFrame % framesInFlight == 0) glFinish();
    return more;
}

bool skipNextFrame(Capture& capture) {
    if (!switchDrawing) return drawNextFrame(capture);
    placeMusic(capture, capture.nextFrame);
    ++capture.nextFrame;
    switchDrawing(false);
    const bool more = renderFrameWithDelta(1000.0 / capture.settings.fps);
    switchDrawing(true);
    return more;
}

void readFrame(const Capture& capture, std::vector<unsigned char>& pixels, PixelLayout layout) {
    const int w = capture.settings.width, h = capture.settings.height;
    const bool rgba = layout == PixelLayout::Rgba;
    pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * (rgba ? 4 : 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, rgba ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
}

std::string rendererName() {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "unknown";
}

void closeCapture(Capture& capture) {
    if (!capture.open) return;
    audio::stopOutput();
    audio::freeOutput();
    closeWindow();
    capture.open = false;
}
