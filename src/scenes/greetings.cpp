#include "scenes/greetings.h"

#include <GL/gl.h>

#include <cmath>

#include "music/musicsync.h"
#include "scenes/primitives.h"
#include "scenes/framedelta.h"
#include "textures/textures.h"

GreetingsState greetings;

namespace {

constexpr double fadeMs = 500.0;  // fade in, fade out and a new picture's fade

// The rows on which the greeting pictures join, first to ninth.
constexpr int greetRows[9] = {483, 494, 505, 514, 526, 546, 562, 578, 583};
constexpr int fadeOutRow = 600;

// The band lies in the plane z = x before its turn: the first two corners
// take their z from the current inner point, the last two from the current
// outer point.
void drawTiltedBand(float axisX, float axisY, float axisZ, int points, int divisions, double innerRadius,
                    double outerRadius, double spin, double depth) {
    walkBand(axisX, axisY, axisZ, points, divisions, innerRadius, outerRadius, spin, depth,
             [](const BandPoint& p, const BandPoint& c) {
                 const auto f = [](double v) { return static_cast<float>(v); };
                 glBegin(GL_QUADS);
                 glVertex3f(f(p.innerX), f(p.innerY), f(c.innerX));
                 glVertex3f(f(c.innerX), f(c.innerY), f(c.innerX));
                 glVertex3f(f(c.outerX), f(c.outerY), f(c.outerX));
                 glVertex3f(f(p.outerX), f(p.outerY), f(c.outerX));
                 glEnd();
             });
}

// A band colour component darkened by the fade; it goes below 0 (black) freely.
float level(double light, float darkness) { return static_cast<float>(light - darkness); }

void drawGlow(const GreetingsState& s) {
    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);  // the bands add up to a glow where they overlap
    glBindTexture(GL_TEXTURE_2D, 0);
    glTranslatef(0.0f, 0.0f, static_cast<float>(sinDegrees(s.ringPhase) - 2.0));
    const float d = s.darkness;
    for (int n = 50; n < 60; ++n) {
        const int k = n - 50;
        const double depth = n - 80;
        glColor3f(level(0.04, d), -d, level(0.02, d));
        drawTiltedBandA(n, 20, 10, 10.4, 10.0 * static_cast<float>(k + s.ringPhase), depth);
        glColor3f(level(0.01, d), level(0.05, d), -d);
        drawTiltedBandB(n, 100, 11, 11.4, s.ringSpin, depth);
        drawTiltedBandA(n, 100, 11, 11.4, s.ringSpin, depth);
        glColor3f(-d, level(0.05, d), -d);
        drawTiltedBandA(n, 100, 10, 10.4, s.ringSpin + s.ringPhase, depth);
        drawTiltedBandB(n, 100, 10, 10.4, s.ringSpin + s.ringPhase, depth);
        glColor3f(-d, -d, level(0.03, d));
        drawTiltedBandB(50, n + 50, 7.5, 7.54, s.ringSpin, -24);
    }
    glPopMatrix();
}

}  // namespace

void drawTiltedBandA(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth) {
    drawTiltedBand(0.0f, 1.0f, 1.0f, points, divisions, innerRadius, outerRadius, spin, depth);
}

void drawTiltedBandB(int points, int divisions, double innerRadius, double outerRadius, double spin, double depth) {
    drawTiltedBand(1.0f, 0.1f, 0.4f, points, divisions, innerRadius, outerRadius, spin, depth);
}

void drawGreetings() {
    GreetingsState& s = greetings;
    const double delta = frameDeltaMs;

    if (s.darknessState == 0) {
        s.darkness = static_cast<float>(s.darkness - delta / fadeMs);
        if (s.darkness < 0.0f) {
            s.darkness = 0.0f;
            s.darknessState = 1;
        }
    } else if (s.darknessState == 2) {
        s.darkness = static_cast<float>(s.darkness + delta / fadeMs);
        if (s.darkness > 1.0f) {
            s.darkness = 1.0f;
            s.darknessState = 3;
        }
    }
    s.ringPhase = static_cast<float>(s.ringPhase + delta / 52.0);
    s.ringSpin = static_cast<float>(s.ringSpin + delta / 10.0);

    drawGlow(s);

    const float d = s.darkness;
    glColor3f(1.0f - d, 1.0f - d, 1.0f - d);
    glPushMatrix();
    glTranslatef(-18.0f, 0.0f, -30.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, greetTextures[0].glName);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);  // the title stands upright, read from bottom to top
    drawTexturedQuad(10.0f, 2.0f);
    glPopMatrix();

    // The list hangs from (0, 20, -44); every picture moves 4 further down.
    glTranslatef(0.0f, 0.0f, -44.0f);
    glTranslatef(0.0f, 20.0f, 0.0f);

    for (int i = 0; i < 9; ++i)
        if (musicRow() >= greetRows[i]) s.greetCount = i + 1;
    if (musicRow() >= fadeOutRow) s.darknessState = 2;

    if (s.greetCount != s.lastGreetCount) {
        s.lastGreetCount = s.greetCount;
        s.newGreetFading = true;  // the alpha carries on from where it is
    }

    for (int i = 1; i <= s.greetCount; ++i) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, greetTextures[i].glName);
        const float alpha = (i == s.greetCount && s.newGreetFading) ? s.newGreetAlpha : 1.0f - d;
        glColor4f(1.0f - d, 1.0f - d, 1.0f - d, alpha);
        glTranslatef(0.0f, -4.0f, 0.0f);
        if (i == 9)
            drawTexturedQuad(16.0f, 1.0f);  // krund.png is a long, thin strip
        else
            drawTexturedQuad(10.0f, 2.0f);
    }

    if (s.newGreetFading) {
        s.newGreetAlpha = static_cast<float>(s.newGreetAlpha + delta / fadeMs);
        if (s.newGreetAlpha > 1.0f) {
            s.newGreetFading = false;
            s.newGreetAlpha = 0.0f;
        }
    }
}
