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

// A 1 x 1 PNG whose one row has filter type 9: the data inflates, and the
// decoder fails only after it has made room for the pixels.
TEST(TexturesLarge, APictureThatFailsLateLeavesNoPixels) {
    static const char bytes[] =
        "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01"
        "\x08\x06\x00\x00\x00\x1f\x15\xc4\x89\x00\x00\x00\x0d\x49\x44\x41\x54\x78\x9c\xe3\xfc\xcf\xc0"
        "\xf0\x1f\x00\x05\x2d\x02\x08\xcf\xf2\x49\x37\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";
    testsupport::TempDir dir;
    const std::string path = dir.file("filter.png");
    testsupport::writeFile(path, std::string(bytes, sizeof bytes - 1));
    gldouble::reset();
    loadFailed = false;
    Texture t;
    EXPECT_EQ(loadTexture(path.c_str(), t), 0u);
    EXPECT_TRUE(loadFailed);
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_EQ(gldouble::countCalls("glTexImage2D"), 0);
    loadFailed = false;
}

}  // namespace
