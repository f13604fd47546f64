#pragma once
// Which frames to draw for a list of shot rows: the capture tool's --shot and
// the web page's shot mode plan them alike.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/capture.h"

// The frames 0 .. count - 1 that the demo shows, as a plan sees them; the
// rows only grow with the frame.
struct ShownFrames {
    std::int64_t count = 0;
    std::function<int(std::int64_t frame)> rowOf;          // the music row frame k is drawn at
    std::function<std::int64_t(int row)> firstAtOrAfter;  // the first frame at or after `row`; count when none
    int fps = 0;  // frames per second of music time; 0 when messages need not say it
};

// The frames of an open capture, `count` of them (frameCount's); it reads
// `capture`, which must outlive it.
ShownFrames shownFrames(const Capture& capture, std::int64_t count);

// The row of the last frame shown; 0 when none is.
int lastShownRow(const ShownFrames& shown);

// "<what> never drawn: the music ends the demo after row R", where `what`
// names the rows ("row 760 is", "rows 700 to 753 are"); or, when the frame
// after the last one shown is already past the demo's last row, that the
// frames step over it at this many frames per second.
std::string neverDrawn(const std::string& what, const ShownFrames& shown);

struct ShotPlan {
    std::vector<std::int64_t> frames;  // for each row, in the order given, the frame that shows it
    std::int64_t end = 0;              // frames 0 .. end - 1 are drawn to reach every shot
};

// For each row the first frame at or after it. False, with `why` saying so
// (neverDrawn), at the first row that no frame shown reaches.
bool planShots(const ShownFrames& shown, const std::vector<int>& rows, ShotPlan& plan, std::string& why);
