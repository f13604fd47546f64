#include "shell/entry.h"

#include <GL/gl.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/audio.h"
#include "platform/counter.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/framelog.h"
#include "shell/frametimer.h"
#include "shell/run.h"
#include "shell/swaplead.h"
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
    closeFrameLog();
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

namespace {

// The run in progress: its program name and the exit code it ends with.
const char* runProgram = "";
int runExitCode = 0;
double userOffsetSeconds = 0;  // --av-offset
SwapLead swapLead;

// One pass of the frame loop: every waiting event, then one frame. False when
// the run ends.
bool demoStep() {
    platform::Event event;
    // Minimised, an idle pass draws nothing: it waits for an event first.
    while (platform::waitEvent(event, eventWaitMs())) {
        const WindowAction action = handleWindowEvent(event);
        if (action == WindowAction::Quit) return false;
        if (action == WindowAction::WindowLost) {
            std::fprintf(stderr, "%s: the window system took the window away; ending the run\n", runProgram);
            runExitCode = 1;
            return false;
        }
        // Checked at each event: Escape pressed and let go between two slow
        // frames still ends the run.
        if (keys[platform::vkEscape]) return false;
    }
    if (!isActive) {
        platform::swapBuffers(windowHandle);
        return true;
    }
    // The position the frame shows is the one its scenes read, for the
    // moment it will be seen: the swap, swapLead after the reading.
    const std::int64_t readNs = platform::monotonicNanoseconds();
    const double shown = frameLogOpen() ? musicSeconds() : 0.0;
    if (!renderFrame()) return false;
    platform::swapBuffers(windowHandle);
    logFrame(shown);
    swapLead.add(static_cast<double>(platform::monotonicNanoseconds() - readNs) / 1e9);
    audio::setOutputOffset(userOffsetSeconds - swapLead.seconds());
    return true;
}

}  // namespace

int runDemo(const DemoOptions& options) {
    std::string failure;
    platform::catchInterrupts();
    // A message to a stderr that nobody reads any more must not end the run
    // (nor turn its exit status into a signal).
    std::signal(SIGPIPE, SIG_IGN);
    beginRun();
    userOffsetSeconds = options.avOffsetMs / 1000.0;
    swapLead = SwapLead();
    audio::setOutputOffset(userOffsetSeconds);
    if (!options.frameLog.empty() && !openFrameLog(options.frameLog, failure)) {
        std::fprintf(stderr, "%s: %s\n", options.program, failure.c_str());
        return 1;
    }
    runProgram = options.program;
    runExitCode = 0;
    if (!chooseDataFolder(options.dataDir, failure)) {
        std::fprintf(stderr, "%s: %s\n", options.program, failure.c_str());
        return 1;
    }
    if (options.windowed) isFullscreen = false;
    desktopFullscreen = options.desktopFullscreen && !options.windowed;
    displayIndex = options.display;
    startRow = options.startRow;
    // A signal while a question is asked is a normal end.
    if (!openWindow(failure)) {
        if (!failure.empty()) std::fprintf(stderr, "%s: %s\n", options.program, failure.c_str());
        return platform::interruptRequested() ? 0 : 1;
    }
    startFrameTimer();
    platform::setSwapInterval(1);  // without vertical sync the demo still runs
    setFixedGLState();

    const bool failed = demoStartup() || loadFailed;
    printLoadMessages(stderr, options.program);
    if (failed) {
        shutDown();
        return 1;
    }
    // On the desktop this returns once the run is over; where the browser
    // drives the frames it returns at once, and the run ends later.
    platform::runFrameLoop(demoStep, shutDown);
    return runExitCode;
}
