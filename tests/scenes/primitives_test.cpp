#include <gtest/gtest.h>

#include "support/gldouble/gl_double.h"
#include "scenes/primitives.h"

namespace {

using gldouble::Vertex;

void expectVertex(const Vertex& v, double x, double y, double z, double s, double t) {
    EXPECT_DOUBLE_EQ(v.x, x);
    EXPECT_DOUBLE_EQ(v.y, y);
    EXPECT_DOUBLE_EQ(v.z, z);
    EXPECT_DOUBLE_EQ(v.s, s);
    EXPECT_DOUBLE_EQ(v.t, t);
}

TEST(Primitives, QuadEmitsFourVerticesWithTheImageUpright) {
    gldouble::reset();
    drawTexturedQuad(1.0f, 1.0f);
    ASSERT_EQ(gldouble::primitives().size(), 1u);
    const auto& quad = gldouble::primitives()[0];
    EXPECT_EQ(quad.mode, GLenum(GL_QUADS));
    EXPECT_EQ(quad.normals, 0);
    ASSERT_EQ(quad.vertices.size(), 4u);
    expectVertex(quad.vertices[0], -1, -1, 0, 0, 1);
    expectVertex(quad.vertices[1], 1, -1, 0, 1, 1);
    expectVertex(quad.vertices[2], 1, 1, 0, 1, 0);
    expectVertex(quad.vertices[3], -1, 1, 0, 0, 0);
    // Nothing but the block itself: texture coordinates and vertices.
    for (const auto& call : gldouble::calls())
        EXPECT_TRUE(call.name == "glBegin" || call.name == "glEnd" || call.name == "glTexCoord2f" ||
                    call.name == "glVertex3f")
            << call.name;
}

TEST(Primitives, BoxEmitsSixFacesInOneBlock) {
    gldouble::reset();
    drawTexturedBox(1.0f, 2.0f, 3.0f);
    ASSERT_EQ(gldouble::primitives().size(), 1u);
    const auto& box = gldouble::primitives()[0];
    EXPECT_EQ(box.mode, GLenum(GL_QUADS));
    EXPECT_EQ(box.normals, 6);
    ASSERT_EQ(box.vertices.size(), 24u);
    expectVertex(box.vertices.front(), -1, -2, 3, 0, 1);
    expectVertex(box.vertices.back(), -1, 2, 3, 1, 1);
    // Each face's vertices lie on its own side, with that side's normal.
    for (size_t face = 0; face < 6; ++face) {
        const Vertex& first = box.vertices[face * 4];
        for (size_t k = 0; k < 4; ++k) {
            const Vertex& v = box.vertices[face * 4 + k];
            EXPECT_DOUBLE_EQ(v.nx, first.nx);
            EXPECT_DOUBLE_EQ(v.ny, first.ny);
            EXPECT_DOUBLE_EQ(v.nz, first.nz);
            EXPECT_DOUBLE_EQ(v.x * v.nx + v.y * v.ny + v.z * v.nz,
                             std::abs(v.nx) * 1 + std::abs(v.ny) * 2 + std::abs(v.nz) * 3);
        }
    }
    for (const auto& call : gldouble::calls())
        EXPECT_TRUE(call.name == "glBegin" || call.name == "glEnd" || call.name == "glTexCoord2f" ||
                    call.name == "glVertex3f" || call.name == "glNormal3f")
            << call.name;
}

TEST(Primitives, BoxFacesFollowTheFaceTable) {
    gldouble::reset();
    drawTexturedBox(1.0f, 2.0f, 3.0f);
    // Per face: the normal, then (s, t, signs of x, y, z) for its four corners.
    const int table[6][3 + 4 * 5] = {
        {0, 0, 1, /**/ 0, 1, -1, -1, 1, /**/ 1, 1, 1, -1, 1, /**/ 1, 0, 1, 1, 1, /**/ 0, 0, -1, 1, 1},
        {0, 0, -1, /**/ 0, 0, -1, -1, -1, /**/ 1, 0, 1, -1, -1, /**/ 1, 1, 1, 1, -1, /**/ 0, 1, -1, 1, -1},
        {0, 1, 0, /**/ 0, 0, -1, 1, -1, /**/ 1, 0, 1, 1, -1, /**/ 1, 1, 1, 1, 1, /**/ 0, 1, -1, 1, 1},
        {0, -1, 0, /**/ 0, 1, -1, -1, -1, /**/ 1, 1, 1, -1, -1, /**/ 1, 0, 1, -1, 1, /**/ 0, 0, -1, -1, 1},
        {1, 0, 0, /**/ 0, 0, 1, -1, 1, /**/ 0, 1, 1, -1, -1, /**/ 1, 1, 1, 1, -1, /**/ 1, 0, 1, 1, 1},
        {-1, 0, 0, /**/ 0, 1, -1, -1, 1, /**/ 0, 0, -1, -1, -1, /**/ 1, 0, -1, 1, -1, /**/ 1, 1, -1, 1, 1},
    };
    const auto& v = gldouble::primitives().at(0).vertices;
    ASSERT_EQ(v.size(), 24u);
    for (int face = 0; face < 6; ++face)
        for (int k = 0; k < 4; ++k) {
            const Vertex& got = v[size_t(face * 4 + k)];
            const int* want = &table[face][3 + k * 5];
            SCOPED_TRACE(testing::Message() << "face " << face << " corner " << k);
            expectVertex(got, want[2] * 1.0, want[3] * 2.0, want[4] * 3.0, want[0], want[1]);
            EXPECT_EQ(got.nx, table[face][0]);
            EXPECT_EQ(got.ny, table[face][1]);
            EXPECT_EQ(got.nz, table[face][2]);
        }
}

TEST(Primitives, NegativeExtentsMirrorTheVertices) {
    gldouble::reset();
    drawTexturedQuad(-2.0f, 0.0f);
    const auto& quad = gldouble::primitives()[0];
    expectVertex(quad.vertices[0], 2, 0, 0, 0, 1);
    expectVertex(quad.vertices[2], -2, 0, 0, 1, 0);
}

}  // namespace
