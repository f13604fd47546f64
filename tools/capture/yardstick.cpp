#include "yardstick.h"

#include <GL/gl.h>

#include "scenes/primitives.h"
#include "textures/textures.h"

namespace {

constexpr int columns = 104;  // 104 x 80 = yardstickBoxes
constexpr int rows = 80;
constexpr float half = 0.2f;     // 0.4-unit boxes
constexpr float spacing = 0.5f;  // a gap of 0.1 between neighbours
static_assert(columns * rows == yardstickBoxes);

}  // namespace

void drawYardstickFrame() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, bord2Texture.glName);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glColor3f(1.0f, 1.0f, 1.0f);
    // A grid tilted away at the bottom, filling most of the picture.
    glTranslatef(0.0f, 0.0f, -42.0f);
    glRotatef(-30.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(-0.5f * spacing * (columns - 1), -0.5f * spacing * (rows - 1), 0.0f);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            glPushMatrix();
            glTranslatef(spacing * static_cast<float>(c), spacing * static_cast<float>(r), 0.0f);
            drawTexturedBox(half, half, half);
            glPopMatrix();
        }
    }

    glPopMatrix();
    glPopAttrib();
}
