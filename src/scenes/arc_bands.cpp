#include "scenes/arc_bands.h"

#include <GL/gl.h>

#include <cmath>

#include "music/musicsync.h"
#include "scenes/framedelta.h"

ArcBandsState spinningArcBands;

namespace {

// The demo's degree-to-radian conversion uses this ten-digit value, and the
// bands' shapes follow it.
constexpr double pi = 3.1415926535;

double sinDeg(float degrees) { return std::sin(degrees / 180.0 * pi); }
double cosDeg(float degrees) { return std::cos(degrees / 180.0 * pi); }

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
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, static_cast<float>(depth));
    glRotatef(static_cast<float>(spin), 0.0f, 0.0f, 1.0f);
    if (divisions > 0) {
        float theta = 0.0f;
        const double step = 360.0 / divisions;
        double innerX = 0, innerY = 0, outerX = 0, outerY = 0;
        for (int i = 0; i < points; ++i) {
            const double s = sinDeg(theta), c = cosDeg(theta);
            const double nextInnerX = innerRadius * s, nextInnerY = innerRadius * c;
            const double nextOuterX = outerRadius * s, nextOuterY = outerRadius * c;
            if (i != 0) {
                glBegin(GL_QUADS);
                glVertex3d(innerX, innerY, 0.0);
                glVertex3d(nextInnerX, nextInnerY, 0.0);
                glVertex3d(nextOuterX, nextOuterY, 0.0);
                glVertex3d(outerX, outerY, 0.0);
                glEnd();
            }
            innerX = nextInnerX;
            innerY = nextInnerY;
            outerX = nextOuterX;
            outerY = nextOuterY;
            theta = static_cast<float>(theta + step);
        }
    }
    glPopMatrix();
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
        fill(band[1], 1, 0, 0, 15, 100, 2.4f, 2.5f, s.phaseB, 6 * sinDeg(s.phaseA));
        fill(band[2], 1, 0, 1, std::trunc(61 * sinDeg(s.phaseB) + 4), 100, 1.4f, 1.42f, s.phaseC,
             6 * sinDeg(s.phaseC));
    }
    if (r >= 95) {
        if (s.yellowPoints < 15) s.yellowPoints = advance(s.yellowPoints, delta / 53.0);
        if (s.yellowDepth > 0) s.yellowDepth = advance(s.yellowDepth, -delta / 53.0);
        fill(band[0], 1, 1, 0, std::trunc(s.yellowPoints), 100, 1.4f, 1.43f, s.phaseA, s.yellowDepth);
    }
    if (r >= 126) {
        fill(band[5], 0.1f, 0.1f, 0.1f, 10 + 5 * sinDeg(s.phaseC), 50 + 50 * sinDeg(s.phaseD), 1.4f, 1.5f, 50,
             2 * sinDeg(s.phaseA) - 10);
    }
    if (r >= 154) {
        fill(band[7], 0.4f, 0, 0.2f, 65, 100, 1.4f, 1.5f, 200 * sinDeg(s.phaseE), -8);
    }
    fill(band[3], 0, static_cast<float>(cosDeg(s.phaseB)), 1, 15, 100, 1.4f, 1.5f, s.phaseD, 6 * cosDeg(s.phaseB));
    fill(band[4], 1, 1, 1, std::trunc(static_cast<float>(61 * cosDeg(s.phaseB))), 100, 1.4f, 1.5f, s.phaseC,
         6 * sinDeg(s.phaseD));
    fill(band[6], static_cast<float>(sinDeg(s.phaseD)), 0, 1, 15, 100, 1.4f, 1.5f, s.phaseE, 6 * sinDeg(s.phaseE));
    fill(band[8], 0, 1, 0, 65, 100, 1.4f, 1.5f, 200 * sinDeg(s.phaseA), 10 * cosDeg(s.phaseE));

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
