// Starting the GL 1.1 subset on a context that lacks an ES 2 entry point.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/glsubset.h"

namespace {

const char* missingName = nullptr;
void neverCalled() { ADD_FAILURE() << "an entry point was called"; }

// Every entry point but `missingName`; none may be called before all are there.
void* loadAllButOne(const char* name) {
    return std::strcmp(name, missingName) == 0 ? nullptr : reinterpret_cast<void*>(&neverCalled);
}

TEST(GLSubsetStart, AMissingEntryPointFailsNamingItAndLeavesEveryCallDoingNothing) {
    for (const char* name : {"glAttachShader", "glDrawArrays", "glTexImage2D", "glViewport"}) {
        SCOPED_TRACE(name);
        missingName = name;
        std::string why;
        EXPECT_FALSE(glsubset::start(loadAllButOne, why));
        EXPECT_NE(why.find(name), std::string::npos) << why;
        // Nothing below may reach a pointer that was loaded.
        glEnable(GL_DEPTH_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glDepthFunc(GL_LEQUAL);
        glViewport(0, 0, 8, 8);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        GLuint texture = 7;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        const unsigned char texel[4] = {};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        GLint viewport[4] = {9, 9, 9, 9};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], 9);
        glFinish();
        glFlush();
        glBegin(GL_QUADS);
        for (int i = 0; i < 4; ++i) glVertex3f(static_cast<float>(i & 1), static_cast<float>(i >> 1), -1.0f);
        glEnd();
        glClear(GL_COLOR_BUFFER_BIT);
        unsigned char pixel[4] = {1, 2, 3, 4};
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(pixel[0], 1);
        EXPECT_EQ(glGetString(GL_RENDERER), nullptr);
        glsubset::flushBatch();
    }
}

}  // namespace
