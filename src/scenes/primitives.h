#pragma once
// The scenes' two shapes, centred on the current origin and sized by
// half-extents. Each is one GL_QUADS block and touches no other state.

// A rectangle in the z = 0 plane, the image upright on it.
void drawTexturedQuad(float halfWidth, float halfHeight);
// An axis-aligned box, six faces with a normal each.
void drawTexturedBox(float halfX, float halfY, float halfZ);
