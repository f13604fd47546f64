#include "scenes/schedule.h"

#include "music/musicsync.h"

void (*sceneDrawRecorder)(const Scene& scene) = nullptr;

void drawScheduledScene() {
    for (int i = 0; i < sceneCount; ++i) {
        const Scene& s = scenes[i];
        // The row is read for each bound, the lower one first; the first
        // scene has none, so that it also draws the rows below 0.
        if ((i > 0 && musicRow() < s.firstRow) || musicRow() > s.lastRow) continue;
        if (sceneDrawRecorder) {
            sceneDrawRecorder(s);
        } else {
            s.draw();
        }
    }
}

int scheduleRangeOf(int row) {
    for (int i = 0; i < scheduleRangeCount; ++i) {
        if (row <= scheduleRanges[static_cast<std::size_t>(i)].lastRow) return i;
    }
    return scheduleRangeCount - 1;
}

void resetScenes() {
    for (const Scene& s : scenes) s.reset();
}
