#include "scenes/framedelta.h"

double frameDeltaMs = 0.0;
