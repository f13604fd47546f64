#include "shell/shotplan.h"

#include <algorithm>

ShownFrames shownFrames(const Capture& capture, std::int64_t count) {
    return {count, [&capture](std::int64_t k) { return frameRow(capture, k); },
            [&capture, count](int row) { return firstFrameAtRow(capture, count, row); }};
}

int lastShownRow(const ShownFrames& shown) { return shown.count > 0 ? shown.rowOf(shown.count - 1) : 0; }

std::string neverDrawn(const std::string& what, const ShownFrames& shown) {
    return what + " never drawn: the music ends the demo after row " + std::to_string(lastShownRow(shown));
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
