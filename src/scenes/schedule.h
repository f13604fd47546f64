#pragma once
// Which scene draws at which music row.

// The last music row that is drawn; the demo ends once the row passes it.
inline constexpr int lastDemoRow = 753;

// The cue table: the schedule's row ranges in playing order, named for
// reports; "none" for the rows that show only the cleared screen. The first
// range also holds the rows below 0. This is the one place the scene cues are
// written: the schedule, the demo's usage text, the capture tool and the asset
// generator's score all read them from here.
struct ScheduleRange {
    const char* name;
    int firstRow;
    int lastRow;
};
inline constexpr ScheduleRange scheduleRanges[] = {
    {"opening squares", 0, 43}, {"none", 44, 63},         {"arc bands", 64, 191},      {"logo tiles", 192, 223},
    {"none", 224, 227},         {"tumbling cubes", 228, 275}, {"none", 276, 279},     {"credits field", 280, 471},
    {"none", 472, 472},         {"greetings", 473, 606},  {"none", 607, 607},          {"closing wheels", 608, 751},
    {"none", 752, 753},
};
inline constexpr int scheduleRangeCount = sizeof scheduleRanges / sizeof scheduleRanges[0];
// Each scene's range in the table.
enum SceneRange : int {
    openingSquaresRange = 0,
    arcBandsRange = 2,
    logoTilesRange = 3,
    tumblingCubesRange = 5,
    creditsFieldRange = 7,
    greetingsRange = 9,
    closingWheelsRange = 11,
};
constexpr int sceneFirstRow(SceneRange scene) { return scheduleRanges[scene].firstRow; }
constexpr int sceneLastRow(SceneRange scene) { return scheduleRanges[scene].lastRow; }
// The index of the range that holds `row`.
int scheduleRangeOf(int row);

struct SceneSet {
    void (*openingSquares)();
    void (*arcBands)();
    void (*logoTiles)();
    void (*tumblingCubes)();
    void (*creditsField)();
    void (*greetings)();
    void (*closingWheels)();
};

// The scenes the schedule calls; tests may put recorders in their place.
extern SceneSet scheduledScenes;
SceneSet demoScenes();

// Puts every scene's state back to its start values, as at program start
// (for runs that draw the demo more than once in one process).
void resetScenes();

// Calls every scene whose row range holds the music row. Each test reads the
// row afresh, so two neighbouring scenes can both draw in one frame.
void drawScheduledScene();
