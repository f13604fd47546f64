#pragma once
// A recording stand-in for OpenGL 1.1 and GLU. It records every call, keeps
// the modelview and projection stacks, and hands every vertex back in eye
// coordinates, so tests can say where a scene puts its shapes.
#include <GL/gl.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace gldouble {

using Matrix = std::array<double, 16>;  // column-major, as GL keeps it

struct Call {
    std::string name;
    std::vector<double> args;
};

struct Vertex {
    double x, y, z;          // eye coordinates (modelview applied)
    double objX, objY, objZ; // as passed
    double s, t;             // current texture coordinate
    double r, g, b, a;       // current colour
    double nx, ny, nz;       // current normal (untransformed)
    GLuint texture;          // texture bound when the vertex was issued
    bool textured;           // GL_TEXTURE_2D enabled then
};

struct Primitive {
    GLenum mode;
    std::vector<Vertex> vertices;
    int normals = 0;          // glNormal3f calls inside the block
    bool depthTested = false;  // GL_DEPTH_TEST enabled at glBegin
};

void reset();
// Starts afresh, but in a state that no scene may rely on, as a careless scene
// before it could leave it: blending on with (GL_ONE, GL_ONE), `strayTexture`
// bound, an odd current colour, and the depth test and GL_TEXTURE_2D as given
// (the other setting from the one the scene needs). Only what the scene sets
// itself then reads as right. Nothing is recorded.
inline constexpr GLuint strayTexture = 777;
inline constexpr std::array<float, 4> strayColour{0.5f, 0.25f, 0.75f, 0.5f};
void resetHostile(bool depthTest, bool texturing = true);
const std::vector<Call>& calls();
std::vector<std::string> callNames();
int countCalls(const std::string& name);
const std::vector<Primitive>& primitives();

Matrix identity();
const Matrix& modelview();
const Matrix& projection();
size_t modelviewDepth();
GLenum matrixMode();
GLuint boundTexture();
bool isEnabled(GLenum cap);
std::array<float, 4> clearColor();
std::array<float, 4> currentColor();
std::array<GLint, 4> viewport();
GLenum blendSource();
GLenum blendDestination();

// Textures made with glGenTextures and what glTexImage2D uploaded into them.
struct TextureImage {
    GLsizei width = 0, height = 0;
    GLenum internalFormat = 0, format = 0, type = 0;
    std::vector<unsigned char> pixels;
    std::map<GLenum, GLint> parameters;
};
const std::map<GLuint, TextureImage>& textures();

// Projects an eye-space point to window coordinates with the current
// projection and viewport.
std::array<double, 2> toWindow(double x, double y, double z);

// The string glGetString returns for GL_EXTENSIONS.
void setExtensions(const std::string& text);
// What glGetIntegerv gives for GL_MAX_TEXTURE_SIZE (16384 after reset, as Mesa says).
void setMaxTextureSize(GLint pixels);

}  // namespace gldouble
