#include "scenes/closing_wheels.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "music/musicsync.h"
#include "scenes/primitives.h"
#include "scenes/framedelta.h"
#include "textures/textures.h"

ClosingWheelsState closingWheels;

namespace {

WheelRing makeRings() {
    WheelRing rings{};
    const double radius[2] = {1.0, 1.0 + 1.0 / 1.4};
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < wheelSegments; ++k) {
            const double theta = radians(k * 7.2);
            rings.point[i][k] = {std::sin(theta) * radius[i], std::cos(theta) * radius[i]};
        }
    return rings;
}

constexpr int captionFirstRow = 720;
constexpr int captionOpenRows = 20;  // the caption opens by 0.01 per row on each side
constexpr int sceneFadeRow = 740;
constexpr int captionFadeRow = 750;
constexpr double fadeMs = 500.0;

}  // namespace

const WheelRing wheelRing = makeRings();

void drawWheel(double halfDepth) {
    const ClosingWheelsState& s = closingWheels;
    const auto& ring = wheelRing.point;
    const float spin = static_cast<float>(s.wheelSpin);
    const float d = static_cast<float>(halfDepth);
    struct Band {
        float side;  // -1: the -z half, +1: the +z half
        bool cap;    // a cone to the centre, else a rim drawn from the ring-0 point
    };
    const Band bands[4] = {{-1, true}, {-1, false}, {1, false}, {1, true}};
    for (const Band& band : bands) {
        // t runs 0 to 1 from the -z apex over the rim to the +z apex.
        const float tInner = band.side < 0 ? 0.25f : 0.75f;  // at the inner edge
        const float tApex = band.side < 0 ? 0.0f : 1.0f;
        for (int k = 0; k < wheelSegments; ++k) {
            const int next = (k + 1) % wheelSegments;
            const float s0 = static_cast<float>(k) / 50.0f, s1 = s0 + 0.02f;
            const float b = static_cast<float>(s.segmentBurst[k]);
            const float p0x = static_cast<float>(ring[0][k].x), p0y = static_cast<float>(ring[0][k].y);
            const float q0x = static_cast<float>(ring[0][next].x), q0y = static_cast<float>(ring[0][next].y);
            glPushMatrix();
            glRotatef(spin, 0.0f, 0.0f, 1.0f);
            glTranslatef(0.0f, 0.0f, band.side * b);
            if (band.cap) {
                glBegin(GL_QUADS);
                if (band.side < 0) {
                    glTexCoord2f(s0, tInner); glVertex3f(p0x, p0y, -d);
                    glTexCoord2f(s1, tInner); glVertex3f(q0x, q0y, -d);
                } else {
                    glTexCoord2f(s0, tInner); glVertex3f(p0x, p0y, d);
                    glTexCoord2f(s1, tInner); glVertex3f(q0x, q0y, d);
                }
                glTexCoord2f(s1, tApex); glVertex3f(0.0f, 0.0f, 0.0f);
                glTexCoord2f(s0, tApex); glVertex3f(0.0f, 0.0f, 0.0f);
                glEnd();
            } else {
                // Drawn from the segment's inner edge point, the others relative to it.
                const float p1x = static_cast<float>(ring[1][k].x), p1y = static_cast<float>(ring[1][k].y);
                const float q1x = static_cast<float>(ring[1][next].x), q1y = static_cast<float>(ring[1][next].y);
                const float edgeZ = band.side * d;
                glTranslatef(p0x, p0y, edgeZ);
                glBegin(GL_QUADS);
                glTexCoord2f(s0, tInner); glVertex3f(0.0f, 0.0f, 0.0f);
                glTexCoord2f(s0, 0.5f); glVertex3f(p1x - p0x, p1y - p0y, -edgeZ);
                glTexCoord2f(s1, 0.5f); glVertex3f(q1x - p0x, q1y - p0y, -edgeZ);
                glTexCoord2f(s1, tInner); glVertex3f(q0x - p0x, q0y - p0y, 0.0f);
                glEnd();
            }
            glPopMatrix();
        }
    }
}

void drawClosingWheels() {
    ClosingWheelsState& s = closingWheels;
    const double delta = frameDeltaMs;

    const bool burst = (static_cast<long long>(musicRow()) + 4) % 8 == 0;  // every second beat
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (!s.closingStarted) glLoadIdentity();
    s.closingStarted = true;
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glTranslatef(1.0f, 0.0f, -5.0f);
    s.wheelTilt = static_cast<float>(s.wheelTilt + delta / 20.0);

    // A burst holds for its whole row and decays over the rows after it.
    if (burst) {
        int j = 0;  // segment j opens by sin j (radians), rounded to float
        for (double& offset : s.segmentBurst) offset = static_cast<float>(std::sin(static_cast<double>(j++)));
    }
    for (double& offset : s.segmentBurst) {
        const float decayed = static_cast<float>(offset) - static_cast<float>(delta / fadeMs);
        offset = std::max(0.0f, decayed);
    }

    const float grey = 1.0f - s.sceneFade;
    glPushMatrix();
    if (musicRow() >= 600) {
        glTranslatef(-1.0f, 0.0f, -1.0f);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, bakTexture.glName);
        glColor3f(grey, grey, grey);
        drawTexturedQuad(6.0f, 2.0f);
    }
    glPopMatrix();

    glPushMatrix();
    glRotatef(s.wheelTilt, 1.0f, 0.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, bordTexture.glName);
    glColor3f(grey, grey, grey);
    s.wheelSpin += delta / 12.0;
    // Three wheels one unit apart along x, each tilted further about x.
    drawWheel(0.5);
    glTranslatef(-1.0f, 0.0f, 0.0f);
    glRotatef(40.0f, 1.0f, 0.0f, 0.0f);
    drawWheel(0.42);
    glTranslatef(-1.0f, 0.0f, 0.0f);
    glRotatef(50.0f, 1.0f, 0.0f, 0.0f);
    drawWheel(0.9);
    glPopMatrix();

    if (musicRow() >= sceneFadeRow) s.sceneFade = static_cast<float>(s.sceneFade + delta / fadeMs);
    if (musicRow() >= captionFadeRow) s.captionFade = static_cast<float>(s.captionFade + delta / fadeMs);

    if (musicRow() >= captionFirstRow) {
        const int n = std::min(musicRow() - captionFirstRow, captionOpenRows);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, endTexture.glName);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);  // the caption adds its light
        const float c = 1.0f - s.captionFade;
        glColor3f(c, c, c);
        glTranslatef(-1.0f, 0.0f, 3.0f);
        drawTexturedQuad(1.5f, static_cast<float>(n) / 100.0f);
    }
}
