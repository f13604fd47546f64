#include "shell/shotplan.h"

#include <algorithm>

#include "scenes/schedule.h"

ShownFrames shownFrames(const Capture& capture, std::int64_t count) {
    return {count, [&capture](std::int64_t k) { return frameRow(capture, k); },
            [&capture, count](int row) { return firstFrameAtRow(capture, count, row); }, capture.settings.fps};
}

int lastShownRow(const ShownFrames& shown) { return shown.count > 0 ? shown.rowOf(shown.count - 1) : 0; }

std::string neverDrawn(const std::string& what, const ShownFrames& shown) {
    const int lastRow = lastShownRow(shown);
    // Past the last frame shown, the next frame's row says why: the frames
    // step over the demo's last row, or the music ended there.
    if (shown.fps > 0 && shown.count > 0) {
        const int rowAfterLast = shown.rowOf(shown.count);
        if (lastRow < lastDemoRow && rowAfterLast > lastDemoRow) {
            return what + " never drawn at --fps " + std::to_string(shown.fps) + ": one frame shows row " +
                   std::to_string(lastRow) + " and the next row " + std::to_string(rowAfterLast) +
                   ", past the demo's last row " + std::to_string(lastDemoRow) + "; a higher --fps draws it";
        }
    }
    return what + " never drawn: the music ends the demo after row " + std::to_string(lastRow);
}

bool planShots(const ShownFrames& shown, const std::vector<int>& rows, ShotPlan& plan, std::string& why) {
    plan = ShotPlan{};
    for (int row : rows) {
        const std::int64_t k = shown.firstAtOrAfter(row);
        if (k >= shown.count) {
            why = neverDrawn("row " + std::to_string(row) + " is", shown);
            return false;
        }
        plan.frames.push_back(k);
        plan.end = std::max(plan.end, k + 1);
    }
    return true;
}
