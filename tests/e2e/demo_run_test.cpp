// The real demo, run headless on data made at test time.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/demodata.h"
#include "support/support.h"

namespace {

using testsupport::TempDir;

TEST(DemoRun, EndsCleanlyOnInterrupt) {
    TempDir dir;
    // A slow tempo: the schedule would take minutes, so only the interrupt ends it.
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {30.0, 60.0, true}));
    auto run = testsupport::runDemo(dir.path(), 60, 2.0);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_LT(run.seconds, 10.0);
}

TEST(DemoRun, PlaysEveryRowAndEndsByItself) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    auto run = testsupport::runDemo(dir.path(), 60);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // 754 rows at 3000 bpm are 3.77 s of music.
    EXPECT_GT(run.seconds, 3.7);
}

TEST(DemoRun, EndsWhenTheMusicIsShorterThanTheSchedule) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {2.0, 120.0, true}));
    auto run = testsupport::runDemo(dir.path(), 60);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_LT(run.seconds, 10.0);
}

TEST(DemoRun, EachMissingDataFileIsNamedAndFailsTheRun) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    for (const std::string& file : testsupport::demoDataFiles()) {
        SCOPED_TRACE(file);
        std::string path = dir.file(file), aside = path + ".aside";
        std::filesystem::rename(path, aside);
        auto run = testsupport::runDemo(dir.path(), 60);
        std::filesystem::rename(aside, path);
        EXPECT_FALSE(run.timedOut);
        EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
        // Without a sync file the demo plays on at the default tempo (here
        // until the short music ends); every other file is needed.
        EXPECT_EQ(run.exitCode, file == "data/sync/sync.csv" ? 0 : 1);
    }
}

TEST(DemoRun, AnImageThatIsNoPngIsNamedWithTheReason) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    testsupport::writeFile(dir.file("data/Grafik/end.png"), "not a picture");
    auto run = testsupport::runDemo(dir.path(), 60);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("data/Grafik/end.png"), std::string::npos) << run.err;
}

}  // namespace
