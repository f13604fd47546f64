#pragma once
// Which scene draws at which music row.

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

// Calls every scene whose row range holds the music row. Each test reads the
// row afresh, so two neighbouring scenes can both draw in one frame.
void drawScheduledScene();

void drawOpeningSquares();
void drawArcBands();
void drawLogoTiles();
void drawTumblingCubes();
