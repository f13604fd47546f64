#pragma once
// The fourth scene: ten small textured cubes appearing on the beat, each
// tumbling about a tilted axis, the group flying at the viewer at the end.

struct TumblingCubesState {
    // Degrees; every cube turns by one of these four.
    float cubeAngle1 = 0;  // 50°/s
    float cubeAngle2 = 0;  // about 4.1°/s
    float cubeAngle3 = 0;  // 100°/s
    float cubeAngle4 = 0;  // 20°/s
    float cubeApproach = 0;  // how far the group has come towards the viewer, 20 units/s from row 264
};

extern TumblingCubesState tumblingCubes;

// Per frame, music rows 228 to 275. Leaves the bord texture bound, blending
// off, the depth test on and the matrix translated.
void drawTumblingCubes();
