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

void drawScheduledScene() {
    const SceneSet& s = scheduledScenes;
    if (musicRow() < 44) s.openingSquares();
    if (musicRow() >= 64 && musicRow() < 192) s.arcBands();
    if (musicRow() >= 192 && musicRow() < 224) s.logoTiles();
    if (musicRow() >= 228 && musicRow() < 276) s.tumblingCubes();
    if (musicRow() >= 280 && musicRow() < 472) s.creditsField();
    if (musicRow() > 472 && musicRow() < 607) s.greetings();
    if (musicRow() > 607 && musicRow() < 752) s.closingWheels();
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
