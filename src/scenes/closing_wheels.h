#pragma once
// The last scene: three textured wheels spin and tumble in front of a wide
// backdrop and burst open segment by segment every second beat; from row 720
// a caption opens in front of everything, from row 740 backdrop and wheels
// fade to black, from row 750 the caption too.

#include <array>

constexpr int wheelSegments = 50;

struct ClosingWheelsState {
    bool closingStarted = false;
    float wheelTilt = 0.0f;   // tumble of the wheel group about x, degrees; + 1 per 20 ms
    double wheelSpin = 0.0;   // spin of every wheel about its own axis, degrees; + 1 per 12 ms
    float sceneFade = 0.0f;   // backdrop and wheels show at grey 1 - sceneFade
    float captionFade = 0.0f; // the caption shows at grey 1 - captionFade
    double segmentBurst[wheelSegments] = {};  // axial offset of each segment, shared by the wheels

    // True draws every segment of every band in a block of its own, turned
    // and moved by the matrix stack. False (the demo) sends each wheel in one
    // block, the segments moved by arithmetic, and only the quads that reach
    // past the edge of the view on their own: the same picture, but GL is not
    // made to finish a block 600 times a frame.
    bool drawSegmentsApart = false;
};

extern ClosingWheelsState closingWheels;

// Point k of ring i: (sin(7.2 k deg) R_i, cos(7.2 k deg) R_i), R_0 = 1 and
// R_1 = 1 + 1/1.4. Fixed for the whole run.
struct RingPoint {
    double x, y;
};
struct WheelRing {
    std::array<std::array<RingPoint, wheelSegments>, 2> point;  // [ring][k]
};
extern const WheelRing wheelRing;

// One wheel centred on the current origin, its axis along z, half as deep as
// `halfDepth` at its inner edges: a rim of radius R_1 at z = 0, conical caps
// to the centre, 50 segments each opened by its segmentBurst along the axis
// and turned by wheelSpin. Binds nothing and sets no colour; the matrix is
// restored.
void drawWheel(double halfDepth);

// One frame of the scene; animates by frameDeltaMs.
void drawClosingWheels();
