#pragma once
// The last scene: three bursting wheels before a backdrop, and the end caption.

void drawClosingWheels();
