#pragma once
// The bench's yardstick: what a plain immediate-mode program costs on this
// GL implementation and machine, drawn in the same run as the scenes so that
// their times can be given as ratios that do not depend on how fast, or how
// busy, the machine is.

// Clears and draws one frame of 8320 textured boxes, 0.4 units on a side,
// each on its own (a matrix push, a translation, one GL_QUADS block of six
// faces), with the bord.png texture, depth-tested, over most of the picture.
// Everything it changes in GL (attributes, both matrices) is put back, so
// that the demo's next frame finds what its last one left. Does not wait for
// the drawing to finish.
void drawYardstickFrame();

inline constexpr int yardstickBoxes = 8320;
