// The demo's entry in a web page. The page loads the data into the file
// system's /data, decodes the music, and then calls one of these (they are
// exported by name; nothing here sees the browser):
//
//   tarnwick_play(row, frameLog)
//                        plays from music row `row` with its music, the
//                        picture letterboxed into the canvas; 1 when it could
//                        not start, 2 for a row out of range (the messages
//                        went to stderr). The page's Module.onRunEnd is
//                        called when the run ends. A frameLog path that is
//                        not empty gets the frame log (one line per frame:
//                        the page's clock in nanoseconds and the music
//                        position shown) in the program's file system.
//   tarnwick_shot(row)   draws, without sound, on the manual clock at 60 frames
//                        a second, every frame from row 0 to the first frame of
//                        row `row`, as the capture tool's --shot does, into a
//                        1280x720 canvas, and leaves that frame on it; the
//                        page's title then says "shot ROW ready" or
//                        "shot ROW failed: <reason>". Called again with a
//                        later row, it draws on from there (a test takes
//                        several shots in one pass); with an earlier row, it
//                        begins a new run from row 0.
//   tarnwick_music_row() the music row now (the page's test reads it).
//   tarnwick_frames_drawn(), tarnwick_frame_delta_ms()
//                        the frames drawn in this run, and the last one's
//                        time in the frame statistics (the test reads them).
#include <chrono>
#include <cstdio>
#include <string>

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/capture.h"
#include "shell/entry.h"
#include "shell/frametimer.h"
#include "shell/shotplan.h"
#include "shell/startup.h"
#include "shell/window.h"

namespace {

constexpr const char* program = "tarnwick";
constexpr const char* dataFolder = "/data";
// How long one pass of the browser's frame loop may draw shot frames before
// it lets the page repaint and take its events.
constexpr double shotPassMs = 50;

struct Shot {
    Capture capture;
    bool open = false;
    std::int64_t count = 0;  // the frames the demo shows
    int row = 0;
    std::int64_t frame = 0;  // the frame that is shot
};
Shot shot;

void showShotResult(const std::string& outcome) {
    const std::string title = "shot " + std::to_string(shot.row) + " " + outcome;
    platform::setWindowTitle(windowHandle, title.c_str());
}

void failShot(const std::string& why) {
    std::fprintf(stderr, "%s: shot %d failed: %s\n", program, shot.row, why.c_str());
    showShotResult("failed: " + why);
}

bool shotStep() {
    const auto start = std::chrono::steady_clock::now();
    while (shot.capture.nextFrame <= shot.frame) {
        drawNextFrame(shot.capture);
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        if (spent.count() > shotPassMs) break;
    }
    return shot.capture.nextFrame <= shot.frame;
}

// The shot stays on the canvas: the capture is left open.
void shotDone() { showShotResult("ready"); }

// A new run from row 0 for the shots (the one before, if any, closed first).
bool openShotRun() {
    if (shot.open) closeCapture(shot.capture);
    std::string why;
    if (!chooseDataFolder(dataFolder, why)) {
        failShot(why);
        return false;
    }
    shot.open = openCapture(CaptureSettings{}, shot.capture, why);
    printLoadMessages(stderr, program);
    if (!shot.open) {
        failShot(why);
        return false;
    }
    shot.count = frameCount(shot.capture);
    return true;
}

}  // namespace

extern "C" {

int tarnwick_play(int row, const char* frameLog) {
    DemoOptions options;
    options.program = program;
    options.dataDir = dataFolder;
    options.frameLog = frameLog ? frameLog : "";
    options.desktopFullscreen = true;
    // Refused as the desktop's --start-row refuses it, with the page's name
    // for it.
    if (row < 0 || row > lastDemoRow) {
        std::fprintf(stderr, "%s: ?start-row= needs a music row from 0 to %d, not %d\n", program, lastDemoRow, row);
        return 2;
    }
    options.startRow = row;
    return runDemo(options);
}

void tarnwick_shot(int row) {
    shot.row = row;
    if (row < 0 || row > lastDemoRow) {
        failShot("the row must be a music row from 0 to " + std::to_string(lastDemoRow));
        return;
    }
    if (!shot.open && !openShotRun()) return;
    ShotPlan plan;
    std::string why;
    if (!planShots(shownFrames(shot.capture, shot.count), {row}, plan, why)) {
        failShot(why);
        return;
    }
    std::int64_t frame = plan.frames[0];
    // A frame already passed is drawn by a second run from row 0, which
    // draws what the first did.
    if (frame < shot.capture.nextFrame - 1) {
        if (!openShotRun()) return;
        frame = firstFrameAtRow(shot.capture, shot.count, row);
    }
    shot.frame = frame;
    platform::runFrameLoop(shotStep, shotDone);
}

int tarnwick_music_row() { return musicRow(); }

int tarnwick_frames_drawn() { return totalFrames; }

double tarnwick_frame_delta_ms() { return frameDeltaMs; }

}  // extern "C"
