// tarnwick-assetgen: writes the demo's data folder (pictures, music, sync
// file) from code, so that anyone can rebuild or restyle it.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/exitstatus.h"
#include "pictures.h"
#include "score.h"
#include "syncfile.h"
#include "synth.h"

namespace {

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: tarnwick-assetgen [--only pictures|music|sync] [--sheet FILE] [--font FILE] OUTDIR\n"
                 "       tarnwick-assetgen --icon FILE\n"
                 "\n"
                 "Writes the demo's data set into OUTDIR:\n"
                 "  OUTDIR/Grafik/*.png      the fifteen pictures\n"
                 "  OUTDIR/musik/musik.mp3   the music (needs the 'lame' encoder)\n"
                 "  OUTDIR/sync/sync.csv     the sync file that describes the music\n"
                 "\n"
                 "Options:\n"
                 "  --only WHAT   make only the pictures, the music or the sync file\n"
                 "  --sheet FILE  also write an overview of all pictures to FILE (PNG)\n"
                 "  --icon FILE   write the program's 256x256 icon to FILE (PNG)\n"
                 "  --font FILE   the bitmap font the pictures are lettered in\n"
                 "                (default: %s,\n"
                 "                Terminus Bold from Debian's fonts-terminus-otb)\n"
                 "  --help        show this text\n"
                 "\n"
                 "Pictures and sync file come out byte-identical on every run.\n",
                 kDefaultFontFile);
}

bool makeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
        std::fprintf(stderr, "tarnwick-assetgen: %s: exists and is not a folder\n", path.c_str());
        return false;
    }
    std::fprintf(stderr, "tarnwick-assetgen: cannot create folder %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string only, outDir, sheet, icon, font = kDefaultFontFile;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return exitStatusAfterOutput("tarnwick-assetgen", 0);
        } else if (a == "--only" || a == "--sheet" || a == "--icon" || a == "--font") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarnwick-assetgen: %s needs a value\n", a.c_str());
                usage(stderr);
                return 2;
            }
            (a == "--only" ? only : a == "--sheet" ? sheet : a == "--icon" ? icon : font) = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "tarnwick-assetgen: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else if (outDir.empty()) {
            outDir = a;
        } else {
            std::fprintf(stderr, "tarnwick-assetgen: more than one output folder given (%s, %s)\n", outDir.c_str(), a.c_str());
            return 2;
        }
    }
    if (!icon.empty()) {
        std::string err = writePng(makeIcon(256), true, icon);
        if (!err.empty()) {
            std::fprintf(stderr, "tarnwick-assetgen: %s: %s\n", icon.c_str(), err.c_str());
            return 1;
        }
        if (outDir.empty()) return 0;
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "tarnwick-assetgen: no output folder given\n");
        usage(stderr);
        return 2;
    }
    if (!only.empty() && only != "pictures" && only != "music" && only != "sync") {
        std::fprintf(stderr, "tarnwick-assetgen: --only takes pictures, music or sync, not '%s'\n", only.c_str());
        return 2;
    }
    const bool doPictures = only.empty() || only == "pictures";
    const bool doMusic = only.empty() || only == "music";
    const bool doSync = only.empty() || only == "sync";
    const auto start = std::chrono::steady_clock::now();
    if (!makeDir(outDir)) return 1;

    if (doPictures) {
        Typeface face;
        std::string fontErr = face.load(font, letteringStrikes());
        if (!fontErr.empty()) {
            const bool defaultFont = font == kDefaultFontFile;
            std::fprintf(stderr, "tarnwick-assetgen: %s: %s%s\n", font.c_str(), fontErr.c_str(),
                         defaultFont ? " (Debian's fonts-terminus-otb holds it; make deps installs it)" : "");
            return 1;
        }
        if (!makeDir(outDir + "/Grafik")) return 1;
        int index = 0;
        std::vector<Picture> pictures = makePictures(face, [&](const std::string& file) {
            std::fprintf(stderr, "assetgen: picture %2d/15 %s\n", ++index, file.c_str());
        });
        for (const Picture& p : pictures) {
            std::string path = outDir + "/Grafik/" + p.file;
            std::string err = writePng(p.image, p.alpha, path);
            if (!err.empty()) {
                std::fprintf(stderr, "tarnwick-assetgen: %s: %s\n", path.c_str(), err.c_str());
                return 1;
            }
        }
        if (!sheet.empty()) {
            std::string err = writePng(makeContactSheet(face, pictures), false, sheet);
            if (!err.empty()) {
                std::fprintf(stderr, "tarnwick-assetgen: %s: %s\n", sheet.c_str(), err.c_str());
                return 1;
            }
            std::fprintf(stderr, "assetgen: overview written to %s\n", sheet.c_str());
        }
        std::fprintf(stderr, "assetgen: pictures done (%.1f s)\n", secondsSince(start));
    }

    const Score score = (doMusic || doSync) ? composeScore() : Score{};
    if (doSync) {
        if (!makeDir(outDir + "/sync")) return 1;
        std::string path = outDir + "/sync/sync.csv";
        std::string err = writeSyncFile(score, path);
        if (!err.empty()) {
            std::fprintf(stderr, "tarnwick-assetgen: %s: %s\n", path.c_str(), err.c_str());
            return 1;
        }
        std::fprintf(stderr, "assetgen: sync file written (%.1f s)\n", secondsSince(start));
    }
    if (doMusic) {
        if (!makeDir(outDir + "/musik")) return 1;
        std::string path = outDir + "/musik/musik.mp3";
        std::string err = renderMusic(score, path, [](const std::string& line) {
            std::fprintf(stderr, "assetgen: music: %s\n", line.c_str());
        });
        if (!err.empty()) {
            std::fprintf(stderr, "tarnwick-assetgen: %s: %s\n", path.c_str(), err.c_str());
            return 1;
        }
        std::fprintf(stderr, "assetgen: music written (%.1f s)\n", secondsSince(start));
    }
    std::fprintf(stderr, "assetgen: done in %.1f s\n", secondsSince(start));
    return 0;
}
