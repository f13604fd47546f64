// The asset generator: its command line, its determinism (the committed
// data and overview are what it makes, byte for byte), the font it letters
// the pictures in, and the pictures it ships.
#include <gtest/gtest.h>

#include <lodepng.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/support.h"

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;

namespace {

std::string generator() { return testsupport::binaryDir() + "/tools/assetgen/tarnwick-assetgen"; }
std::string dataDir() { return testsupport::sourceDir() + "/data"; }

std::vector<std::string> pictureFiles() {
    std::vector<std::string> files = {"bord.png", "end.png", "bak.png", "plim.png", "tarnwicklogo.png", "greets.png"};
    for (int i = 1; i <= 8; ++i) files.push_back("greet" + std::to_string(i) + ".png");
    files.push_back("krund.png");
    return files;
}

struct Decoded {
    std::vector<unsigned char> rgba;
    unsigned w = 0, h = 0;
    bool ok = false;
    const unsigned char* at(unsigned x, unsigned y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};

Decoded decode(const std::string& path) {
    Decoded d;
    unsigned char* pixels = nullptr;
    unsigned err = lodepng_decode32_file(&pixels, &d.w, &d.h, path.c_str());
    if (!err && pixels) {
        d.rgba.assign(pixels, pixels + static_cast<size_t>(d.w) * d.h * 4);
        d.ok = true;
    }
    std::free(pixels);
    return d;
}

}  // namespace

TEST(AssetgenCommandLine, HelpUnknownOptionsAndBadOutputFolders) {
    TempDir tmp;
    auto help = runProgram({generator(), "--help"}, tmp.path(), {}, 30);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: tarnwick-assetgen"), std::string::npos);

    auto unknown = runProgram({generator(), "--colour", "red", tmp.path()}, tmp.path(), {}, 30);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown option --colour"), std::string::npos) << unknown.err;

    auto badOnly = runProgram({generator(), "--only", "video", tmp.path()}, tmp.path(), {}, 30);
    EXPECT_EQ(badOnly.exitCode, 2);
    EXPECT_NE(badOnly.err.find("video"), std::string::npos) << badOnly.err;

    auto none = runProgram({generator()}, tmp.path(), {}, 30);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("no output folder"), std::string::npos) << none.err;

    // A file where the output folder should be: named in the message, no crash.
    testsupport::writeFile(tmp.file("occupied"), "x");
    auto blocked = runProgram({generator(), "--only", "sync", tmp.file("occupied")}, tmp.path(), {}, 30);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.err.find(tmp.file("occupied")), std::string::npos) << blocked.err;
}

TEST(AssetgenCommandLine, AFontThatCannotLetterThePicturesFailsNamingItBeforeAnyPicture) {
    TempDir tmp;
    testsupport::writeFile(tmp.file("empty.otb"), "");
    testsupport::writeFile(tmp.file("text.otb"), "STARTFONT 2.1\nnot really a font\n");
    struct Case {
        std::string font, reason;
    };
    std::vector<Case> cases = {
        {tmp.file("missing.otb"), "cannot open: No such file or directory"},
        {tmp.file("empty.otb"), "not a font FreeType reads"},
        {tmp.file("text.otb"), "not a font FreeType reads"},
        {tmp.path(), "not a font FreeType reads"},  // a folder
    };
    // An outline font has no bitmaps to copy.
    const std::string outline = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    if (std::filesystem::exists(outline)) cases.push_back({outline, "has no bitmap strikes"});
    for (const Case& c : cases) {
        const std::string out = tmp.file("out");
        auto run = runProgram({generator(), "--only", "pictures", "--font", c.font, out}, tmp.path(), {}, 60);
        EXPECT_EQ(run.exitCode, 1) << c.font;
        EXPECT_NE(run.err.find("tarnwick-assetgen: " + c.font + ": " + c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out + "/Grafik")) << c.font << ": nothing is drawn without the font";
    }
    // What has no lettering does not need the font.
    auto sync = runProgram({generator(), "--only", "sync", "--font", tmp.file("missing.otb"), tmp.file("s")}, tmp.path(), {}, 60);
    EXPECT_EQ(sync.exitCode, 0) << sync.err;
    auto icon = runProgram({generator(), "--font", tmp.file("missing.otb"), "--icon", tmp.file("icon.png")}, tmp.path(), {}, 60);
    EXPECT_EQ(icon.exitCode, 0) << icon.err;
}

TEST(AssetgenDeterminism, PicturesOverviewAndSyncFileMatchTheCommittedFilesByteForByte) {
    // The committed data/ and overview were written by an earlier run; a
    // fresh run must give the same bytes (and tells us when they are out of
    // date). The lettering comes from the bitmap font of a pinned Debian
    // package, copied bit for bit, so this holds on every machine.
    TempDir tmp;
    auto pics = runProgram({generator(), "--only", "pictures", "--sheet", tmp.file("sheet.png"), tmp.path()}, tmp.path(), {}, 120);
    ASSERT_EQ(pics.exitCode, 0) << pics.err;
    EXPECT_NE(pics.err.find("picture 15/15"), std::string::npos) << "progress lines expected on stderr";
    auto sync = runProgram({generator(), "--only", "sync", tmp.path()}, tmp.path(), {}, 60);
    ASSERT_EQ(sync.exitCode, 0) << sync.err;
    for (const std::string& f : pictureFiles()) {
        std::string fresh = readFile(tmp.file("Grafik/" + f));
        ASSERT_FALSE(fresh.empty()) << f;
        EXPECT_TRUE(fresh == readFile(dataDir() + "/Grafik/" + f)) << f << " differs from data/ (run make assets)";
    }
    std::string sheet = readFile(tmp.file("sheet.png"));
    ASSERT_FALSE(sheet.empty());
    EXPECT_TRUE(sheet == readFile(testsupport::sourceDir() + "/docs/contact-sheet.png"))
        << "docs/contact-sheet.png differs (run make assets)";
    std::string freshSync = readFile(tmp.file("sync/sync.csv"));
    ASSERT_FALSE(freshSync.empty());
    EXPECT_TRUE(freshSync == readFile(dataDir() + "/sync/sync.csv")) << "sync.csv differs from data/ (run make assets)";
    // --only keeps to its part.
    EXPECT_TRUE(readFile(tmp.file("musik/musik.mp3")).empty());
}

TEST(ShippedPictures, DecodeAtTheirSizeWithTheAspectOfTheirQuad) {
    struct Expect {
        std::string file;
        unsigned w, h;
        double quadW, quadH;  // how the scene shows it
    };
    std::vector<Expect> expects = {
        {"plim.png", 512, 512, 12, 12},        {"tarnwicklogo.png", 1024, 512, 12.8, 6.4},
        {"bord.png", 256, 256, 1, 1},          {"bak.png", 1536, 512, 12, 4},
        {"end.png", 960, 256, 3, 0.8},         {"greets.png", 640, 128, 20, 4},
        {"krund.png", 1024, 64, 32, 2},
    };
    for (int i = 1; i <= 8; ++i) expects.push_back({"greet" + std::to_string(i) + ".png", 640, 128, 20, 4});
    ASSERT_EQ(expects.size(), pictureFiles().size());
    for (const Expect& e : expects) {
        Decoded d = decode(dataDir() + "/Grafik/" + e.file);
        ASSERT_TRUE(d.ok) << e.file << " does not decode";
        EXPECT_EQ(d.w, e.w) << e.file;
        EXPECT_EQ(d.h, e.h) << e.file;
        EXPECT_NEAR(static_cast<double>(d.w) / d.h, e.quadW / e.quadH, 0.01 * e.quadW / e.quadH) << e.file;
    }
}

TEST(ShippedPictures, AlphaWhereTheSceneBlendsByAlphaLightOnBlackWhereItAdds) {
    // plim.png and the logo are blended by their own alpha: clear at the
    // corners, solid in the middle, and soft edges in between.
    for (const std::string f : {"plim.png", "tarnwicklogo.png"}) {
        Decoded d = decode(dataDir() + "/Grafik/" + f);
        ASSERT_TRUE(d.ok) << f;
        EXPECT_EQ(d.at(0, 0)[3], 0) << f;
        EXPECT_EQ(d.at(d.w - 1, d.h - 1)[3], 0) << f;
        size_t opaque = 0, clear = 0, partial = 0;
        for (size_t i = 3; i < d.rgba.size(); i += 4) {
            unsigned char a = d.rgba[i];
            (a == 255 ? opaque : a == 0 ? clear : partial)++;
        }
        size_t n = static_cast<size_t>(d.w) * d.h;
        EXPECT_GT(opaque, n / 10) << f;
        EXPECT_GT(clear, n / 10) << f;
        EXPECT_GT(partial, 0u) << f;
    }
    Decoded plim = decode(dataDir() + "/Grafik/plim.png");
    EXPECT_EQ(plim.at(256, 200)[3], 255);

    // The added pictures: black where nothing is drawn (adds nothing), and
    // bright light somewhere.
    std::vector<std::string> added = {"end.png", "greets.png", "krund.png"};
    for (int i = 1; i <= 8; ++i) added.push_back("greet" + std::to_string(i) + ".png");
    for (const std::string& f : added) {
        Decoded d = decode(dataDir() + "/Grafik/" + f);
        ASSERT_TRUE(d.ok) << f;
        for (auto [x, y] : {std::pair<unsigned, unsigned>{0, 0}, {d.w - 1, 0}, {0, d.h - 1}, {d.w - 1, d.h - 1}}) {
            const unsigned char* p = d.at(x, y);
            EXPECT_LT(p[0] + p[1] + p[2], 12) << f << " corner " << x << "," << y;
        }
        int brightest = 0;
        size_t dark = 0;
        for (size_t i = 0; i < d.rgba.size(); i += 4) {
            int sum = d.rgba[i] + d.rgba[i + 1] + d.rgba[i + 2];
            brightest = std::max(brightest, sum);
            if (sum < 30) ++dark;
        }
        EXPECT_GT(brightest, 600) << f;
        EXPECT_GT(dark, d.rgba.size() / 4 / 3) << f << ": mostly black expected";
    }

    // The cube and wheel tile: opaque, a dark frame around a light field so
    // that the scenes' colours tint it and small cubes keep an outline.
    Decoded bord = decode(dataDir() + "/Grafik/bord.png");
    ASSERT_TRUE(bord.ok);
    auto luma = [&](unsigned x, unsigned y) {
        const unsigned char* p = bord.at(x, y);
        return 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
    };
    for (size_t i = 3; i < bord.rgba.size(); i += 4) ASSERT_EQ(bord.rgba[i], 255);
    EXPECT_LT(luma(10, 128), 90);
    EXPECT_LT(luma(128, 250), 90);
    EXPECT_GT(luma(60, 60), 180);
    EXPECT_GT(luma(200, 180), 180);
}

TEST(ShippedPictures, EachLineOfLetteringIsCentredOnItsPlace) {
    // The box of lit pixels (letters, rim and glow, which spread evenly)
    // within a band of rows, against where the picture puts that line: a
    // line placed by its baseline rather than by its letters, or drawn with
    // the font's rows upside down or off by a line, lands off centre.
    struct Line {
        std::string file;
        unsigned top, bottom;  // the band of rows that holds the line
        double cx, cy;         // where its letters are centred
        unsigned minWidth, maxWidth;
    };
    std::vector<Line> lines = {
        {"end.png", 0, 170, 480, 100, 500, 900},         // THE END
        {"end.png", 200, 256, 480, 222, 350, 700},       // A TARNWICK PRODUCTION
        {"tarnwicklogo.png", 0, 360, 512, 215, 800, 1000},  // the name
        {"tarnwicklogo.png", 410, 512, 512, 440, 150, 400},  // DEMO GROUP
        {"greets.png", 0, 128, 320, 64, 350, 630},
    };
    for (int i = 1; i <= 8; ++i) lines.push_back({"greet" + std::to_string(i) + ".png", 0, 128, 320, 64, 350, 630});
    for (const Line& l : lines) {
        Decoded d = decode(dataDir() + "/Grafik/" + l.file);
        ASSERT_TRUE(d.ok) << l.file;
        unsigned x0 = d.w, x1 = 0, y0 = d.h, y1 = 0;
        for (unsigned y = l.top; y < std::min(l.bottom, d.h); ++y)
            for (unsigned x = 0; x < d.w; ++x) {
                const unsigned char* p = d.at(x, y);
                // Lit: bright on black, or nearly opaque on the logo's clear ground.
                const bool lit = l.file == "tarnwicklogo.png" ? p[3] > 200 : p[0] + p[1] + p[2] > 240;
                if (!lit) continue;
                x0 = std::min(x0, x), x1 = std::max(x1, x + 1), y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
            }
        ASSERT_LT(x0, x1) << l.file << " rows " << l.top << "-" << l.bottom << ": nothing lit";
        EXPECT_NEAR((x0 + x1) / 2.0, l.cx, 4) << l.file << " rows " << l.top << "-" << l.bottom;
        EXPECT_NEAR((y0 + y1) / 2.0, l.cy, 4) << l.file << " rows " << l.top << "-" << l.bottom;
        EXPECT_GE(x1 - x0, l.minWidth) << l.file;
        EXPECT_LE(x1 - x0, l.maxWidth) << l.file;
    }
}

TEST(ShippedData, FitsTheSizeBudget) {
    size_t total = readFile(dataDir() + "/musik/musik.mp3").size() + readFile(dataDir() + "/sync/sync.csv").size();
    for (const std::string& f : pictureFiles()) total += readFile(dataDir() + "/Grafik/" + f).size();
    EXPECT_LT(total, 4u * 1024 * 1024);
}
