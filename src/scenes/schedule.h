#pragma once
// Which scene draws at which music row.
#include <array>
#include <string_view>
#include <type_traits>

#include "scenes/arc_bands.h"
#include "scenes/closing_wheels.h"
#include "scenes/credits_field.h"
#include "scenes/greetings.h"
#include "scenes/logo_tiles.h"
#include "scenes/opening_squares.h"
#include "scenes/tumbling_cubes.h"

// The last music row that is drawn; the demo ends once the row passes it.
inline constexpr int lastDemoRow = 753;

// Puts a scene's state record back to its start values, as at program start.
template <auto& state>
void resetState() {
    state = std::remove_reference_t<decltype(state)>{};
}

// One scene: its name (in reports and the demo's usage text), the music rows
// it draws on, the function that draws a frame of it and the one that puts
// its state back to its start values.
struct Scene {
    const char* name;
    int firstRow;
    int lastRow;
    void (*draw)();
    void (*reset)();
};

// The scenes in playing order. This is the one place a scene and its cue rows
// are written: the schedule, resetScenes, the demo's usage text, the capture
// tool and the asset generator's score all read them from here. The first
// scene also draws on the rows below 0.
inline constexpr Scene scenes[] = {
    {"opening squares", 0, 43, drawOpeningSquares, resetState<openingSquares>},
    {"arc bands", 64, 191, drawArcBands, resetState<spinningArcBands>},
    {"logo tiles", 192, 223, drawLogoTiles, resetState<logoTiles>},
    {"tumbling cubes", 228, 275, drawTumblingCubes, resetState<tumblingCubes>},
    {"credits field", 280, 471, drawCreditsField, resetState<creditsField>},
    {"greetings", 473, 606, drawGreetings, resetState<greetings>},
    {"closing wheels", 608, 751, drawClosingWheels, resetState<closingWheels>},
};
inline constexpr int sceneCount = static_cast<int>(sizeof scenes / sizeof scenes[0]);

// The scene of that name. Where the result must be a constant, a name that
// is not in the table does not compile; elsewhere it throws.
constexpr const Scene& scene(std::string_view name) {
    for (const Scene& s : scenes)
        if (name == s.name) return s;
    throw "no scene of that name";
}

// A range of rows of the schedule: a scene's, or "none" for rows between
// scenes and after the last one, which show only the cleared screen.
struct ScheduleRange {
    const char* name;
    int firstRow;
    int lastRow;
};

namespace schedule_detail {

// The scene ranges with the gaps between them, up to lastDemoRow; with
// `out` null, only counted.
constexpr int fillRanges(ScheduleRange* out) {
    int count = 0, next = 0;
    const auto add = [&](const char* name, int first, int last) {
        if (out) out[count] = {name, first, last};
        ++count;
    };
    for (const Scene& s : scenes) {
        if (s.firstRow > next) add("none", next, s.firstRow - 1);
        add(s.name, s.firstRow, s.lastRow);
        next = s.lastRow + 1;
    }
    if (next <= lastDemoRow) add("none", next, lastDemoRow);
    return count;
}

template <int count>
constexpr std::array<ScheduleRange, count> ranges() {
    std::array<ScheduleRange, count> r{};
    fillRanges(r.data());
    return r;
}

constexpr bool scenesInOrder() {
    int next = 0;
    for (const Scene& s : scenes) {
        if (s.firstRow < next || s.lastRow < s.firstRow) return false;
        next = s.lastRow + 1;
    }
    return scenes[0].firstRow == 0 && next <= lastDemoRow + 1;
}

}  // namespace schedule_detail

static_assert(schedule_detail::scenesInOrder(),
              "the scenes start at row 0 and follow each other without overlapping, up to lastDemoRow");

// Rows 0 to lastDemoRow as ranges in playing order, for reports (the first
// range also holds the rows below 0).
inline constexpr auto scheduleRanges = schedule_detail::ranges<schedule_detail::fillRanges(nullptr)>();
inline constexpr int scheduleRangeCount = static_cast<int>(scheduleRanges.size());
// The index of the range that holds `row`.
int scheduleRangeOf(int row);

// When set, the schedule calls this in place of each scene's draw function
// (tests record what would draw); null in the demo.
extern void (*sceneDrawRecorder)(const Scene& scene);

// Puts every scene's state back to its start values, as at program start
// (for runs that draw the demo more than once in one process).
void resetScenes();

// Calls every scene whose row range holds the music row. Each test reads the
// row afresh, so two neighbouring scenes can both draw in one frame.
void drawScheduledScene();
