#pragma once
// The scenes' shapes and the angle arithmetic they share. The two textured
// shapes are centred on the current origin, sized by half-extents, one
// GL_QUADS block each, and touch no other state.
#include <cmath>

// A rectangle in the z = 0 plane, the image upright on it.
void drawTexturedQuad(float halfWidth, float halfHeight);
// An axis-aligned box, six faces with a normal each.
void drawTexturedBox(float halfX, float halfY, float halfZ);

// Degrees to radians as every scene converts them: divided by 180, then
// multiplied by this ten-digit pi. The pictures were made with exactly this
// rounding, so no scene uses the full-precision constant.
inline double radians(double degrees) { return degrees / 180.0 * 3.1415926535; }
inline double sinDegrees(double degrees) { return std::sin(radians(degrees)); }
inline double cosDegrees(double degrees) { return std::cos(radians(degrees)); }

// One point along a band: sin and cos of its angle times the inner and the
// outer radius (x = r sin, y = r cos: the band starts straight up).
struct BandPoint {
    double innerX, innerY, outerX, outerY;
};
using BandQuad = void (*)(const BandPoint& previous, const BandPoint& current);

// The walk the band routines share: pushes the matrix, moves `depth` along z,
// turns `spin` degrees about (axisX, axisY, axisZ), then steps a
// single-precision angle from 0 by 360 / divisions (in double) over `points`
// points, calling `quad` for every point but the first; pops. Calls nothing
// when points <= 1 or divisions <= 0 (a step without a finite size).
void walkBand(float axisX, float axisY, float axisZ, int points, int divisions, double innerRadius,
              double outerRadius, double spin, double depth, BandQuad quad);
