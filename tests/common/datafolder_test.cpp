// Finding the data folder: the first place in order that holds the music.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/datafolder.h"
#include "support/support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// A tree with a data set in some of the places the search looks, run from
// its "cwd" folder; the executable would be in "prefix/bin".
class DataSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        fs::create_directories(tree.file("cwd"));
        fs::create_directories(tree.file("prefix/bin"));
        fs::current_path(tree.file("cwd"));
    }
    void TearDown() override {
        fs::current_path(previous);
        setDataFolder("data");
    }
    // Puts a data set (its marker file) into `folder`, relative to the tree.
    std::string holdData(const std::string& folder) {
        testsupport::writeFile(tree.file(folder + "/musik/musik.mp3"), "music");
        return tree.file(folder);
    }
    std::string bin() const { return tree.file("prefix/bin"); }
    TempDir tree;
    fs::path previous;
};

TEST_F(DataSearchTest, TheFirstPlaceThatHoldsTheMusicWins) {
    const std::string env = holdData("env"), share = holdData("prefix/share/tarnwick/data"),
                      beside = holdData("prefix/bin/data");
    struct Case {
        std::string environment;  // "-": not set
        bool localData;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {env, true, env},                     // $TARNWICK_DATA first
        {"", true, "data"},                   // an empty variable counts as unset
        {tree.file("nothing"), true, "data"},  // one without the music is passed over
        {"-", false, share},                  // then the installed share folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.localData) holdData("cwd/data");
        DataSearch s = findDataFolder("", c.environment == "-" ? nullptr : c.environment.c_str(), bin());
        EXPECT_TRUE(s.found);
        EXPECT_EQ(s.folder, c.expected);
        fs::remove_all(tree.file("cwd/data"));
    }
    fs::remove_all(share);
    EXPECT_EQ(findDataFolder("", nullptr, bin()).folder, beside);
    // A relocated install: the folder is found from the executable, with
    // "bin/.." folded away.
    EXPECT_EQ(findDataFolder("", nullptr, bin() + "/").tried.at(1), tree.file("prefix/share/tarnwick/data"));
}

TEST_F(DataSearchTest, AGivenFolderIsTheDataOrHoldsIt) {
    const std::string set = holdData("set"), parent = tree.file("parent");
    holdData("parent/data");
    holdData("cwd/data");  // never looked at when a folder is given
    EXPECT_EQ(findDataFolder(set, nullptr, bin()).folder, set);
    EXPECT_EQ(findDataFolder(parent, nullptr, bin()).folder, parent + "/data");
    DataSearch none = findDataFolder(tree.file("empty"), "/elsewhere", bin());
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.tried, (std::vector<std::string>{tree.file("empty"), tree.file("empty") + "/data"}));
}

TEST_F(DataSearchTest, WhenNothingHoldsTheDataOneLineNamesEveryPlace) {
    DataSearch s = findDataFolder("", nullptr, bin());
    ASSERT_FALSE(s.found);
    const std::string line = dataSearchFailure(s);
    EXPECT_EQ(line, "no data found: looked for data/musik/musik.mp3, " + tree.file("prefix/share/tarnwick/data") +
                        "/musik/musik.mp3 and " + bin() + "/data/musik/musik.mp3 ($TARNWICK_DATA is not set); "
                        "--data DIR names the data folder");
    s = findDataFolder("", "/elsewhere", "");  // no executable folder known
    EXPECT_EQ(s.tried, (std::vector<std::string>{"/elsewhere", "data"}));
    EXPECT_EQ(dataSearchFailure(s).find("not set"), std::string::npos);
}

TEST(DataFile, DataPathsMoveWithTheFolderOthersStay) {
    setDataFolder("/usr/share/tarnwick/data");
    EXPECT_EQ(dataFile("data/Grafik/bord.png"), "/usr/share/tarnwick/data/Grafik/bord.png");
    EXPECT_EQ(dataFile("data/musik/musik.mp3"), "/usr/share/tarnwick/data/" + std::string(dataMarker));
    EXPECT_EQ(dataFile("/tmp/data/x.png"), "/tmp/data/x.png");
    EXPECT_EQ(dataFile("database/x"), "database/x");
    setDataFolder("data");
    EXPECT_EQ(dataFile("data/sync/sync.csv"), "data/sync/sync.csv");
}

}  // namespace
