#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/gldouble/gl_double.h"
#include "common/loadstatus.h"
#include "support/demodata.h"
#include "support/loadmessages.h"
#include "support/support.h"
#include "textures/textures.h"

namespace {

using testsupport::TempDir;

// Runs the test inside a folder, as the demo runs inside its own.
class InFolder {
public:
    explicit InFolder(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

struct Converted {
    const char* name;
    const char* convertArgs;
};

TEST(Textures, EveryPngFormArrivesAsEightBitRgbaOfItsOwnSize) {
    TempDir dir;
    ASSERT_TRUE(testsupport::haveCommand("convert"));
    const Converted forms[] = {
        {"palette.png", "-size 5x3 xc:'#ff0000' PNG8:"},
        {"grey.png", "-size 5x3 xc:'#808080' -colorspace Gray -depth 8 PNG:"},
        {"deep.png", "-size 5x3 xc:'#ff0000' -depth 16 PNG48:"},
        {"deepalpha.png", "-size 5x3 xc:'rgba(255,0,0,0.5)' -depth 16 PNG64:"},
    };
    for (const Converted& form : forms) {
        SCOPED_TRACE(form.name);
        std::string path = dir.file(form.name);
        ASSERT_TRUE(testsupport::shell(std::string("convert ") + form.convertArgs + "'" + path + "'"));
        gldouble::reset();
        loadFailed = false;
        Texture t;
        GLuint name = loadTexture(path.c_str(), t);
        ASSERT_NE(name, 0u);
        EXPECT_FALSE(loadFailed);
        EXPECT_EQ(t.width, 5u);
        EXPECT_EQ(t.height, 3u);
        EXPECT_EQ(gldouble::textures().size(), 1u);  // one name made, for this picture alone
        const auto& image = gldouble::textures().at(name);
        EXPECT_EQ(image.width, 5);  // not a power of two, uploaded as it is
        EXPECT_EQ(image.height, 3);
        EXPECT_EQ(image.format, GLenum(GL_RGBA));
        EXPECT_EQ(image.type, GLenum(GL_UNSIGNED_BYTE));
        EXPECT_EQ(image.parameters.at(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
        EXPECT_EQ(image.parameters.at(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        ASSERT_EQ(image.pixels.size(), 5u * 3u * 4u);
        unsigned char grey = std::string(form.name) == "grey.png";
        EXPECT_EQ(image.pixels[0], grey ? 128 : 255);
        EXPECT_EQ(image.pixels[1], grey ? 128 : 0);
        EXPECT_NEAR(image.pixels[3], std::string(form.name) == "deepalpha.png" ? 128 : 255, 1);
        std::free(t.pixels);
    }
}

TEST(Textures, AFileThatIsNoPngFailsLikeAMissingOne) {
    TempDir dir;
    testsupport::writeFile(dir.file("broken.png"), "\x89PNG\r\n\x1a\n truncated");
    gldouble::reset();
    loadFailed = false;
    Texture t;
    t.glName = 0;
    EXPECT_EQ(loadTexture(dir.file("broken.png").c_str(), t), 0u);
    EXPECT_TRUE(loadFailed);
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_EQ(gldouble::countCalls("glGenTextures"), 0);
    loadFailed = false;
}

struct LoadOutcome {
    GLuint name = 0;
    bool failed = false;
    std::string err;
};

// What the program prints as tarnwick after the loads; the loader itself prints nothing.
LoadOutcome loadCapturingStderr(const std::string& path, Texture& t, int times = 1) {
    LoadOutcome out;
    loadFailed = false;
    testsupport::watchLoadMessages();
    for (int i = 0; i < times; ++i) out.name = loadTexture(path.c_str(), t);
    out.err = testsupport::loadMessagesPrintedAs("tarnwick");
    out.failed = loadFailed;
    loadFailed = false;
    return out;
}

TEST(Textures, AHugePictureIsRefusedByItsHeaderWithBothSizesNamed) {
    TempDir dir;
    const std::string path = dir.file("huge.png");
    testsupport::writeFile(path, testsupport::pngDeclaring(30000, 30000));
    gldouble::reset();
    Texture t;
    LoadOutcome o = loadCapturingStderr(path, t);
    EXPECT_EQ(o.name, 0u);
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_EQ(gldouble::countCalls("glGenTextures"), 0);
    EXPECT_EQ(o.err, "tarnwick: " + path +
                         ": cannot load image: 30000 x 30000 pixels, larger than the 8192 x 8192 that textures can "
                         "have here\n");

    // Refused on its first read: a file of 6 GiB (sparse) behind that
    // header is not read on.
    ASSERT_EQ(truncate(path.c_str(), off_t(6) << 30), 0);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    o = loadCapturingStderr(path, t);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_TRUE(o.failed);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256L << 10) << "kB of peak memory more";
}

TEST(Textures, APictureLargerThanTheGlImplementationTakesIsRefused) {
    TempDir dir;
    const std::string path = dir.file("small.png");
    ASSERT_TRUE(testsupport::shell("convert -size 5x3 xc:'#ff0000' PNG32:'" + path + "'"));
    gldouble::reset();
    gldouble::setMaxTextureSize(4);
    Texture t;
    LoadOutcome o = loadCapturingStderr(path, t);
    EXPECT_EQ(o.name, 0u);
    EXPECT_TRUE(o.failed);
    EXPECT_NE(o.err.find("5 x 3 pixels, larger than the 4 x 4"), std::string::npos) << o.err;

    gldouble::reset();
    gldouble::setMaxTextureSize(5);
    o = loadCapturingStderr(path, t);
    EXPECT_NE(o.name, 0u);
    EXPECT_FALSE(o.failed);
    EXPECT_EQ(o.err, "");
    std::free(t.pixels);
}

TEST(Textures, AFileLoadedTwiceIsReportedOnceButFailsBothTimes) {
    TempDir dir;
    const std::string path = dir.file("twice.png");
    testsupport::writeFile(path, "not a picture at all");
    gldouble::reset();
    Texture a;
    LoadOutcome o = loadCapturingStderr(path, a, 2);
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(o.err, "tarnwick: " + path + ": cannot load image: not a PNG file (no PNG signature)\n");
    // Reported once per run, and still failing on every later load.
    o = loadCapturingStderr(path, a);
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(o.err, "");
}

TEST(Textures, MissingEmptyDirectoryAndFifoAreNamedWithTheirReason) {
    TempDir dir;
    testsupport::writeFile(dir.file("empty.png"), "");
    testsupport::writeFile(dir.file("one.png"), "\x89");  // one byte is read, not taken for none
    std::filesystem::create_directory(dir.file("folder.png"));
    // Opened as a plain file, a FIFO would wait for a writer for ever.
    ASSERT_EQ(mkfifo(dir.file("fifo.png").c_str(), 0600), 0);
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {{"missing.png", "no such file"},
                 {"empty.png", "the file is empty"},
                 {"one.png", "not a PNG file (no PNG signature)"},
                 {"folder.png", "is a directory"},
                 {"fifo.png", "not a regular file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gldouble::reset();
        Texture t;
        LoadOutcome o = loadCapturingStderr(dir.file(c.name), t);
        EXPECT_TRUE(o.failed);
        EXPECT_EQ(o.err, "tarnwick: " + dir.file(c.name) + ": cannot load image: " + c.reason + "\n");
        EXPECT_EQ(gldouble::countCalls("glGenTextures"), 0);
    }
}

// The start-up runs more than once in one process (tests, a second capture):
// loading into a record that holds a picture replaces it, and a failed load
// leaves the record empty. The sanitizer build also catches the first
// picture if it is not freed.
TEST(Textures, LoadingIntoAUsedRecordReplacesItsPicture) {
    TempDir dir;
    ASSERT_TRUE(testsupport::haveCommand("convert"));
    ASSERT_TRUE(testsupport::shell("convert -size 5x3 xc:'#ff0000' PNG32:'" + dir.file("first.png") + "'"));
    ASSERT_TRUE(testsupport::shell("convert -size 2x4 xc:'#0000ff' PNG32:'" + dir.file("second.png") + "'"));
    testsupport::writeFile(dir.file("broken.png"), "not a picture");
    gldouble::reset();
    loadFailed = false;
    Texture t;
    ASSERT_NE(loadTexture(dir.file("first.png").c_str(), t), 0u);
    ASSERT_NE(loadTexture(dir.file("second.png").c_str(), t), 0u);
    EXPECT_FALSE(loadFailed);
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(t.height, 4u);
    ASSERT_NE(t.pixels, nullptr);
    EXPECT_EQ(t.pixels[0], 0);
    EXPECT_EQ(t.pixels[2], 255);

    EXPECT_EQ(loadTexture(dir.file("broken.png").c_str(), t), 0u);
    EXPECT_TRUE(loadFailed);
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_EQ(t.width, 0u);
    EXPECT_EQ(t.height, 0u);
    loadFailed = false;
}

}  // namespace
