#include <gtest/gtest.h>

#include <string>

#include "support/support.h"
#include "textures/pngheader.h"

namespace {

PngHeader read(const std::string& bytes) {
    return readPngHeader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(PngHeader, ReadsWidthAndHeightBigEndian) {
    PngHeader h = read(testsupport::pngDeclaring(1280, 0x01020304));
    ASSERT_TRUE(h.valid) << h.why;
    EXPECT_EQ(h.width, 1280u);
    EXPECT_EQ(h.height, 0x01020304u);
    // The 24 bytes up to the height are all it needs.
    EXPECT_TRUE(read(testsupport::pngDeclaring(3, 5).substr(0, pngHeaderBytes)).valid);
}

TEST(PngHeader, ShortOrForeignBytesAreNotAHeader) {
    const std::string full = testsupport::pngDeclaring(16, 16);
    EXPECT_EQ(read("").why, "the file is empty");
    EXPECT_EQ(readPngHeader(nullptr, 0).why, "the file is empty");
    for (std::size_t cut : {std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(20), pngHeaderBytes - 1}) {
        SCOPED_TRACE(cut);
        PngHeader h = read(full.substr(0, cut));
        EXPECT_FALSE(h.valid);
        EXPECT_FALSE(h.why.empty());
    }
    EXPECT_EQ(read(full.substr(0, 8)).why, "the file ends inside the PNG header");
    // Seven bytes of a signature are no signature, whatever lies after them.
    EXPECT_EQ(readPngHeader(reinterpret_cast<const unsigned char*>(full.data()), 7).why,
              "not a PNG file (no PNG signature)");
    EXPECT_EQ(read(full.substr(0, pngHeaderBytes - 1)).why, "the file ends inside the PNG header");

    std::string gif = full;
    gif.replace(0, 6, "GIF89a");
    EXPECT_EQ(read(gif).why, "not a PNG file (no PNG signature)");
    std::string text = full;
    text[1] = 'p';  // one byte off is still no PNG
    EXPECT_FALSE(read(text).valid);

    std::string otherChunk = full;
    otherChunk.replace(12, 4, "IDAT");
    EXPECT_EQ(read(otherChunk).why, "the PNG file does not begin with its IHDR header");
    std::string longChunk = full;
    longChunk[11] = 14;
    EXPECT_FALSE(read(longChunk).valid);
}

TEST(PngHeader, ZeroSizeIsNotAPicture) {
    EXPECT_EQ(read(testsupport::pngDeclaring(0, 10)).why, "the PNG header declares a size of 0 x 10 pixels");
    EXPECT_FALSE(read(testsupport::pngDeclaring(10, 0)).valid);
    EXPECT_FALSE(read(testsupport::pngDeclaring(0, 0)).valid);
}

TEST(PictureSize, TheLimitIsTheGlMaximumButNeverAbove8192) {
    EXPECT_EQ(pictureSideLimit(16384), 8192u);
    EXPECT_EQ(pictureSideLimit(8192), 8192u);
    EXPECT_EQ(pictureSideLimit(4096), 4096u);
    EXPECT_EQ(pictureSideLimit(64), 64u);
    EXPECT_EQ(pictureSideLimit(1), 1u);
    // An implementation that says nothing usable leaves the fixed bound.
    EXPECT_EQ(pictureSideLimit(0), 8192u);
    EXPECT_EQ(pictureSideLimit(-1), 8192u);
}

TEST(PictureSize, EachSideIsCheckedAgainstTheLimitAndTheReasonNamesBothSizes) {
    EXPECT_EQ(pictureSizeProblem(read(testsupport::pngDeclaring(8192, 8192)), 8192), "");
    EXPECT_EQ(pictureSizeProblem(read(testsupport::pngDeclaring(1, 1)), 1), "");
    EXPECT_EQ(pictureSizeProblem(read(testsupport::pngDeclaring(30000, 30000)), 8192),
              "30000 x 30000 pixels, larger than the 8192 x 8192 that textures can have here");
    EXPECT_NE(pictureSizeProblem(read(testsupport::pngDeclaring(8193, 1)), 8192), "");
    EXPECT_NE(pictureSizeProblem(read(testsupport::pngDeclaring(1, 8193)), 8192), "");
    EXPECT_NE(pictureSizeProblem(read(testsupport::pngDeclaring(4097, 16)), 4096), "");
    // The largest sizes a header can declare do not wrap around.
    EXPECT_NE(pictureSizeProblem(read(testsupport::pngDeclaring(0xFFFFFFFFu, 0xFFFFFFFFu)), 8192), "");
}

}  // namespace
