#pragma once
// The rows at which the music accents what the pictures do: the eight
// squares, the flash and the drop, the groove and its new layers, the
// logo's figure and impact, the ten cubes, the credits and the sung lead,
// the nine greetings, the finale, its bursts every second beat and the
// closing chord.
#include <algorithm>
#include <vector>

inline std::vector<int> accentRows() {
    std::vector<int> rows = {0,   6,   8,   12,  16,  22,  24,  28,  32,  40,  64,  95,  126, 154, 193, 216,
                             232, 236, 240, 242, 243, 248, 252, 256, 258, 259, 280, 360, 483, 494, 505, 514,
                             526, 546, 562, 578, 583, 608, 720};
    for (int r = 612; r <= 748; r += 8) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    return rows;
}
