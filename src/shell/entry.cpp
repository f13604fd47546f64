#include "shell/entry.h"

#include <GL/gl.h>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/audio.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/frametimer.h"
#include "shell/startup.h"
#include "shell/window.h"

void setFixedGLState() {
    glEnable(GL_TEXTURE_2D);
    applyBaseGLState();  // the rest of the fixed state, set again
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

namespace {

void shutDown() {
    audio::stopOutput();
    audio::freeOutput();
    closeWindow();
}

}  // namespace

namespace {

// Everything in a frame after its timing: clear, the scenes, the end test and
// the title.
bool drawTimedFrame() {
    recordFrameStatistics();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawScheduledScene();
    // The music also ends the demo when it is shorter than the schedule.
    if (musicRow() > lastDemoRow || audio::hasEnded(musicSync.stream)) return false;
    if (updateTitleText()) platform::setWindowTitle(windowHandle, titleText);
    return true;
}

}  // namespace

bool renderFrame() {
    advanceSync();  // the values it yields are not used by the picture
    tickFrameTimer();
    return drawTimedFrame();
}

bool renderFrameWithDelta(double deltaMs) {
    advanceSync();
    stepFrameTimer(deltaMs);
    return drawTimedFrame();
}

int runDemo(const DemoOptions& options) {
    platform::catchInterrupts();
    if (options.windowed) isFullscreen = false;
    startRow = options.startRow;
    if (!openWindow()) return 1;
    startFrameTimer();
    platform::setSwapInterval(1);  // without vertical sync the demo still runs
    setFixedGLState();

    const bool failed = demoStartup() || loadFailed;
    printLoadMessages(stderr, "tarnwick");
    if (failed) {
        shutDown();
        return 1;
    }

    for (;;) {
        platform::Event event;
        // Minimised, an idle pass draws nothing: it waits for an event first.
        if (platform::waitEvent(event, eventWaitMs())) {
            if (handleWindowEvent(event) == WindowAction::Quit) break;
            continue;
        }
        if (keys[platform::vkEscape]) break;
        if (isActive && !renderFrame()) break;
        platform::swapBuffers(windowHandle);
    }

    shutDown();
    return 0;
}
