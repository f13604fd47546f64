#include "scenes/schedule.h"

#include "music/musicsync.h"
#include "scenes/arc_bands.h"
#include "scenes/closing_wheels.h"
#include "scenes/credits_field.h"
#include "scenes/greetings.h"
#include "scenes/logo_tiles.h"
#include "scenes/opening_squares.h"
#include "scenes/tumbling_cubes.h"

SceneSet demoScenes() {
    return {drawOpeningSquares, drawArcBands, drawLogoTiles, drawTumblingCubes,
            drawCreditsField,   drawGreetings, drawClosingWheels};
}

SceneSet scheduledScenes = demoScenes();

namespace {

// Reads the row twice, lower bound first, as the schedule's tests do.
bool rowWithin(SceneRange scene) { return musicRow() >= sceneFirstRow(scene) && musicRow() <= sceneLastRow(scene); }

}  // namespace

void drawScheduledScene() {
    const SceneSet& s = scheduledScenes;
    if (musicRow() <= sceneLastRow(openingSquaresRange)) s.openingSquares();  // negative rows too
    if (rowWithin(arcBandsRange)) s.arcBands();
    if (rowWithin(logoTilesRange)) s.logoTiles();
    if (rowWithin(tumblingCubesRange)) s.tumblingCubes();
    if (rowWithin(creditsFieldRange)) s.creditsField();
    if (rowWithin(greetingsRange)) s.greetings();
    if (rowWithin(closingWheelsRange)) s.closingWheels();
}

int scheduleRangeOf(int row) {
    for (int i = 0; i < scheduleRangeCount; ++i) {
        if (row <= scheduleRanges[i].lastRow) return i;
    }
    return scheduleRangeCount - 1;
}

void resetScenes() {
    openingSquares = OpeningSquaresState{};
    spinningArcBands = ArcBandsState{};
    logoTiles = LogoTilesState{};
    tumblingCubes = TumblingCubesState{};
    creditsField = CreditsFieldState{};
    greetings = GreetingsState{};
    closingWheels = ClosingWheelsState{};
}
