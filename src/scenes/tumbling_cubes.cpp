#include "scenes/tumbling_cubes.h"

#include <GL/gl.h>

#include "music/musicsync.h"
#include "scenes/primitives.h"
#include "scenes/framedelta.h"
#include "textures/textures.h"

TumblingCubesState tumblingCubes;

namespace {

struct Cube {
    int startRow;
    float stepX, stepY, stepZ;  // translations accumulate from one cube to the next
    float TumblingCubesState::*angle;
    float axisX, axisY, axisZ;
};

using S = TumblingCubesState;

const Cube cubes[10] = {
    {232, -4, -4, -10, &S::cubeAngle1, 1, 0.1f, 0.2f},
    {236, -2, 4, 0, &S::cubeAngle2, -1, 0.1f, 0.2f},
    {240, 8, -4, 0, &S::cubeAngle1, -1, 0.1f, 0.2f},
    {242, -2, 9, 0, &S::cubeAngle3, -1, 0.1f, 0.2f},
    {243, -2, -5, -3, &S::cubeAngle4, -1, 0.1f, 0.2f},
    {248, -2, 1, 0, &S::cubeAngle3, -1, 0.1f, 0.2f},
    {252, 6, -4, 1, &S::cubeAngle2, -1, 0.1f, 0.2f},
    {256, 2, 4, 0, &S::cubeAngle4, -1, 0.1f, 0.2f},
    {258, 2, 4, 0, &S::cubeAngle1, -1, 0.1f, 0.2f},
    {259, 2, -4, -6, &S::cubeAngle2, -1, 0.1f, 0.2f},
};

float advance(float value, double amount) { return static_cast<float>(value + amount); }

}  // namespace

void drawTumblingCubes() {
    TumblingCubesState& s = tumblingCubes;
    const double delta = frameDeltaMs;
    const int r = musicRow();

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, bord2Texture.glName);

    // The angles run from the scene's first frame, so each cube appears
    // already turned.
    s.cubeAngle1 = advance(s.cubeAngle1, delta / 20.0);
    s.cubeAngle2 = advance(s.cubeAngle2, delta / 242.0);
    s.cubeAngle3 = advance(s.cubeAngle3, delta / 10.0);
    s.cubeAngle4 = advance(s.cubeAngle4, delta / 50.0);

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glTranslatef(0.0f, 0.0f, -10.0f);
    if (r >= 264) {
        s.cubeApproach = advance(s.cubeApproach, delta / 50.0);
        glTranslatef(0.0f, 0.0f, s.cubeApproach);
    }

    for (const Cube& cube : cubes) {
        if (r < cube.startRow) continue;
        glTranslatef(cube.stepX, cube.stepY, cube.stepZ);
        glPushMatrix();
        glRotatef(s.*cube.angle, cube.axisX, cube.axisY, cube.axisZ);
        drawTexturedBox(0.4f, 0.4f, 0.4f);
        glPopMatrix();
    }
}
