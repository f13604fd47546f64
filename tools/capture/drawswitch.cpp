// The capture's drawing switch: the GL calls that only put pixels into the
// frame, wrapped at link time (the linker's --wrap, listed in this folder's
// CMakeLists.txt), so that frames run through the scenes' code can leave the
// picture alone. Every call that changes GL state (matrices, enables,
// bindings, blending) still goes through, and glGetFloatv still answers from
// GL, so the frame drawn after skipped ones starts from exactly the state the
// skipped ones would have left.
//
//   skipped while off      glBegin, glEnd, glVertex3f, glVertex3d, glClear,
//                          glFlush, glFinish
//   kept aside while off   glColor3f, glColor4f, glTexCoord2f, glNormal3f:
//                          the last of each is given to GL when drawing comes
//                          back on, which leaves GL's current colour, texture
//                          coordinate and normal as every call would have
#include <GL/gl.h>

#include "shell/capture.h"

extern "C" {
void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glVertex3d(GLdouble x, GLdouble y, GLdouble z);
void __real_glClear(GLbitfield mask);
void __real_glFlush();
void __real_glFinish();
void __real_glColor3f(GLfloat r, GLfloat g, GLfloat b);
void __real_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void __real_glTexCoord2f(GLfloat s, GLfloat t);
void __real_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
}

namespace {

bool drawingOff = false;

// The last colour, texture coordinate and normal given while drawing was off.
struct Held {
    bool colour = false, texCoord = false, normal = false;
    GLfloat rgba[4]{}, st[2]{}, xyz[3]{};
};
Held held;

void setDrawing(bool on) {
    drawingOff = !on;
    if (!on) return;
    if (held.colour) __real_glColor4f(held.rgba[0], held.rgba[1], held.rgba[2], held.rgba[3]);
    if (held.texCoord) __real_glTexCoord2f(held.st[0], held.st[1]);
    if (held.normal) __real_glNormal3f(held.xyz[0], held.xyz[1], held.xyz[2]);
    held = Held{};
}

// Installed before main runs: this program can switch drawing off.
[[maybe_unused]] const bool installed = (switchDrawing = setDrawing, true);

}  // namespace

extern "C" {

void __wrap_glBegin(GLenum mode) {
    if (!drawingOff) __real_glBegin(mode);
}
void __wrap_glEnd() {
    if (!drawingOff) __real_glEnd();
}
void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!drawingOff) __real_glVertex3f(x, y, z);
}
void __wrap_glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    if (!drawingOff) __real_glVertex3d(x, y, z);
}
void __wrap_glClear(GLbitfield mask) {
    if (!drawingOff) __real_glClear(mask);
}
void __wrap_glFlush() {
    if (!drawingOff) __real_glFlush();
}
void __wrap_glFinish() {
    if (!drawingOff) __real_glFinish();
}
void __wrap_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (!drawingOff) {
        __real_glColor4f(r, g, b, a);
        return;
    }
    held.colour = true;
    held.rgba[0] = r, held.rgba[1] = g, held.rgba[2] = b, held.rgba[3] = a;
}
void __wrap_glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    if (drawingOff) {
        __wrap_glColor4f(r, g, b, 1.0f);
    } else {
        __real_glColor3f(r, g, b);
    }
}
void __wrap_glTexCoord2f(GLfloat s, GLfloat t) {
    if (!drawingOff) {
        __real_glTexCoord2f(s, t);
        return;
    }
    held.texCoord = true;
    held.st[0] = s, held.st[1] = t;
}
void __wrap_glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!drawingOff) {
        __real_glNormal3f(x, y, z);
        return;
    }
    held.normal = true;
    held.xyz[0] = x, held.xyz[1] = y, held.xyz[2] = z;
}

}  // extern "C"
