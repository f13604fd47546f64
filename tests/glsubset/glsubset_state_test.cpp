// The GL 1.1 state the subset keeps itself, over an OpenGL ES 2 context: the
// matrix stacks, the attribute stack and the pixel formats it reads back.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "es2context.h"

namespace {

constexpr int side = 16;

std::array<float, 16> matrix(GLenum which) {
    std::array<float, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The colour a full-view quad gets, read back as bytes.
std::array<unsigned char, 4> drawnColour() {
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0);
    glVertex3f(1, -1, 0);
    glVertex3f(1, 1, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
    glPopMatrix();
    std::array<unsigned char, 4> pixel{};
    glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    return pixel;
}

TEST(GLSubsetState, MatricesFollowTheirStacksAndIgnoreWhatGLWouldRefuse) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    glTranslatef(1, 2, 3);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[12], 1.0f);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[14], 3.0f);
    // A mode the subset does not keep leaves the modelview current.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), identity);
    // One push, one pop; a pop of the last matrix does nothing.
    glTranslatef(5, 0, 0);
    glPushMatrix();
    glTranslatef(1, 0, 0);
    glPopMatrix();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[12], 5.0f);
    glPopMatrix();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[12], 5.0f);
    // 32 deep, as GL keeps at least: pushes past that are not kept.
    glLoadIdentity();
    for (int i = 0; i < 40; ++i) {
        glPushMatrix();
        glTranslatef(1, 0, 0);
    }
    glPopMatrix();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[12], 30.0f);
    for (int i = 0; i < 40; ++i) glPopMatrix();

    glMatrixMode(GL_PROJECTION);
    gluPerspective(90, 2, 1, 3);
    const std::array<float, 16> p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], 0.5f, 1e-6);
    EXPECT_NEAR(p[5], 1.0f, 1e-6);
    EXPECT_NEAR(p[10], -2.0f, 1e-6);
    EXPECT_EQ(p[11], -1.0f);
    EXPECT_NEAR(p[14], -3.0f, 1e-6);
    // No depth, no angle or no width: GL would divide by zero; nothing changes.
    for (auto [fovy, aspect, zNear, zFar] : {std::array<double, 4>{90, 2, 1, 1}, std::array<double, 4>{0, 2, 1, 3},
                                             std::array<double, 4>{90, 0, 1, 3}}) {
        gluPerspective(fovy, aspect, zNear, zFar);
        EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), p) << fovy << " " << aspect << " " << zNear << " " << zFar;
    }
}

// The corners of a quad over the whole view, in GL_QUADS order.
constexpr float fullView[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

// The whole picture cleared to one colour.
void clearViewTo(float r, float g, float b) {
    glViewport(0, 0, side, side);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// A full-view quad with s running from 0 to 2 across it, read back along its
// middle row.
std::array<unsigned char, side * 4> texturedRow() {
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    for (const auto& c : fullView) {
        glTexCoord2f(c[0] + 1, (c[1] + 1) / 2);
        glVertex3f(c[0], c[1], 0);
    }
    glEnd();
    std::array<unsigned char, side * 4> row{};
    glReadPixels(0, side / 2, side, 1, GL_RGBA, GL_UNSIGNED_BYTE, row.data());
    return row;
}

// A one-row texture of red, green and blue texels, `width` of them, bound;
// minified by its nearest texel or by GL's default, which reads mipmaps.
void texture(GLuint name, int width, bool nearest) {
    const unsigned char rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    glBindTexture(GL_TEXTURE_2D, name);
    if (nearest) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// The context's own entry points, but an extension list without
// GL_OES_texture_npot: textures whose sides are no powers of two may not repeat.
const GLubyte* noExtensions(GLenum name) {
    using GetString = const GLubyte* (*)(GLenum);
    static const auto real = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    return name == GL_EXTENSIONS ? reinterpret_cast<const GLubyte*>("GL_OES_depth24") : real(name);
}
void* loadWithoutNpot(const char* name) {
    return std::string(name) == "glGetString" ? reinterpret_cast<void*>(&noExtensions) : SDL_GL_GetProcAddress(name);
}

TEST(GLSubsetState, TexturesDrawOnlyAsGLWouldAndRepeatWhereTheyMay) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    for (bool npot : {true, false}) {
        SCOPED_TRACE(npot ? "as the context is" : "without GL_OES_texture_npot");
        std::string why;
        if (!npot) {
            glsubset::stop();
            ASSERT_TRUE(glsubset::start(loadWithoutNpot, why)) << why;
        }
        glViewport(0, 0, side, side);
        glClearColor(0, 0, 0, 1);
        glColor4f(1, 1, 1, 1);
        glEnable(GL_TEXTURE_2D);
        // The first drawing after the start is textured. Pixel 9 lies at s =
        // 1.19: the first texel where the texture repeats, the last where it
        // is clamped.
        texture(1, 2, true);
        auto row = texturedRow();
        for (int x : {2, 9}) {  // s = 0.31, and 1.19 where a texture two texels wide repeats
            EXPECT_EQ(row[x * 4], 255) << x;
            EXPECT_EQ(row[x * 4 + 1], 0) << x;
        }
        texture(2, 3, true);
        row = texturedRow();
        if (!npot) {
            EXPECT_EQ(row[9 * 4 + 2], 255) << "three texels wide, clamped: blue";
        }
        // Without a minifying filter that leaves out mipmaps, which it has
        // none of, a texture draws as if texturing were off.
        // So does one without texels.
        texture(3, 4, false);
        EXPECT_EQ(texturedRow()[2 * 4 + 1], 255);
        texture(4, 0, true);
        EXPECT_EQ(texturedRow()[2 * 4 + 1], 255);
        glDisable(GL_TEXTURE_2D);
    }
}

// Corners outside a glBegin/glEnd pair draw nothing; colours are clamped at
// each corner before they are interpolated.
TEST(GLSubsetState, CornersCountOnlyInsideABlockWithTheirColoursClamped) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    clearViewTo(0, 0, 0);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glEnd();
    for (const auto& c : fullView) glVertex3f(c[0], c[1], 0);
    std::array<unsigned char, 4> pixel{};
    glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_EQ(pixel[0], 0);
    // Twice full brightness on the left, none on the right: half way, half.
    glBegin(GL_QUADS);
    for (const auto& c : fullView) {
        const float level = c[0] < 0 ? 2.0f : 0.0f;
        glColor4f(level, level, level, 1);
        glVertex3f(c[0], c[1], 0);
    }
    glEnd();
    glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_NEAR(pixel[0], 120, 16);
}

TEST(GLSubsetState, PopAttribRestoresWhatPushAttribKeptSixteenDeep) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, side, side);
    glColor4f(0.2f, 0.4f, 0.6f, 1.0f);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(1, 2, 3, 4);
    glColor4f(1, 1, 1, 1);
    glPopAttrib();
    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, side, side}));
    const std::array<unsigned char, 4> colour = drawnColour();
    EXPECT_NEAR(colour[0], 51, 1);
    EXPECT_NEAR(colour[1], 102, 1);
    EXPECT_NEAR(colour[2], 153, 1);
    // Popping more than was pushed changes nothing.
    glColor4f(0, 1, 0, 1);
    glPopAttrib();
    EXPECT_EQ(drawnColour()[1], 255);
    // The blend function comes back too: the colour drawn, not the cleared.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glBlendFunc(GL_ZERO, GL_ONE);
    glPopAttrib();
    EXPECT_EQ(drawnColour()[1], 255);
    glDisable(GL_BLEND);

    // Sixteen are kept, a seventeenth is not: the first pop gives the sixteenth.
    for (int i = 1; i <= 17; ++i) {
        glColor4f(i / 20.0f, 0, 0, 1);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
    }
    glPopAttrib();
    EXPECT_NEAR(drawnColour()[0], 16 / 20.0 * 255, 1);
}

TEST(GLSubsetState, PixelsAreReadBackAsRgbOrRgbaBytesOnly) {
    Es2Context es2(side);
    ASSERT_TRUE(es2.started()) << es2.why();
    clearViewTo(0.2f, 0.4f, 0.6f);
    // Two pixels of RGB, rows of 6 bytes padded to the alignment asked for.
    for (GLint alignment : {1, 4}) {
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        std::array<unsigned char, 32> rgb;
        rgb.fill(7);
        glReadPixels(0, 0, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        const int stride = alignment == 1 ? 6 : 8;
        for (int at : {0, 3, stride, stride + 3}) {
            EXPECT_NEAR(rgb[at], 51, 1) << alignment << " " << at;
            EXPECT_NEAR(rgb[at + 2], 153, 1) << alignment << " " << at;
        }
        EXPECT_EQ(rgb[2 * stride], 7) << "written past the two rows";
    }
    // RGBA: four bytes a pixel, rows of 8 bytes.
    std::array<unsigned char, 32> rgba;
    rgba.fill(7);
    glReadPixels(0, 0, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (int at : {0, 4, 8, 12}) {
        EXPECT_NEAR(rgba[at], 51, 1) << at;
        EXPECT_EQ(rgba[at + 3], 255) << at;
    }
    EXPECT_EQ(rgba[16], 7) << "written past the two rows";
    // Formats and types the subset does not read leave the buffer alone.
    for (auto [format, type] : {std::array<GLenum, 2>{GL_RGBA, GL_FLOAT}, std::array<GLenum, 2>{GL_LUMINANCE, GL_UNSIGNED_BYTE}}) {
        std::array<unsigned char, 64> untouched;
        untouched.fill(7);
        glReadPixels(0, 0, 1, 1, format, type, untouched.data());
        EXPECT_EQ(untouched[0], 7) << format << " " << type;
    }
}

}  // namespace
