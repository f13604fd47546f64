// Scenes still to come: they draw nothing yet, so their rows show the
// cleared screen.
#include "scenes/schedule.h"

void drawArcBands() {}
void drawTumblingCubes() {}
