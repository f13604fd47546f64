#include "scenes/opening_squares.h"

#include <GL/gl.h>

#include "music/musicsync.h"
#include "scenes/framedelta.h"
#include "scenes/primitives.h"
#include "textures/textures.h"

OpeningSquaresState openingSquares;

namespace {

// Which level goes into which colour component.
enum Component { Level, Flash };

struct Rectangle {
    int startRow;    // drawn from this row on (the first one always)
    double divisor;  // ms of frames per unit of level
    float stepX, stepY, stepZ;  // translations accumulate from one to the next
    Component red, green, blue;
    float halfWidth, halfHeight;
};

const Rectangle rectangles[8] = {
    {-2147483647 - 1, 1100, 2.0f, 2.0f, -10.0f, Level, Level, Flash, 0.4f, 0.4f},
    {6, 800, 2.0f, 0.3f, -10.0f, Level, Flash, Level, 0.4f, 0.4f},
    {8, 1000, -3.0f, 1.0f, -10.0f, Level, Level, Flash, 0.7f, 0.7f},
    {12, 1200, -3.0f, -1.0f, -10.0f, Level, Level, Flash, 1.7f, 1.7f},
    {16, 1200, -3.0f, -3.0f, -10.0f, Flash, Level, Flash, 2.7f, 2.7f},
    {22, 400, 3.0f, -3.0f, -10.0f, Flash, Level, Flash, 1.7f, 2.7f},
    {24, 500, 5.0f, -3.0f, -10.0f, Flash, Level, Level, 1.7f, 1.7f},
    {28, 500, 7.4f, -2.0f, -10.0f, Level, Flash, Level, 5.7f, 5.7f},
};

}  // namespace

void drawOpeningSquares() {
    OpeningSquaresState& s = openingSquares;
    const double delta = frameDeltaMs;

    glBindTexture(GL_TEXTURE_2D, 0);
    const int r = musicRow();

    if (r < 40) {
        glPushMatrix();
        for (int i = 0; i < 8; ++i) {
            const Rectangle& rect = rectangles[i];
            if (r < rect.startRow) continue;
            s.squareLevel[i] = static_cast<float>(s.squareLevel[i] + delta / rect.divisor);
            glTranslatef(rect.stepX, rect.stepY, rect.stepZ);
            const float level = s.squareLevel[i];
            const float flash = static_cast<float>(s.flashLevel);
            auto pick = [&](Component c) { return c == Level ? level : flash; };
            glColor3f(pick(rect.red), pick(rect.green), pick(rect.blue));
            drawTexturedQuad(rect.halfWidth, rect.halfHeight);
        }
        if (r >= 32 && r < 36) {
            const double e = delta / 200.0;
            s.flashLevel += e;
            s.pictureLevel += e;
            const float f = static_cast<float>(s.flashLevel);
            glClearColor(f, f, f, 1.0f);
        }
    }

    if (r >= 40 && r < 44) {
        s.fadeLevel -= delta / 200.0;
        s.pictureLevel -= delta / 50.0;
        const float g = static_cast<float>(s.fadeLevel);
        glClearColor(g, g, g, 1.0f);
    }

    if (r < 44) {
        if (r < 40) glPopMatrix();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, plimTexture.glName);
        glPushMatrix();
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        glTranslatef(-15.0f, 0.0f, -34.0f);
        glRotatef(70.0f, 0.0f, 1.0f, 0.0f);
        const float p = static_cast<float>(s.pictureLevel);
        glColor3f(p, p, p);
        drawTexturedQuad(6.0f, 6.0f);
        glPopMatrix();
    }
}
