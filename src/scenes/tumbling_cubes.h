#pragma once
// The fourth scene: ten textured cubes tumbling in on the beat.

void drawTumblingCubes();
