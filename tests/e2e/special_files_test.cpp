// Every data file replaced by something that is no plain readable file: a
// FIFO (which would block an ordinary open for ever), a folder, and a file
// that the user may not read. Each of the three programs ends within a
// time-out, naming the file and the reason.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/support.h"

namespace {

namespace fs = std::filesystem;

enum class Kind { Fifo, Folder, Unreadable };
enum class Program { Demo, Capture, Sync };

const char* kindName(Kind k) { return k == Kind::Fifo ? "Fifo" : k == Kind::Folder ? "Folder" : "Unreadable"; }
const char* programName(Program p) {
    return p == Program::Demo ? "tarnwick" : p == Program::Capture ? "tarnwick-capture" : "tarnwick-sync";
}
const char* reasonOf(Kind k) {
    return k == Kind::Fifo ? "not a regular file" : k == Kind::Folder ? "is a directory" : "permission denied";
}

struct SpecialCase {
    std::string file;  // as the programs name it
    Kind kind;
    Program program;
};

const std::string musicFile = "data/musik/musik.mp3";
const std::string syncFile = "data/sync/sync.csv";
const std::string pictureFile = "data/Grafik/bord.png";

std::vector<SpecialCase> allCases() {
    std::vector<SpecialCase> cases;
    for (const std::string& file : {musicFile, syncFile, pictureFile}) {
        for (Kind k : {Kind::Fifo, Kind::Folder, Kind::Unreadable}) {
            for (Program p : {Program::Demo, Program::Capture, Program::Sync}) {
                // The sync checker reads no pictures.
                if (p == Program::Sync && file == pictureFile) continue;
                cases.push_back({file, k, p});
            }
        }
    }
    return cases;
}

void replaceFile(const std::string& path, Kind kind) {
    fs::remove(path);
    switch (kind) {
        case Kind::Fifo: ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); break;
        case Kind::Folder: fs::create_directory(path); break;
        case Kind::Unreadable:
            testsupport::writeFile(path, "bytes nobody may read");
            ASSERT_EQ(chmod(path.c_str(), 0), 0);
            break;
    }
}

// The folders a user other than root needs to pass through.
void openToEveryone(const std::string& root) {
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !entry.is_symlink()) {
            fs::permissions(entry.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        }
    }
}

// Root reads any file whatever its mode, so a run that must meet "permission
// denied" drops to nobody: the words that start its command line, or a
// reason to skip when that cannot be done (no setpriv, or a build folder
// that nobody may enter).
bool asNobody(std::vector<std::string>& prefix, std::string& skip) {
    prefix.clear();
    if (geteuid() != 0) return true;
    const std::string setpriv = "/usr/bin/setpriv";
    if (!fs::exists(setpriv)) {
        skip = "root, and no " + setpriv + " to run as another user";
        return false;
    }
    prefix = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    std::vector<std::string> probe = prefix;
    probe.insert(probe.end(), {"/bin/test", "-x", testsupport::demoExecutable()});
    if (testsupport::runProgram(probe, "/", {}, 30).exitCode != 0) {
        skip = "the user nobody cannot run the programs in " + testsupport::binaryDir();
        return false;
    }
    return true;
}

class SpecialFiles : public testing::TestWithParam<SpecialCase> {
protected:
    // Fast data (5 s of music at 3000 bpm) made once and copied for each case.
    static void SetUpTestSuite() {
        source = new testsupport::TempDir;
        ready = testsupport::makeDemoData(source->path(), {5.0, 3000.0, true});
    }
    static void TearDownTestSuite() { delete source; }
    static testsupport::TempDir* source;
    static bool ready;
};
testsupport::TempDir* SpecialFiles::source = nullptr;
bool SpecialFiles::ready = false;

TEST_P(SpecialFiles, EndWithinATimeOutNamingTheFileAndTheReason) {
    ASSERT_TRUE(ready);
    const SpecialCase& c = GetParam();
    testsupport::TempDir dir;
    fs::copy(source->file("data"), dir.file("data"), fs::copy_options::recursive);
    replaceFile(dir.file(c.file), c.kind);

    std::vector<std::string> argv;
    switch (c.program) {
        case Program::Demo: argv = {testsupport::demoExecutable(), "--windowed"}; break;
        case Program::Capture:
            argv = {testsupport::binaryDir() + "/tools/capture/tarnwick-capture", "--size", "64x36", "--bench"};
            break;
        case Program::Sync:
            argv = {testsupport::binaryDir() + "/tools/sync/tarnwick-sync", syncFile, "--music", musicFile};
            break;
    }
    if (c.kind == Kind::Unreadable) {
        std::vector<std::string> prefix;
        std::string skip;
        if (!asNobody(prefix, skip)) GTEST_SKIP() << skip;
        openToEveryone(dir.path());
        argv.insert(argv.begin(), prefix.begin(), prefix.end());
    }
    auto run = testsupport::runProgram(argv, dir.path(),
                                       {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                        "MESA_SHADER_CACHE_DISABLE=true"},
                                       120);
    ASSERT_FALSE(run.timedOut) << run.err.substr(0, 2000);
    ASSERT_EQ(run.signal, 0) << run.err.substr(0, 2000);

    // The sync file is optional to the demo and the capture: they play on at
    // the default tempo; to the checker it is a file with a warning. The
    // music and the pictures are needed.
    const bool syncCase = c.file == syncFile;
    const int expected = syncCase ? (c.program == Program::Sync ? 1 : 0) : (c.program == Program::Sync ? 2 : 1);
    EXPECT_EQ(run.exitCode, expected) << run.err.substr(0, 2000);
    // The checker reports a sync file's problem in its report, as a warning.
    const bool inReport = syncCase && c.program == Program::Sync;
    const std::string& said = inReport ? run.out : run.err;
    const std::string line = (inReport ? "" : std::string(programName(c.program)) + ": ") + c.file + ": ";
    EXPECT_NE(said.find(line), std::string::npos) << said.substr(0, 2000);
    EXPECT_NE(said.find(reasonOf(c.kind)), std::string::npos) << said.substr(0, 2000);
}

// A data folder that the user may not look into is named with the reason,
// not reported as no data at all.
TEST_F(SpecialFiles, ADataFolderThatCannotBeReadIsNamedWithTheReason) {
    ASSERT_TRUE(ready);
    testsupport::TempDir dir;
    fs::copy(source->file("data"), dir.file("data"), fs::copy_options::recursive);
    openToEveryone(dir.path());
    fs::permissions(dir.file("data"), fs::perms::none);
    std::vector<std::string> prefix;
    std::string skip;
    if (!asNobody(prefix, skip)) GTEST_SKIP() << skip;
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {"tarnwick", {testsupport::demoExecutable(), "--windowed"}},
        {"tarnwick-capture", {testsupport::binaryDir() + "/tools/capture/tarnwick-capture", "--bench"}},
    };
    for (const auto& [name, args] : runs) {
        SCOPED_TRACE(name);
        std::vector<std::string> argv = prefix;
        argv.insert(argv.end(), args.begin(), args.end());
        argv.insert(argv.end(), {"--data", dir.file("data")});
        auto run =
            testsupport::runProgram(argv, dir.path(), {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"}, 120);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(run.err.rfind(name + ": " + dir.file("data") + ": permission denied", 0), 0u) << run.err;
    }
}

void PrintTo(const SpecialCase& c, std::ostream* out) {
    *out << programName(c.program) << " " << c.file << " " << kindName(c.kind);
}

std::string caseName(const testing::TestParamInfo<SpecialCase>& info) {
    std::string name = std::string(programName(info.param.program)) + "_" +
                       fs::path(info.param.file).filename().string() + "_" + kindName(info.param.kind);
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryDataFile, SpecialFiles, testing::ValuesIn(allCases()), caseName);

}  // namespace
