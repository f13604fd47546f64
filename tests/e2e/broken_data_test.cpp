// The real demo on the shipped data with one file broken at a time: missing,
// empty, cut in half, random bytes of the same size, a folder in its place,
// and for the pictures a valid PNG header declaring 30000 x 30000. Each run
// ends by itself without a signal: either normally (where the demo can still
// use what is left) or with exit status 1 and one line naming the file.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/support.h"

namespace {

namespace fs = std::filesystem;

enum class Damage { Missing, Empty, Half, Random, Folder, HugePicture };

const char* damageName(Damage d) {
    switch (d) {
        case Damage::Missing: return "Missing";
        case Damage::Empty: return "Empty";
        case Damage::Half: return "Half";
        case Damage::Random: return "Random";
        case Damage::Folder: return "Folder";
        case Damage::HugePicture: return "HugePicture";
    }
    return "?";
}

struct BrokenCase {
    std::string file;  // relative to the working folder, as the demo names it
    Damage damage;
};

bool isPicture(const std::string& file) { return file.size() > 4 && file.substr(file.size() - 4) == ".png"; }

std::vector<BrokenCase> allCases() {
    std::vector<BrokenCase> cases;
    for (const std::string& file : testsupport::demoDataFiles()) {
        for (Damage d : {Damage::Missing, Damage::Empty, Damage::Half, Damage::Random, Damage::Folder})
            cases.push_back({file, d});
        if (isPicture(file)) cases.push_back({file, Damage::HugePicture});
    }
    return cases;
}

// The same bytes on every run: a generator of fixed seed, one per file.
std::string randomBytes(std::size_t size, const std::string& file) {
    std::uint32_t seed = 13;
    for (char c : file) seed = seed * 31 + static_cast<unsigned char>(c);
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void breakFile(const std::string& path, Damage damage, const std::string& file) {
    const std::string original = testsupport::readFile(path);
    switch (damage) {
        case Damage::Missing: fs::remove(path); break;
        case Damage::Empty: testsupport::writeFile(path, ""); break;
        case Damage::Half: testsupport::writeFile(path, original.substr(0, original.size() / 2)); break;
        case Damage::Random: testsupport::writeFile(path, randomBytes(original.size(), file)); break;
        case Damage::Folder:
            fs::remove(path);
            fs::create_directory(path);
            testsupport::writeFile(path + "/inside", "a file in the folder");
            break;
        case Damage::HugePicture: testsupport::writeFile(path, testsupport::pngDeclaring(30000, 30000)); break;
    }
}

enum class Outcome { NormalRun, FailsNamingFile };

// What the demo can still make of the data. The sync file is optional: a
// missing or broken one leaves the default tempo, with warnings. Everything
// else is needed whole; the first half of the music is still music, but it
// ends long before the start row (740), which the run names.
Outcome expectedOutcome(const BrokenCase& c) {
    if (c.file == "data/sync/sync.csv") return Outcome::NormalRun;
    return Outcome::FailsNamingFile;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// UTF-8 without control characters.
bool isReadableText(const std::string& line) {
    for (std::size_t i = 0; i < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 || c == 0x7F) return false;
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > line.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

class BrokenData : public testing::TestWithParam<BrokenCase> {};

// The shipped data, with the demo started near the end of the schedule
// (row 740 of 754, under 2 s of music) so that a normal run ends soon.
TEST_P(BrokenData, NoCrashNoHangAndEitherANormalRunOrOneLineNamingTheFile) {
    const BrokenCase& c = GetParam();
    testsupport::TempDir dir;
    fs::copy(testsupport::sourceDir() + "/data", dir.file("data"), fs::copy_options::recursive);
    breakFile(dir.file(c.file), c.damage, c.file);

    // The bound only catches a hang: a busy machine may take many times
    // longer than an idle one.
    auto run = testsupport::runProgram({testsupport::demoExecutable(), "--windowed", "--start-row", "740"}, dir.path(),
                                       {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"}, 180);
    ASSERT_FALSE(run.timedOut) << run.err.substr(0, 2000);
    ASSERT_EQ(run.signal, 0) << run.err.substr(0, 2000);

    const std::vector<std::string> lines = linesOf(run.err);
    // Every message is a readable line of text, whatever bytes the file holds.
    for (const std::string& line : lines) {
        EXPECT_LT(line.size(), 300u) << line.substr(0, 300);
        EXPECT_TRUE(isReadableText(line)) << line.substr(0, 300);
    }
    if (expectedOutcome(c) == Outcome::FailsNamingFile) {
        EXPECT_EQ(run.exitCode, 1) << run.err.substr(0, 2000);
        ASSERT_EQ(lines.size(), 1u) << run.err.substr(0, 2000);
        if (c.file == "data/musik/musik.mp3" && c.damage == Damage::Missing) {
            // Without the music ./data is no data folder: the search names
            // every place it looked, this one first.
            EXPECT_EQ(lines[0].rfind("tarnwick: no data found: looked for " + c.file + ", ", 0), 0u) << lines[0];
        } else {
            EXPECT_EQ(lines[0].rfind("tarnwick: " + c.file + ": ", 0), 0u) << lines[0];
        }
        if (c.damage == Damage::HugePicture) {
            EXPECT_NE(lines[0].find("30000 x 30000"), std::string::npos) << lines[0];
        }
    } else {
        EXPECT_EQ(run.exitCode, 0) << run.err.substr(0, 2000);
        // Whatever is said names the broken file, and a flood of warnings
        // is cut to a few of each kind.
        for (const std::string& line : lines) EXPECT_EQ(line.rfind("tarnwick: " + c.file, 0), 0u) << line;
        EXPECT_LT(lines.size(), 200u);
        if (c.file == "data/sync/sync.csv") {
            EXPECT_FALSE(lines.empty()) << "a broken sync file is worth a warning";
        }
    }
}

void PrintTo(const BrokenCase& c, std::ostream* out) { *out << c.file << " " << damageName(c.damage); }

std::string caseName(const testing::TestParamInfo<BrokenCase>& info) {
    std::string name = fs::path(info.param.file).filename().string();
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name + "_" + damageName(info.param.damage);
}

INSTANTIATE_TEST_SUITE_P(EveryFile, BrokenData, testing::ValuesIn(allCases()), caseName);

}  // namespace
