// A picture file larger than one read of the loader: all of it is read, decoded and uploaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/loadstatus.h"
#include "support/gldouble/gl_double.h"
#include "support/support.h"
#include "textures/textures.h"

namespace {

TEST(TexturesLarge, APictureOverManyReadsIsDecodedWhole) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::haveCommand("convert"));
    // Noise does not compress: some 270 KB of file, several reads of 64 KiB.
    const std::string path = dir.file("noise.png");
    ASSERT_TRUE(testsupport::shell("convert -size 300x300 xc:gray +noise Random -seed 1 PNG24:'" + path + "'"));
    ASSERT_GT(std::filesystem::file_size(path), 200000u);
    gldouble::reset();
    loadFailed = false;
    Texture t;
    const GLuint name = loadTexture(path.c_str(), t);
    EXPECT_NE(name, 0u);
    EXPECT_FALSE(loadFailed);
    EXPECT_EQ(t.width, 300u);
    EXPECT_EQ(t.height, 300u);
    // Uploaded as the base level, without a border.
    ASSERT_EQ(gldouble::countCalls("glTexImage2D"), 1);
    for (const gldouble::Call& call : gldouble::calls()) {
        if (call.name != "glTexImage2D") continue;
        EXPECT_EQ(call.args[1], 0.0);  // level
        EXPECT_EQ(call.args[5], 0.0);  // border
    }
    std::free(t.pixels);
    loadFailed = false;
}

}  // namespace
