// Scenes still to come: they draw nothing yet, so their rows show the
// cleared screen.
#include "scenes/arc_bands.h"
#include "scenes/closing_wheels.h"
#include "scenes/credits_field.h"
#include "scenes/greetings.h"
#include "scenes/tumbling_cubes.h"

void drawArcBands() {}
void drawTumblingCubes() {}
void drawCreditsField() {}
void drawGreetings() {}
void drawClosingWheels() {}
