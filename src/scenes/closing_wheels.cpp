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

}  // namespace

const WheelRing wheelRing = makeRings();

namespace {

constexpr int captionFirstRow = 720;
constexpr int captionOpenRows = 20;  // the caption opens by 0.01 per row on each side
constexpr int sceneFadeRow = 740;
constexpr int captionFadeRow = 750;
constexpr double fadeMs = 500.0;

struct Band {
    float side;  // -1: the -z half, +1: the +z half
    bool cap;    // a cone to the centre, else a rim drawn from the ring-0 point
};
const Band wheelBands[4] = {{-1, true}, {-1, false}, {1, false}, {1, true}};

// The four corners of segment k of a band, with their texture coordinates,
// in the wheel's frame before its spin and burst.
struct Corner {
    float s, t, x, y, z;
};
void segmentCorners(const Band& band, int k, float d, Corner out[4]) {
    const auto& ring = wheelRing.point;
    const int next = (k + 1) % wheelSegments;
    // t runs 0 to 1 from the -z apex over the rim to the +z apex.
    const float tInner = band.side < 0 ? 0.25f : 0.75f;  // at the inner edge
    const float tApex = band.side < 0 ? 0.0f : 1.0f;
    const float s0 = static_cast<float>(k) / 50.0f, s1 = s0 + 0.02f;
    const float p0x = static_cast<float>(ring[0][k].x), p0y = static_cast<float>(ring[0][k].y);
    const float q0x = static_cast<float>(ring[0][next].x), q0y = static_cast<float>(ring[0][next].y);
    const float edgeZ = band.side * d;
    if (band.cap) {
        out[0] = {s0, tInner, p0x, p0y, edgeZ};
        out[1] = {s1, tInner, q0x, q0y, edgeZ};
        out[2] = {s1, tApex, 0.0f, 0.0f, 0.0f};
        out[3] = {s0, tApex, 0.0f, 0.0f, 0.0f};
    } else {
        out[0] = {s0, tInner, p0x, p0y, edgeZ};
        out[1] = {s0, 0.5f, static_cast<float>(ring[1][k].x), static_cast<float>(ring[1][k].y), 0.0f};
        out[2] = {s1, 0.5f, static_cast<float>(ring[1][next].x), static_cast<float>(ring[1][next].y), 0.0f};
        out[3] = {s1, tInner, q0x, q0y, edgeZ};
    }
}

// One quad in a block of its own, moved by the matrix stack: along the axis
// by `burst`, and a rim to its inner edge point, its corners relative to it.
void drawQuadOnItsOwn(const Band& band, const Corner corner[4], float burst) {
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, burst);
    const Corner from = band.cap ? Corner{} : corner[0];
    if (!band.cap) glTranslatef(from.x, from.y, from.z);
    glBegin(GL_QUADS);
    for (int v = 0; v < 4; ++v) {
        const Corner& c = corner[v];
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x - from.x, c.y - from.y, c.z - from.z);
    }
    glEnd();
    glPopMatrix();
}

// Whether a point of the current frame lies inside the view: GL's projection
// times modelview, read back once.
struct ClipTest {
    double m[16];
    bool contains(float x, float y, float z) const {
        double clip[4];
        for (int row = 0; row < 4; ++row) clip[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
        const double w = clip[3];
        return std::fabs(clip[0]) < w && std::fabs(clip[1]) < w && std::fabs(clip[2]) < w;
    }
};

ClipTest clipTest() {
    GLfloat modelview[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    ClipTest t{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) t.m[col * 4 + row] += double(projection[k * 4 + row]) * modelview[col * 4 + k];
    return t;
}

}  // namespace

void drawWheel(double halfDepth) {
    const ClosingWheelsState& s = closingWheels;
    const float spin = static_cast<float>(s.wheelSpin);
    const float d = static_cast<float>(halfDepth);
    if (s.drawSegmentsApart) {
        for (const Band& band : wheelBands)
            for (int k = 0; k < wheelSegments; ++k) {
                Corner corner[4];
                segmentCorners(band, k, d, corner);
                glPushMatrix();
                glRotatef(spin, 0.0f, 0.0f, 1.0f);
                drawQuadOnItsOwn(band, corner, band.side * static_cast<float>(s.segmentBurst[k]));
                glPopMatrix();
            }
        return;
    }
    // The wheel in one block of triangles: the burst moves each segment along
    // the axis, which the spin leaves where it is, so it is added to the
    // corners here. Each quad goes as the two triangles GL makes of a quad
    // whose block lies inside the view, a fan from its first corner; the
    // diagonal shows, since a cap's two apex corners coincide and a rim lays a
    // rectangle of the texture onto a trapezoid. A quad that reaches past the
    // edge of the view GL splits along the other diagonal, (0,1,3),(1,2,3),
    // before it cuts it there, and so every quad of its block; such a quad
    // still goes in a block of its own as above.
    constexpr int fan[6] = {0, 1, 2, 0, 2, 3};
    glPushMatrix();
    glRotatef(spin, 0.0f, 0.0f, 1.0f);
    const ClipTest inView = clipTest();
    bool inBlock = false;
    for (const Band& band : wheelBands)
        for (int k = 0; k < wheelSegments; ++k) {
            const float burst = band.side * static_cast<float>(s.segmentBurst[k]);
            Corner corner[4];
            segmentCorners(band, k, d, corner);
            bool inside = true;
            for (const Corner& c : corner) inside = inside && inView.contains(c.x, c.y, c.z + burst);
            if (!inside) {
                if (inBlock) glEnd();
                inBlock = false;
                drawQuadOnItsOwn(band, corner, burst);
                continue;
            }
            if (!inBlock) glBegin(GL_TRIANGLES);
            inBlock = true;
            for (int v : fan) {
                const Corner& c = corner[v];
                glTexCoord2f(c.s, c.t);
                glVertex3f(c.x, c.y, c.z + burst);
            }
        }
    if (inBlock) glEnd();
    glPopMatrix();
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
