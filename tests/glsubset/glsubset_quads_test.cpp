// How the GL subset turns quads into triangles, drawn for real over an
// OpenGL ES 2 context. Each case draws concave quads whose two splits cover
// different pixels, and expects the split the system's OpenGL (Mesa 22.3,
// llvmpipe) was seen to draw for the same calls.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "es2context.h"

namespace {

constexpr int side = 200;

// A concave quad of size k centred on (x, y): the point (x + 0.1 k, y) lies in
// its fan (0,1,2),(0,2,3) and outside the other split (0,1,3),(1,2,3).
void quad(float k, float x, float y) {
    glVertex3f(x - 0.5f * k, y - 0.5f * k, 0.0f);
    glVertex3f(x + 0.5f * k, y - 0.5f * k, 0.0f);
    glVertex3f(x + 0.5f * k, y + 0.5f * k, 0.0f);
    glVertex3f(x, y - 0.2f * k, 0.0f);
}

// Whether the quad of size k at (x, y) came out fanned: the probe point white.
bool fanned(float k, float x, float y) {
    const float px = x + 0.1f * k;
    unsigned char pixel[4] = {};
    glReadPixels(static_cast<int>((px + 1.0f) * 0.5f * side), static_cast<int>((y + 1.0f) * 0.5f * side), 1, 1,
                 GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return pixel[0] > 200;
}

// Two quads: a small one at (-0.5, 0), which the case asks about, then one that
// reaches past the right edge of the view when `secondClipped`, drawn in a
// block of its own after `between` ran.
struct Case {
    const char* name;
    void (*before)();    // before the first block
    void (*inFirst)();   // inside the first block, before its corners
    void (*between)();   // between the blocks; null: no second block
    bool secondClipped;
    bool expectFan;
};

void nothing() {}
void flat() { glShadeModel(GL_FLAT); }
void white() { glColor3f(1.0f, 1.0f, 1.0f); }
void sameMatrix() {
    glPushMatrix();
    glPopMatrix();
}
void moved() { glTranslatef(0.0f, 0.0f, 0.0f); }
void sameMode() { glMatrixMode(GL_MODELVIEW); }
void smooth() { glShadeModel(GL_SMOOTH); }
void otherMode() {
    glMatrixMode(GL_PROJECTION);
    glMatrixMode(GL_MODELVIEW);
}

const Case cases[] = {
    {"a quad alone, inside the view", nothing, nothing, nullptr, false, true},
    {"shaded flat, its colour set before the block", flat, nothing, nullptr, false, true},
    {"shaded flat, its colour given per vertex", flat, white, nullptr, false, false},
    {"then, with nothing between, a quad past the edge", nothing, nothing, nothing, true, false},
    {"then a quad inside the view", nothing, nothing, nothing, false, true},
    {"then a matrix pushed and popped, a quad past the edge", nothing, nothing, sameMatrix, true, false},
    {"then a colour given per vertex, a quad past the edge", nothing, white, white, true, false},
    {"then a colour not given per vertex, a quad past the edge", nothing, nothing, white, true, true},
    {"then a translation, a quad past the edge", nothing, nothing, moved, true, true},
    {"then the matrix mode it has, a quad past the edge", nothing, nothing, sameMode, true, false},
    {"then another matrix mode and back, a quad past the edge", nothing, nothing, otherMode, true, true},
    {"then the shade model it has, a quad past the edge", nothing, nothing, smooth, true, false},
    {"then shaded flat, a quad past the edge", nothing, nothing, flat, true, true},
};

TEST(GLSubsetQuads, EachQuadIsSplitAsTheSystemsOpenGLSplitsIt) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    glViewport(0, 0, side, side);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        glShadeModel(GL_SMOOTH);
        glLoadIdentity();
        glColor3f(1.0f, 1.0f, 1.0f);
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        c.before();
        glBegin(GL_QUADS);
        c.inFirst();
        quad(0.5f, -0.5f, 0.0f);
        glEnd();
        if (c.between) {
            c.between();
            glBegin(GL_QUADS);
            c.inFirst();
            quad(c.secondClipped ? 0.9f : 0.5f, c.secondClipped ? 0.7f : 0.5f, 0.0f);
            glEnd();
        }
        EXPECT_EQ(fanned(0.5f, -0.5f, 0.0f), c.expectFan);
    }
    // A corner on the edge of the view is inside it; just past it is not.
    for (auto [k, fan] : {std::pair{1.99f, true}, std::pair{2.0f, true}, std::pair{2.01f, false}}) {
        SCOPED_TRACE("a corner at x = " + std::to_string(k / 2));
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        quad(k, 0.0f, 0.0f);
        glEnd();
        EXPECT_EQ(fanned(k, 0.0f, 0.0f), fan);
    }
    // A run is decided in parts of 1024 quads: a quad past the edge as the
    // 1024th of a block splits the first the other way, as the 1025th not,
    // even with its first corner past the edge; each part starts afresh,
    // fanned unless its colours are given per vertex and shaded flat.
    struct Part {
        int quads, probe, past;  // how many; the quad asked about; the one past the edge (-1: none)
        float pastX;             // its centre; at 1.5 its first corner lies past the edge too
        bool flatColours;
        bool fan;
    };
    const Part parts[] = {{1024, 0, 1023, 0.7f, false, false}, {1025, 0, 1024, 0.7f, false, true},
                          {1025, 0, 1024, 1.5f, false, true},  {2049, 1024, 2048, 0.7f, false, true},
                          {1025, 1024, 0, 0.7f, false, true},  {1025, 1024, -1, 0.0f, false, true},
                          {1025, 1024, -1, 0.0f, true, false}};
    for (const Part& p : parts) {
        SCOPED_TRACE(std::to_string(p.quads) + " quads, quad " + std::to_string(p.probe) + " asked about, quad " +
                     std::to_string(p.past) + " past the edge" + (p.flatColours ? ", flat colours" : ""));
        glShadeModel(p.flatColours ? GL_FLAT : GL_SMOOTH);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        glColor3f(1.0f, 1.0f, 1.0f);
        for (int i = 0; i < p.quads; ++i) {
            if (i == p.probe) {
                quad(0.5f, -0.5f, 0.0f);
            } else if (i == p.past) {
                quad(0.9f, p.pastX, 0.0f);
            } else {
                quad(0.1f, 0.5f, 0.5f);
            }
        }
        glEnd();
        EXPECT_EQ(fanned(0.5f, -0.5f, 0.0f), p.fan);
    }
    glShadeModel(GL_SMOOTH);
}

}  // namespace
