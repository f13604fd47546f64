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

void walkBand(float axisX, float axisY, float axisZ, int points, int divisions, double innerRadius,
              double outerRadius, double spin, double depth, BandQuad quad) {
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, static_cast<float>(depth));
    glRotatef(static_cast<float>(spin), axisX, axisY, axisZ);
    if (divisions > 0) {
        float theta = 0.0f;
        const double step = 360.0 / divisions;
        BandPoint previous{};
        for (int i = 0; i < points; ++i) {
            const double s = sinDegrees(theta), c = cosDegrees(theta);
            const BandPoint current{innerRadius * s, innerRadius * c, outerRadius * s, outerRadius * c};
            if (i != 0) quad(previous, current);
            previous = current;
            theta = static_cast<float>(theta + step);
        }
    }
    glPopMatrix();
}
