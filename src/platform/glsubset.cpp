#include "platform/glsubset.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <vector>

namespace glsubset {
namespace {

// The ES 2 entry points the subset draws with: return type, name without
// the "gl" prefix, parameters. One list makes both the table and its loader.
#define GLSUBSET_ES2_FUNCTIONS(F)                                                                          \
    F(void, AttachShader, (GLuint, GLuint))                                                                \
    F(void, BindAttribLocation, (GLuint, GLuint, const GLchar*))                                           \
    F(void, BindBuffer, (GLenum, GLuint))                                                                  \
    F(void, BindTexture, (GLenum, GLuint))                                                                 \
    F(void, BlendFunc, (GLenum, GLenum))                                                                   \
    F(void, BufferData, (GLenum, GLsizeiptr, const void*, GLenum))                                         \
    F(void, Clear, (GLbitfield))                                                                           \
    F(void, ClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                              \
    F(void, ClearDepthf, (GLfloat))                                                                        \
    F(void, CompileShader, (GLuint))                                                                       \
    F(GLuint, CreateProgram, ())                                                                           \
    F(GLuint, CreateShader, (GLenum))                                                                      \
    F(void, DeleteShader, (GLuint))                                                                        \
    F(void, DepthFunc, (GLenum))                                                                           \
    F(void, Disable, (GLenum))                                                                             \
    F(void, DrawArrays, (GLenum, GLint, GLsizei))                                                          \
    F(void, Enable, (GLenum))                                                                              \
    F(void, EnableVertexAttribArray, (GLuint))                                                             \
    F(void, Finish, ())                                                                                    \
    F(void, Flush, ())                                                                                     \
    F(void, GenBuffers, (GLsizei, GLuint*))                                                                \
    F(void, GenTextures, (GLsizei, GLuint*))                                                               \
    F(void, GetIntegerv, (GLenum, GLint*))                                                                 \
    F(void, GetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                       \
    F(void, GetProgramiv, (GLuint, GLenum, GLint*))                                                        \
    F(void, GetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                        \
    F(void, GetShaderiv, (GLuint, GLenum, GLint*))                                                         \
    F(const GLubyte*, GetString, (GLenum))                                                                 \
    F(GLint, GetUniformLocation, (GLuint, const GLchar*))                                                  \
    F(void, LinkProgram, (GLuint))                                                                         \
    F(void, PixelStorei, (GLenum, GLint))                                                                  \
    F(void, ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))                           \
    F(void, ShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))                           \
    F(void, TexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))      \
    F(void, TexParameteri, (GLenum, GLenum, GLint))                                                        \
    F(void, Uniform1i, (GLint, GLint))                                                                     \
    F(void, UseProgram, (GLuint))                                                                          \
    F(void, VertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))                 \
    F(void, Viewport, (GLint, GLint, GLsizei, GLsizei))

struct Es2 {
#define GLSUBSET_MEMBER(result, name, params) result(*name) params = nullptr;
    GLSUBSET_ES2_FUNCTIONS(GLSUBSET_MEMBER)
#undef GLSUBSET_MEMBER
};

// Column-major, single precision, as GL keeps its matrices.
using Matrix = std::array<float, 16>;

constexpr Matrix identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr std::size_t maxStackDepth = 32;
constexpr double pi = 3.14159265358979323846;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    }
    return r;
}

// One vertex of the batch: clip coordinates, colour, texture coordinate.
struct Vertex {
    float position[4];
    float colour[4];
    float texCoord[2];
};

// What decides whether a texture object can be drawn with.
struct TextureObject {
    bool hasImage = false;
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;  // GL's default, which asks for mipmaps
};

// Only level 0 is ever given, so a filter that reads mipmaps finds none.
bool complete(const TextureObject& t) {
    return t.hasImage && (t.minFilter == GL_NEAREST || t.minFilter == GL_LINEAR);
}

// The attribute locations the shader pair is linked with.
enum Attribute : GLuint { positionAttribute = 0, colourAttribute = 1, texCoordAttribute = 2 };

const char* const vertexShader =
    "attribute vec4 position;\n"
    "attribute vec4 colour;\n"
    "attribute vec2 texCoord;\n"
    "varying vec4 vColour;\n"
    "varying vec2 vTexCoord;\n"
    "void main() {\n"
    "    vColour = colour;\n"
    "    vTexCoord = texCoord;\n"
    "    gl_Position = position;\n"
    "}\n";

// GL_MODULATE: the texture's colour and alpha times the vertex colour's.
const char* const fragmentShader =
    "#ifdef GL_FRAGMENT_PRECISION_HIGH\n"
    "precision highp float;\n"
    "#else\n"
    "precision mediump float;\n"
    "#endif\n"
    "uniform sampler2D image;\n"
    "uniform bool textured;\n"
    "varying vec4 vColour;\n"
    "varying vec2 vTexCoord;\n"
    "void main() {\n"
    "    gl_FragColor = textured ? vColour * texture2D(image, vTexCoord) : vColour;\n"
    "}\n";

// Quads split as Mesa splits them. It draws as one run the quads of GL_QUADS
// blocks that follow each other with nothing between them that changes how
// they are drawn (a matrix, the GL state, an attribute the blocks do not give
// per vertex), in parts of 1024 quads. Its general split of a quad is
// (0,1,3),(1,2,3), which keeps the last corner, the one whose colour a
// flat-shaded quad takes, last in both triangles; it takes that split for
// every quad of a part once a corner of the part lies outside the view volume
// (the triangles are then cut at its edges), and for a whole run whose
// colours, given per vertex, are shaded flat. Otherwise it fans each quad
// from its first corner, (0,1,2),(0,2,3). Where a quad is not flat, or two of
// its corners meet, or a rectangle of texture lies on a trapezoid, the
// diagonal shows.
struct QuadRun {
    bool open = false;       // a GL_QUADS block may still join it
    bool otherWay = false;   // the part is split (0,1,3),(1,2,3) rather than fanned
    std::size_t first = 0;   // the part's first vertex in the batch
    bool colours = false, texCoords = false, normals = false;  // given per vertex in its blocks
};
constexpr std::size_t quadsPerPart = 1024;

struct State {
    bool started = false;
    Es2 es;
    GLuint program = 0, buffer = 0;
    GLint texturedUniform = -1;
    bool npotRepeats = false;  // textures of any size may repeat

    // GL 1.1 state kept here.
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Matrix> modelview{identity}, projection{identity};
    Matrix clipMatrix = identity;  // projection x modelview
    bool clipMatrixStale = false;
    std::array<float, 4> colour{1, 1, 1, 1};
    std::array<float, 2> texCoord{0, 0};
    bool texturing = false, blending = false, depthTest = false;
    GLuint boundTexture = 0;
    std::map<GLuint, TextureObject> textures;  // by name; 0, the default texture, never has an image
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO, depthFunc = GL_LESS;
    std::array<GLint, 4> viewport{0, 0, 0, 0};
    GLint packAlignment = 4;

    // The primitive being issued, and the triangles waiting to be drawn.
    bool inBegin = false;
    GLenum primitive = 0;
    std::array<Vertex, 4> quad{};
    int quadVertices = 0;
    std::vector<Vertex> batch;
    QuadRun quads;
    GLenum shadeModel = GL_SMOOTH;
    int shaderTextured = -1;  // what the shader's switch was last set to
};

State& st() {
    static State s;
    return s;
}

void endQuadRun() { st().quads.open = false; }

std::vector<Matrix>& currentStack() {
    State& s = st();
    return s.matrixMode == GL_PROJECTION ? s.projection : s.modelview;
}

void multiplyCurrent(const Matrix& m) {
    Matrix& top = currentStack().back();
    top = multiply(top, m);
    st().clipMatrixStale = true;
    endQuadRun();
}

void draw() {
    State& s = st();
    s.quads.open = false;
    if (!s.started || s.batch.empty()) return;
    // GL draws as if texturing were off while the bound texture cannot be
    // drawn with (the default texture 0, say); ES 2 would sample black.
    const bool textured = s.texturing && complete(s.textures[s.boundTexture]);
    if (s.shaderTextured != static_cast<int>(textured)) {
        s.shaderTextured = textured;
        s.es.Uniform1i(s.texturedUniform, s.shaderTextured);
    }
    s.es.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.batch.size() * sizeof(Vertex)), s.batch.data(),
                    GL_STREAM_DRAW);
    s.es.DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(s.batch.size()));
    s.batch.clear();
}

// Draws the batch when `value` is about to change.
template <typename T>
void change(T& current, T value) {
    if (current == value) return;
    draw();
    current = value;
}

// The two ways a quad becomes two triangles (see QuadRun).
constexpr int fanSplit[6] = {0, 1, 2, 0, 2, 3};
constexpr int otherSplit[6] = {0, 1, 3, 1, 2, 3};

// Outside the view volume: GL's six clip planes, a point on one is inside.
bool outsideView(const Vertex& v) {
    const float w = v.position[3];
    for (int i = 0; i < 3; ++i)
        if (v.position[i] > w || v.position[i] < -w) return true;
    return false;
}

// The part's quads so far, fanned, split the other way, and so the rest of it.
void splitRunTheOtherWay(State& s) {
    s.quads.otherWay = true;
    for (std::size_t q = s.quads.first; q + 6 <= s.batch.size(); q += 6) {
        const Vertex corner[4] = {s.batch[q], s.batch[q + 1], s.batch[q + 2], s.batch[q + 5]};
        for (int i = 0; i < 6; ++i) s.batch[q + static_cast<std::size_t>(i)] = corner[otherSplit[i]];
    }
}

void emitVertex(float x, float y, float z) {
    State& s = st();
    if (!s.inBegin || (s.primitive != GL_QUADS && s.primitive != GL_TRIANGLES)) return;
    if (s.clipMatrixStale) {
        s.clipMatrix = multiply(s.projection.back(), s.modelview.back());
        s.clipMatrixStale = false;
    }
    const Matrix& m = s.clipMatrix;
    Vertex& v = s.quad[static_cast<std::size_t>(s.quadVertices++)];
    for (int row = 0; row < 4; ++row) v.position[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    // GL clamps the colour of each vertex before it is interpolated.
    for (int i = 0; i < 4; ++i) v.colour[i] = std::clamp(s.colour[static_cast<std::size_t>(i)], 0.0f, 1.0f);
    v.texCoord[0] = s.texCoord[0];
    v.texCoord[1] = s.texCoord[1];
    if (s.primitive == GL_TRIANGLES) {
        if (s.quadVertices < 3) return;
        for (int i : {0, 1, 2}) s.batch.push_back(s.quad[static_cast<std::size_t>(i)]);
    } else {
        if (s.quadVertices == 1 && s.batch.size() - s.quads.first == 6 * quadsPerPart) {
            s.quads.first = s.batch.size();
            s.quads.otherWay = s.quads.colours && s.shadeModel == GL_FLAT;
        }
        if (!s.quads.otherWay && outsideView(v)) splitRunTheOtherWay(s);
        if (s.quadVertices < 4) return;
        for (int i : s.quads.otherWay ? otherSplit : fanSplit) s.batch.push_back(s.quad[static_cast<std::size_t>(i)]);
    }
    s.quadVertices = 0;
}

bool isPowerOfTwo(GLsizei n) { return n > 0 && (n & (n - 1)) == 0; }

GLuint compile(GLenum kind, const char* source, std::string& why) {
    Es2& es = st().es;
    GLuint shader = es.CreateShader(kind);
    es.ShaderSource(shader, 1, &source, nullptr);
    es.CompileShader(shader);
    GLint ok = 0;
    es.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[512] = "";
    es.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    why = std::string(kind == GL_VERTEX_SHADER ? "the vertex" : "the fragment") + " shader does not compile: " + log;
    es.DeleteShader(shader);
    return 0;
}

bool buildProgram(std::string& why) {
    State& s = st();
    Es2& es = s.es;
    GLuint vs = compile(GL_VERTEX_SHADER, vertexShader, why);
    if (!vs) return false;
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentShader, why);
    if (!fs) return false;
    s.program = es.CreateProgram();
    es.AttachShader(s.program, vs);
    es.AttachShader(s.program, fs);
    es.BindAttribLocation(s.program, positionAttribute, "position");
    es.BindAttribLocation(s.program, colourAttribute, "colour");
    es.BindAttribLocation(s.program, texCoordAttribute, "texCoord");
    es.LinkProgram(s.program);
    es.DeleteShader(vs);
    es.DeleteShader(fs);
    GLint ok = 0;
    es.GetProgramiv(s.program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[512] = "";
        es.GetProgramInfoLog(s.program, sizeof log, nullptr, log);
        why = std::string("the shaders do not link: ") + log;
        return false;
    }
    es.UseProgram(s.program);
    s.texturedUniform = es.GetUniformLocation(s.program, "textured");
    es.Uniform1i(es.GetUniformLocation(s.program, "image"), 0);

    es.GenBuffers(1, &s.buffer);
    es.BindBuffer(GL_ARRAY_BUFFER, s.buffer);
    const GLsizei stride = sizeof(Vertex);
    es.VertexAttribPointer(positionAttribute, 4, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, position)));
    es.VertexAttribPointer(colourAttribute, 4, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, colour)));
    es.VertexAttribPointer(texCoordAttribute, 2, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, texCoord)));
    for (GLuint a : {positionAttribute, colourAttribute, texCoordAttribute}) es.EnableVertexAttribArray(a);
    return true;
}

}  // namespace

bool start(LoadFunction load, std::string& why) {
    State& s = st();
    s = State{};
    const struct {
        const char* name;
        void** slot;
    } entries[] = {
#define GLSUBSET_ENTRY(result, name, params) {"gl" #name, reinterpret_cast<void**>(&s.es.name)},
        GLSUBSET_ES2_FUNCTIONS(GLSUBSET_ENTRY)
#undef GLSUBSET_ENTRY
    };
    for (const auto& entry : entries) {
        *entry.slot = load(entry.name);
        if (!*entry.slot) {
            why = std::string("the OpenGL ES 2 context has no ") + entry.name;
            s.es = Es2{};
            return false;
        }
    }
    if (!buildProgram(why)) {
        s.es = Es2{};
        return false;
    }
    const GLubyte* extensions = s.es.GetString(GL_EXTENSIONS);
    s.npotRepeats = extensions && std::strstr(reinterpret_cast<const char*>(extensions), "GL_OES_texture_npot");
    s.es.GetIntegerv(GL_VIEWPORT, s.viewport.data());
    s.started = true;
    return true;
}

void flushBatch() { draw(); }

void stop() { st() = State{}; }

}  // namespace glsubset

using glsubset::st;

// ---- Matrices ---------------------------------------------------------------

void glMatrixMode(GLenum mode) {
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION) return;
    if (mode != st().matrixMode) glsubset::endQuadRun();
    st().matrixMode = mode;
}

void glLoadIdentity() {
    glsubset::currentStack().back() = glsubset::identity;
    st().clipMatrixStale = true;
    glsubset::endQuadRun();
}

void glPushMatrix() {
    auto& stack = glsubset::currentStack();
    if (stack.size() < glsubset::maxStackDepth) stack.push_back(stack.back());
}

void glPopMatrix() {
    auto& stack = glsubset::currentStack();
    if (stack.size() < 2) return;
    if (stack.back() != stack[stack.size() - 2]) glsubset::endQuadRun();
    stack.pop_back();
    st().clipMatrixStale = true;
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    glsubset::Matrix m = glsubset::identity;
    m[12] = x;
    m[13] = y;
    m[14] = z;
    glsubset::multiplyCurrent(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    const double radians = static_cast<double>(angle) * glsubset::pi / 180.0;
    const float s = static_cast<float>(std::sin(radians)), c = static_cast<float>(std::cos(radians)), d = 1.0f - c;
    glsubset::Matrix m = {x * x * d + c,     y * x * d + z * s, x * z * d - y * s, 0,
                          x * y * d - z * s, y * y * d + c,     y * z * d + x * s, 0,
                          x * z * d + y * s, y * z * d - x * s, z * z * d + c,     0,
                          0,                 0,                 0,                 1};
    glsubset::multiplyCurrent(m);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovy / 2 * glsubset::pi / 180;
    const double depth = zFar - zNear, sine = std::sin(radians);
    if (depth == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    glsubset::Matrix m{};
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(zFar + zNear) / depth);
    m[11] = -1;
    m[14] = static_cast<float>(-2 * zNear * zFar / depth);
    glsubset::multiplyCurrent(m);
}

// ---- Vertices -----------------------------------------------------------------

void glBegin(GLenum mode) {
    glsubset::State& s = st();
    s.inBegin = true;
    s.primitive = mode;
    s.quadVertices = 0;
    if (mode != GL_QUADS) {
        glsubset::endQuadRun();
    } else if (!s.quads.open) {
        s.quads = glsubset::QuadRun{true, false, s.batch.size(), false, false, false};
    }
}

void glEnd() {
    st().inBegin = false;
    st().quadVertices = 0;  // an unfinished quad draws nothing, as in GL
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { glsubset::emitVertex(x, y, z); }

void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    glsubset::emitVertex(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

namespace {

// An attribute given inside a run's blocks is part of each of its vertices;
// one given between its blocks, and not inside them, ends the run.
void attributeGiven(bool glsubset::QuadRun::*perVertex) {
    glsubset::State& s = st();
    if (s.inBegin && s.primitive == GL_QUADS) {
        s.quads.*perVertex = true;
        const bool flatColours = s.quads.colours && s.shadeModel == GL_FLAT;
        if (flatColours && !s.quads.otherWay) glsubset::splitRunTheOtherWay(s);
    } else if (!s.inBegin && !(s.quads.*perVertex)) {
        glsubset::endQuadRun();
    }
}

}  // namespace

void glColor3f(GLfloat r, GLfloat g, GLfloat b) { glColor4f(r, g, b, 1.0f); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    attributeGiven(&glsubset::QuadRun::colours);
    st().colour = {r, g, b, a};
}
void glTexCoord2f(GLfloat s, GLfloat t) {
    attributeGiven(&glsubset::QuadRun::texCoords);
    st().texCoord = {s, t};
}
void glNormal3f(GLfloat, GLfloat, GLfloat) { attributeGiven(&glsubset::QuadRun::normals); }

// ---- State ----------------------------------------------------------------------

namespace {

bool* capability(GLenum cap) {
    switch (cap) {
        case GL_TEXTURE_2D: return &st().texturing;
        case GL_BLEND: return &st().blending;
        case GL_DEPTH_TEST: return &st().depthTest;
        default: return nullptr;
    }
}

void setCapability(GLenum cap, bool on) {
    glsubset::State& s = st();
    bool* flag = capability(cap);
    if (!s.started || !flag) return;
    glsubset::change(*flag, on);
    // Texturing is the shader's switch; ES 2 has no such capability.
    if (cap == GL_TEXTURE_2D) return;
    if (on) {
        s.es.Enable(cap);
    } else {
        s.es.Disable(cap);
    }
}

}  // namespace

void glEnable(GLenum cap) { setCapability(cap, true); }
void glDisable(GLenum cap) { setCapability(cap, false); }

void glBlendFunc(GLenum source, GLenum destination) {
    glsubset::State& s = st();
    if (!s.started) return;
    glsubset::change(s.blendSource, source);
    glsubset::change(s.blendDestination, destination);
    s.es.BlendFunc(source, destination);
}

void glDepthFunc(GLenum func) {
    glsubset::State& s = st();
    if (!s.started) return;
    glsubset::change(s.depthFunc, func);
    s.es.DepthFunc(func);
}

// ES 2 interpolates smoothly: flat shading would show only where a quad's
// colours differ per vertex, which the demo's flat blocks never do. It does
// decide how a run of quads is split.
void glShadeModel(GLenum mode) {
    glsubset::State& s = st();
    if (mode != s.shadeModel) glsubset::endQuadRun();
    s.shadeModel = mode;
}
void glHint(GLenum, GLenum) {}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    glsubset::State& s = st();
    if (!s.started) return;
    glsubset::change(s.viewport, {x, y, width, height});
    s.es.Viewport(x, y, width, height);
}

void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (st().started) st().es.ClearColor(r, g, b, a);
}

void glClearDepth(GLclampd depth) {
    if (st().started) st().es.ClearDepthf(static_cast<GLfloat>(depth));
}

void glClear(GLbitfield mask) {
    glsubset::draw();
    if (st().started) st().es.Clear(mask);
}

// ---- Textures -------------------------------------------------------------------

void glGenTextures(GLsizei n, GLuint* textures) {
    if (st().started) st().es.GenTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture) {
    glsubset::State& s = st();
    if (!s.started) return;
    glsubset::change(s.boundTexture, texture);
    s.es.BindTexture(target, texture);
}

void glTexParameteri(GLenum target, GLenum name, GLint value) {
    glsubset::State& s = st();
    glsubset::draw();
    if (!s.started) return;
    if (name == GL_TEXTURE_MIN_FILTER && s.boundTexture != 0) s.textures[s.boundTexture].minFilter = value;
    s.es.TexParameteri(target, name, value);
}

void glTexImage2D(GLenum target, GLint level, GLint, GLsizei width, GLsizei height, GLint border, GLenum format,
                  GLenum type, const GLvoid* pixels) {
    glsubset::State& s = st();
    glsubset::draw();
    if (!s.started) return;
    // ES 2 takes the pixels' format as the texture's own.
    s.es.TexImage2D(target, level, static_cast<GLint>(format), width, height, border, format, type, pixels);
    if (level == 0 && s.boundTexture != 0) s.textures[s.boundTexture].hasImage = width > 0 && height > 0;
    if (!s.npotRepeats && (!glsubset::isPowerOfTwo(width) || !glsubset::isPowerOfTwo(height))) {
        // Without that extension such a texture would not draw at all while it
        // repeats; clamped, only its outermost half texel differs.
        s.es.TexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        s.es.TexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
}

void glPixelStorei(GLenum name, GLint value) {
    glsubset::State& s = st();
    if (!s.started) return;
    if (name == GL_PACK_ALIGNMENT) {
        s.packAlignment = value;
    } else {
        s.es.PixelStorei(name, value);
    }
}

// ---- Queries and read-back -----------------------------------------------------

void glGetIntegerv(GLenum name, GLint* values) {
    if (st().started) st().es.GetIntegerv(name, values);
}

// The matrices come from our own stacks; ES 2 keeps none.
void glGetFloatv(GLenum name, GLfloat* values) {
    const auto& s = st();
    if (name == GL_MODELVIEW_MATRIX || name == GL_PROJECTION_MATRIX) {
        const auto& m = name == GL_MODELVIEW_MATRIX ? s.modelview.back() : s.projection.back();
        std::copy(m.begin(), m.end(), values);
    }
}

const GLubyte* glGetString(GLenum name) { return st().started ? st().es.GetString(name) : nullptr; }

void glFinish() {
    glsubset::draw();
    if (st().started) st().es.Finish();
}

void glFlush() {
    glsubset::draw();
    if (st().started) st().es.Flush();
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels) {
    glsubset::State& s = st();
    glsubset::draw();
    if (!s.started || width <= 0 || height <= 0) return;
    if (type != GL_UNSIGNED_BYTE || (format != GL_RGB && format != GL_RGBA)) return;
    // ES 2 promises RGBA bytes, rows packed to 4 bytes (which RGBA rows always are).
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::vector<unsigned char> rgba(w * h * 4);
    s.es.PixelStorei(GL_PACK_ALIGNMENT, 4);
    s.es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const std::size_t channels = format == GL_RGB ? 3 : 4;
    const std::size_t align = static_cast<std::size_t>(std::max(1, s.packAlignment));
    const std::size_t stride = (w * channels + align - 1) / align * align;
    auto* out = static_cast<unsigned char*>(pixels);
    for (std::size_t row = 0; row < h; ++row) {
        for (std::size_t col = 0; col < w; ++col) {
            std::memcpy(out + row * stride + col * channels, &rgba[(row * w + col) * 4], channels);
        }
    }
}

namespace {

// What glPushAttrib keeps: all of the state above that the calls here set.
struct Attributes {
    std::array<float, 4> colour;
    bool texturing, blending, depthTest;
    GLuint boundTexture;
    GLenum blendSource, blendDestination, depthFunc, matrixMode;
    std::array<GLint, 4> viewport;
};

std::vector<Attributes>& attributeStack() {
    static std::vector<Attributes> stack;
    return stack;
}

}  // namespace

// Every attribute is kept whatever the mask: the tools ask for all of them.
void glPushAttrib(GLbitfield) {
    glsubset::endQuadRun();
    const glsubset::State& s = st();
    if (attributeStack().size() >= 16) return;  // GL's minimum depth; deeper is an error there
    attributeStack().push_back({s.colour, s.texturing, s.blending, s.depthTest, s.boundTexture, s.blendSource,
                                s.blendDestination, s.depthFunc, s.matrixMode, s.viewport});
}

// Restored through the calls themselves, so that the batch is drawn first.
void glPopAttrib() {
    if (attributeStack().empty()) return;
    const Attributes a = attributeStack().back();
    attributeStack().pop_back();
    (a.texturing ? glEnable : glDisable)(GL_TEXTURE_2D);
    (a.blending ? glEnable : glDisable)(GL_BLEND);
    (a.depthTest ? glEnable : glDisable)(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, a.boundTexture);
    glBlendFunc(a.blendSource, a.blendDestination);
    glDepthFunc(a.depthFunc);
    glViewport(a.viewport[0], a.viewport[1], a.viewport[2], a.viewport[3]);
    glMatrixMode(a.matrixMode);
    glColor4f(a.colour[0], a.colour[1], a.colour[2], a.colour[3]);
}
