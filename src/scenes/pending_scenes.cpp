// Scenes still to come: they draw nothing yet, so their rows show the
// cleared screen.
#include "scenes/closing_wheels.h"
#include "scenes/credits_field.h"
#include "scenes/greetings.h"

void drawCreditsField() {}
void drawGreetings() {}
void drawClosingWheels() {}
