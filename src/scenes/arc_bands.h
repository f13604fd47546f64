#pragma once
// The second scene: nine thin arc bands spinning about the view axis, each
// swinging in depth at its own rate, the group turning about the vertical
// axis in two windows.

inline constexpr int arcBandCount = 9;

// One band as the scene last filled it. Points and divisions stay unrounded
// here and are truncated toward zero when the band is drawn.
struct ArcBand {
    float red = 0, green = 0, blue = 0;
    float points = 0;     // points along the arc; 0 or 1 draws nothing
    float divisions = 0;  // steps that make a full circle
    float innerRadius = 0, outerRadius = 0;
    float spin = 0;       // degrees about the view axis
    float depth = 0;      // offset along the view axis
};

struct ArcBandsState {
    ArcBand arcBands[arcBandCount] = {};  // drawn in index order; unfilled ones draw nothing
    // Phases in degrees, driven by the frame delta.
    float phaseA = 0;
    float phaseB = 0;
    float phaseC = 0;
    float phaseD = 0;
    float phaseE = 0;
    float viewSpin = 0;       // degrees about the vertical axis while turning
    float yellowPoints = 10;  // band 0 grows from here to 15 points ...
    float yellowDepth = 10;   // ... while it flies in from here to 0
};

extern ArcBandsState spinningArcBands;

// Draws points - 1 quads (one GL_QUADS block each) of an arc between the two
// radii, starting straight up and running clockwise as the viewer sees it in
// steps of 360 / divisions degrees, after turning it by `spin` degrees about
// the view axis and moving it `depth` along it. The matrix is pushed and
// popped around it; no colour or texture coordinate is set. Draws no quad
// when points <= 1 or divisions <= 0 (a step without a finite size).
void drawArcBand(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth);

// Per frame, music rows 64 to 191. Leaves the matrix translated (and turned
// inside the turning windows) and the current colour white.
void drawArcBands();
