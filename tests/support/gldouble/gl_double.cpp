#include "support/gldouble/gl_double.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

namespace gldouble {
namespace {

struct State {
    std::vector<Call> calls;
    std::vector<Primitive> primitives;
    bool inBegin = false;
    std::vector<Matrix> modelviewStack{identity()};
    std::vector<Matrix> projectionStack{identity()};
    GLenum mode = GL_MODELVIEW;
    GLuint bound = 0;
    std::map<GLenum, bool> enabled;
    std::array<float, 4> clear{0, 0, 0, 0};
    std::array<float, 4> color{1, 1, 1, 1};
    std::array<double, 2> texCoord{0, 0};
    std::array<double, 3> normal{0, 0, 1};
    std::array<GLint, 4> viewport{0, 0, 0, 0};
    GLenum blendSrc = GL_ONE, blendDst = GL_ZERO;
    std::map<GLuint, TextureImage> textures;
    GLuint nextTexture = 1;
    std::string extensions;
    GLint maxTextureSize = 16384;
    // glPushAttrib's saved sets: what this double keeps of the attributes.
    struct Attributes {
        std::map<GLenum, bool> enabled;
        GLuint bound;
        std::array<float, 4> color;
        GLenum blendSrc, blendDst;
    };
    std::vector<Attributes> attributeStack;
};

State& st() {
    static State s;
    return s;
}

void record(const char* name, std::vector<double> args = {}) { st().calls.push_back({name, std::move(args)}); }

// Geometry, transforms and colours must be finite: a NaN or infinity there
// is undefined in GL and draws garbage or nothing, so it fails the test that
// caused it.
void recordFinite(const char* name, std::vector<double> args) {
    for (double a : args) {
        if (!std::isfinite(a)) {
            ADD_FAILURE() << name << " received a non-finite value";
            break;
        }
    }
    record(name, std::move(args));
}

std::vector<Matrix>& stack() { return st().mode == GL_PROJECTION ? st().projectionStack : st().modelviewStack; }

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    return r;
}

void multiplyCurrent(const Matrix& m) { stack().back() = multiply(stack().back(), m); }

std::array<double, 4> transform(const Matrix& m, double x, double y, double z, double w) {
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row) r[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row] * w;
    return r;
}

void emitVertex(double x, double y, double z) {
    State& s = st();
    auto eye = transform(s.modelviewStack.back(), x, y, z, 1);
    Vertex v{eye[0], eye[1], eye[2], x, y, z, s.texCoord[0], s.texCoord[1],
             s.color[0], s.color[1], s.color[2], s.color[3],
             s.normal[0], s.normal[1], s.normal[2], s.bound, s.enabled[GL_TEXTURE_2D]};
    if (s.inBegin && !s.primitives.empty()) s.primitives.back().vertices.push_back(v);
}

}  // namespace

Matrix identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

void reset() {
    std::string extensions = st().extensions;
    st() = State{};
    st().extensions = extensions;
}
void resetHostile(bool depthTest, bool texturing) {
    reset();
    State& s = st();
    s.enabled[GL_BLEND] = true;
    s.enabled[GL_TEXTURE_2D] = texturing;
    s.enabled[GL_DEPTH_TEST] = depthTest;
    s.blendSrc = GL_ONE;
    s.blendDst = GL_ONE;
    s.bound = strayTexture;
    s.color = strayColour;
}
const std::vector<Call>& calls() { return st().calls; }
std::vector<std::string> callNames() {
    std::vector<std::string> names;
    for (const Call& c : st().calls) names.push_back(c.name);
    return names;
}
int countCalls(const std::string& name) {
    int n = 0;
    for (const Call& c : st().calls) n += c.name == name;
    return n;
}
const std::vector<Primitive>& primitives() { return st().primitives; }
const Matrix& modelview() { return st().modelviewStack.back(); }
const Matrix& projection() { return st().projectionStack.back(); }
size_t modelviewDepth() { return st().modelviewStack.size(); }
GLenum matrixMode() { return st().mode; }
GLuint boundTexture() { return st().bound; }
bool isEnabled(GLenum cap) { return st().enabled[cap]; }
std::array<float, 4> clearColor() { return st().clear; }
std::array<float, 4> currentColor() { return st().color; }
std::array<GLint, 4> viewport() { return st().viewport; }
GLenum blendSource() { return st().blendSrc; }
GLenum blendDestination() { return st().blendDst; }
const std::map<GLuint, TextureImage>& textures() { return st().textures; }
void setExtensions(const std::string& text) { st().extensions = text; }
void setMaxTextureSize(GLint pixels) { st().maxTextureSize = pixels; }

std::array<double, 2> toWindow(double x, double y, double z) {
    auto clip = transform(st().projectionStack.back(), x, y, z, 1);
    double nx = clip[0] / clip[3], ny = clip[1] / clip[3];
    const auto& vp = st().viewport;
    return {vp[0] + (nx + 1) * vp[2] / 2, vp[1] + (ny + 1) * vp[3] / 2};
}

}  // namespace gldouble

using namespace gldouble;

extern "C" {

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    record("glViewport", {double(x), double(y), double(w), double(h)});
    st().viewport = {x, y, w, h};
}
void glMatrixMode(GLenum mode) {
    record("glMatrixMode", {double(mode)});
    st().mode = mode;
}
void glLoadIdentity() {
    record("glLoadIdentity");
    stack().back() = identity();
}
void glPushMatrix() {
    record("glPushMatrix");
    stack().push_back(stack().back());
}
void glPopMatrix() {
    record("glPopMatrix");
    if (stack().size() > 1) stack().pop_back();
}
void glMultMatrixf(const GLfloat* m) {
    record("glMultMatrixf");
    Matrix r;
    for (int i = 0; i < 16; ++i) r[i] = m[i];
    multiplyCurrent(r);
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    recordFinite("glTranslatef", {x, y, z});
    Matrix m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    multiplyCurrent(m);
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    recordFinite("glScalef", {x, y, z});
    Matrix m = identity();
    m[0] = x;
    m[5] = y;
    m[10] = z;
    multiplyCurrent(m);
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    recordFinite("glRotatef", {angle, x, y, z});
    double len = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (len == 0) return;
    double ux = x / len, uy = y / len, uz = z / len;
    double a = angle * M_PI / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    Matrix m = identity();
    m[0] = t * ux * ux + c;      m[4] = t * ux * uy - s * uz; m[8] = t * ux * uz + s * uy;
    m[1] = t * ux * uy + s * uz; m[5] = t * uy * uy + c;      m[9] = t * uy * uz - s * ux;
    m[2] = t * ux * uz - s * uy; m[6] = t * uy * uz + s * ux; m[10] = t * uz * uz + c;
    multiplyCurrent(m);
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record("gluPerspective", {fovy, aspect, zNear, zFar});
    double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    Matrix m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
    multiplyCurrent(m);
}
void glShadeModel(GLenum mode) { record("glShadeModel", {double(mode)}); }
void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    record("glClearColor", {r, g, b, a});
    st().clear = {r, g, b, a};
}
void glClearDepth(GLdouble depth) { record("glClearDepth", {depth}); }
void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }
void glEnable(GLenum cap) {
    record("glEnable", {double(cap)});
    st().enabled[cap] = true;
}
void glDisable(GLenum cap) {
    record("glDisable", {double(cap)});
    st().enabled[cap] = false;
}
void glDepthFunc(GLenum func) { record("glDepthFunc", {double(func)}); }
void glDepthMask(GLboolean flag) { record("glDepthMask", {double(flag)}); }
void glHint(GLenum target, GLenum mode) { record("glHint", {double(target), double(mode)}); }
void glBlendFunc(GLenum src, GLenum dst) {
    record("glBlendFunc", {double(src), double(dst)});
    st().blendSrc = src;
    st().blendDst = dst;
}
const GLubyte* glGetString(GLenum name) {
    record("glGetString", {double(name)});
    static const char empty[] = "";
    if (name == GL_EXTENSIONS) return reinterpret_cast<const GLubyte*>(st().extensions.c_str());
    return reinterpret_cast<const GLubyte*>(empty);
}
GLenum glGetError() { return GL_NO_ERROR; }
void glFinish() { record("glFinish"); }
void glFlush() { record("glFlush"); }
void glReadPixels(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*) { record("glReadPixels"); }
void glPixelStorei(GLenum pname, GLint param) { record("glPixelStorei", {double(pname), double(param)}); }

void glGenTextures(GLsizei n, GLuint* names) {
    record("glGenTextures", {double(n)});
    for (GLsizei i = 0; i < n; ++i) {
        names[i] = st().nextTexture++;
        st().textures[names[i]];
    }
}
void glDeleteTextures(GLsizei n, const GLuint* names) {
    record("glDeleteTextures", {double(n)});
    for (GLsizei i = 0; i < n; ++i) st().textures.erase(names[i]);
}
void glBindTexture(GLenum target, GLuint name) {
    record("glBindTexture", {double(target), double(name)});
    st().bound = name;
}
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    record("glTexParameteri", {double(target), double(pname), double(param)});
    st().textures[st().bound].parameters[pname] = param;
}
void glGetFloatv(GLenum name, GLfloat* values) {
    record("glGetFloatv", {double(name)});
    if (name == GL_MODELVIEW_MATRIX || name == GL_PROJECTION_MATRIX) {
        const Matrix& m = name == GL_MODELVIEW_MATRIX ? modelview() : projection();
        for (int i = 0; i < 16; ++i) values[i] = static_cast<GLfloat>(m[size_t(i)]);
    } else {
        ADD_FAILURE() << "glGetFloatv asked for 0x" << std::hex << name << ", which the double does not know";
    }
}
void glGetIntegerv(GLenum name, GLint* values) {
    record("glGetIntegerv", {double(name)});
    if (name == GL_MAX_TEXTURE_SIZE) {
        values[0] = st().maxTextureSize;
    } else {
        ADD_FAILURE() << "glGetIntegerv asked for 0x" << std::hex << name << ", which the double does not know";
    }
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
    record("glTexImage2D", {double(target), double(level), double(internalFormat), double(width), double(height),
                            double(border), double(format), double(type)});
    TextureImage& image = st().textures[st().bound];
    image.width = width;
    image.height = height;
    image.internalFormat = internalFormat;
    image.format = format;
    image.type = type;
    if (pixels && width > 0 && height > 0) {
        const auto* p = static_cast<const unsigned char*>(pixels);
        image.pixels.assign(p, p + size_t(width) * size_t(height) * 4);
    }
}

void glBegin(GLenum mode) {
    record("glBegin", {double(mode)});
    st().inBegin = true;
    st().primitives.push_back({mode, {}, 0, st().enabled[GL_DEPTH_TEST]});
}
// Every attribute group this double keeps is saved, whatever the mask.
void glPushAttrib(GLbitfield mask) {
    record("glPushAttrib", {double(mask)});
    State& s = st();
    s.attributeStack.push_back({s.enabled, s.bound, s.color, s.blendSrc, s.blendDst});
}
void glPopAttrib() {
    record("glPopAttrib");
    State& s = st();
    if (s.attributeStack.empty()) {
        ADD_FAILURE() << "glPopAttrib without glPushAttrib";
        return;
    }
    const State::Attributes& a = s.attributeStack.back();
    s.enabled = a.enabled;
    s.bound = a.bound;
    s.color = a.color;
    s.blendSrc = a.blendSrc;
    s.blendDst = a.blendDst;
    s.attributeStack.pop_back();
}
void glEnd() {
    record("glEnd");
    st().inBegin = false;
}
void glVertex2f(GLfloat x, GLfloat y) {
    recordFinite("glVertex2f", {x, y});
    emitVertex(x, y, 0);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    recordFinite("glVertex3f", {x, y, z});
    emitVertex(x, y, z);
}
void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    recordFinite("glVertex3d", {x, y, z});
    emitVertex(x, y, z);
}
void glTexCoord2f(GLfloat s, GLfloat t) {
    recordFinite("glTexCoord2f", {s, t});
    st().texCoord = {s, t};
}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    recordFinite("glNormal3f", {x, y, z});
    st().normal = {x, y, z};
    if (st().inBegin && !st().primitives.empty()) st().primitives.back().normals++;
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    recordFinite("glColor3f", {r, g, b});
    st().color = {r, g, b, 1};
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    recordFinite("glColor4f", {r, g, b, a});
    st().color = {r, g, b, a};
}
void glColor3d(GLdouble r, GLdouble g, GLdouble b) {
    recordFinite("glColor3d", {r, g, b});
    st().color = {float(r), float(g), float(b), 1};
}

}  // extern "C"
