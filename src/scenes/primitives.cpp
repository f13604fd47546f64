#include "scenes/primitives.h"

#include <GL/gl.h>

void drawTexturedQuad(float w, float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-w, -h, 0.0f);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(w, -h, 0.0f);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(w, h, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-w, h, 0.0f);
    glEnd();
}

void drawTexturedBox(float a, float b, float c) {
    glBegin(GL_QUADS);
    // front
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-a, -b, c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(a, -b, c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(a, b, c);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-a, b, c);
    // back
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-a, -b, -c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(a, -b, -c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(a, b, -c);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-a, b, -c);
    // top
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-a, b, -c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(a, b, -c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(a, b, c);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-a, b, c);
    // bottom
    glNormal3f(0.0f, -1.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-a, -b, -c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(a, -b, -c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(a, -b, c);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-a, -b, c);
    // right
    glNormal3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(a, -b, c);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(a, -b, -c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(a, b, -c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(a, b, c);
    // left
    glNormal3f(-1.0f, 0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-a, -b, c);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-a, -b, -c);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(-a, b, -c);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(-a, b, c);
    glEnd();
}
