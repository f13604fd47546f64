#include "scenes/arc_bands.h"

#include <GL/gl.h>

#include <cmath>

#include "music/musicsync.h"
#include "scenes/framedelta.h"
#include "scenes/primitives.h"

ArcBandsState spinningArcBands;

namespace {

float advance(float value, double amount) { return static_cast<float>(value + amount); }

void fill(ArcBand& band, float red, float green, float blue, double points, double divisions, float innerRadius,
          float outerRadius, double spin, double depth) {
    band = {red,
            green,
            blue,
            static_cast<float>(points),
            static_cast<float>(divisions),
            innerRadius,
            outerRadius,
            static_cast<float>(spin),
            static_cast<float>(depth)};
}

bool inTurningWindow(int row) { return (row >= 126 && row < 132) || (row >= 164 && row < 192); }

}  // namespace

void drawArcBand(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth) {
    // Flat in the z = 0 plane: previous inner, current inner, current outer, previous outer.
    walkBand(0.0f, 0.0f, 1.0f, points, divisions, innerRadius, outerRadius, spin, depth,
             [](const BandPoint& p, const BandPoint& c) {
                 glBegin(GL_QUADS);
                 glVertex3d(p.innerX, p.innerY, 0.0);
                 glVertex3d(c.innerX, c.innerY, 0.0);
                 glVertex3d(c.outerX, c.outerY, 0.0);
                 glVertex3d(p.outerX, p.outerY, 0.0);
                 glEnd();
             });
}

void drawArcBands() {
    ArcBandsState& s = spinningArcBands;
    ArcBand* band = s.arcBands;
    const double delta = frameDeltaMs;
    const int r = musicRow();

    glBindTexture(GL_TEXTURE_2D, 0);
    glTranslatef(0.0f, 0.0f, -10.0f);

    s.phaseA = advance(s.phaseA, delta / 20.0);
    s.phaseB = advance(s.phaseB, delta / 10.0);
    s.phaseC = advance(s.phaseC, -delta / 13.0);
    s.phaseD = advance(s.phaseD, -delta / 6.0);
    s.phaseE = advance(s.phaseE, -delta / 22.0);

    if (r >= 64) {
        fill(band[1], 1, 0, 0, 15, 100, 2.4f, 2.5f, s.phaseB, 6 * sinDegrees(s.phaseA));
        fill(band[2], 1, 0, 1, std::trunc(61 * sinDegrees(s.phaseB) + 4), 100, 1.4f, 1.42f, s.phaseC,
             6 * sinDegrees(s.phaseC));
    }
    if (r >= 95) {
        if (s.yellowPoints < 15) s.yellowPoints = advance(s.yellowPoints, delta / 53.0);
        if (s.yellowDepth > 0) s.yellowDepth = advance(s.yellowDepth, -delta / 53.0);
        fill(band[0], 1, 1, 0, std::trunc(s.yellowPoints), 100, 1.4f, 1.43f, s.phaseA, s.yellowDepth);
    }
    if (r >= 126) {
        fill(band[5], 0.1f, 0.1f, 0.1f, 10 + 5 * sinDegrees(s.phaseC), 50 + 50 * sinDegrees(s.phaseD), 1.4f, 1.5f, 50,
             2 * sinDegrees(s.phaseA) - 10);
    }
    if (r >= 154) {
        fill(band[7], 0.4f, 0, 0.2f, 65, 100, 1.4f, 1.5f, 200 * sinDegrees(s.phaseE), -8);
    }
    fill(band[3], 0, static_cast<float>(cosDegrees(s.phaseB)), 1, 15, 100, 1.4f, 1.5f, s.phaseD, 6 * cosDegrees(s.phaseB));
    fill(band[4], 1, 1, 1, std::trunc(static_cast<float>(61 * cosDegrees(s.phaseB))), 100, 1.4f, 1.5f, s.phaseC,
         6 * sinDegrees(s.phaseD));
    fill(band[6], static_cast<float>(sinDegrees(s.phaseD)), 0, 1, 15, 100, 1.4f, 1.5f, s.phaseE, 6 * sinDegrees(s.phaseE));
    fill(band[8], 0, 1, 0, 65, 100, 1.4f, 1.5f, 200 * sinDegrees(s.phaseA), 10 * cosDegrees(s.phaseE));

    // The group turns only inside its windows; on row 134, between them, the
    // turn starts over so the second window begins from the unturned view.
    const int turnRow = musicRow();
    if (inTurningWindow(turnRow)) {
        s.viewSpin = advance(s.viewSpin, -delta / 22.0);
        glRotatef(s.viewSpin, 0.0f, 1.0f, 0.0f);
    } else if (turnRow == 134) {
        s.viewSpin = 0;
    }

    for (const ArcBand& b : s.arcBands) {
        glColor3f(b.red, b.green, b.blue);
        drawArcBand(static_cast<int>(b.points), static_cast<int>(b.divisions), b.innerRadius, b.outerRadius, b.spin,
                    b.depth);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
}
