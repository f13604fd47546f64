#pragma once
// The rows at which the music accents what the pictures do: the eight
// squares, the flash and the drop, the groove and its new layers, the
// logo's figure and impact, the ten cubes, the credits and the sung lead,
// the nine greetings, the finale, its bursts every second beat and the
// closing chord.
// The scene starts come from the cue table; the rest are moments within
// the scenes.
#include <algorithm>
#include <vector>

#include "scenes/schedule.h"

inline std::vector<int> accentRows() {
    std::vector<int> rows = {scene("opening squares").firstRow, scene("arc bands").firstRow,
                             scene("logo tiles").firstRow + 1, scene("credits field").firstRow,
                             scene("closing wheels").firstRow};
    for (int r : {6,   8,   12,  16,  22,  24,  28,  32,  40,  95,  126, 154, 216, 232, 236, 240, 242, 243, 248,
                  252, 256, 258, 259, 360, 483, 494, 505, 514, 526, 546, 562, 578, 583, 720})
        rows.push_back(r);
    for (int r = 612; r <= 748; r += 8) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    return rows;
}
