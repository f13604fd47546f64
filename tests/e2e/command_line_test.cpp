// The three programs' command lines and standard output, in one table each:
// an option without its value is named as such, and a report that cannot be
// written (standard output on /dev/full) is a failure, never a success.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/demodata.h"
#include "support/support.h"

namespace {

using testsupport::RunResult;

std::string demo() { return testsupport::demoExecutable(); }
std::string captureTool() { return testsupport::binaryDir() + "/tools/capture/tarnwick-capture"; }
std::string syncTool() { return testsupport::binaryDir() + "/tools/sync/tarnwick-sync"; }

std::string joined(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
    return line;
}

TEST(CommandLine, AnOptionWithoutItsValueIsNamedInEveryProgram) {
    const struct {
        std::string program, name;
        std::vector<std::string> options;
    } programs[] = {
        {demo(), "tarnwick", {"--start-row", "--display", "--data"}},
        {captureTool(),
         "tarnwick-capture",
         {"--data", "--size", "--fps", "--from-row", "--to-row", "--frames", "--video", "--shot", "--out"}},
        {syncTool(), "tarnwick-sync", {"--music", "--length"}},
    };
    testsupport::TempDir dir;
    for (const auto& p : programs) {
        for (const std::string& option : p.options) {
            SCOPED_TRACE(p.name + " " + option);
            RunResult run = testsupport::runProgram({p.program, option}, dir.path(), {}, 60);
            EXPECT_EQ(run.exitCode, 2) << run.err;
            EXPECT_EQ(run.err.rfind(p.name + ": " + option + " needs a value", 0), 0u) << run.err;
        }
    }
    // An empty data folder is refused alike, not taken as "look for it".
    for (const auto& p : {std::pair{demo(), "tarnwick"}, std::pair{captureTool(), "tarnwick-capture"}}) {
        SCOPED_TRACE(p.second);
        RunResult run = testsupport::runProgram({p.first, "--data", "", "--bench"}, dir.path(), {}, 60);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.err.rfind(std::string(p.second) + ": --data needs", 0), 0u) << run.err;
    }
}

TEST(CommandLine, AReportThatCannotBeWrittenExitsWithOne) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path(), {5.0, 3000.0, true}));
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {"tarnwick", {demo(), "--help"}},
        {"tarnwick-capture", {captureTool(), "--help"}},
        {"tarnwick-capture", {captureTool(), "--size", "64x36", "--bench", "--json"}},
        {"tarnwick-capture", {captureTool(), "--size", "64x36", "--bench"}},
        {"tarnwick-capture", {captureTool(), "--size", "64x36", "--shot", "30", "--out", "shots"}},
        {"tarnwick-sync", {syncTool(), "--help"}},
        {"tarnwick-sync", {syncTool(), "data/sync/sync.csv"}},
        {"tarnwick-sync", {syncTool(), "data/sync/sync.csv", "--json"}},
    };
    for (const auto& [name, argv] : runs) {
        SCOPED_TRACE(joined(argv));
        std::string line = "exec";
        for (const auto& a : argv) line += " '" + a + "'";
        RunResult run = testsupport::runProgram({"/bin/sh", "-c", line + " >/dev/full"}, dir.path(), {}, 120);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(name + ": cannot write to standard output"), std::string::npos) << run.err;
        // The same run with somewhere to write to succeeds.
        RunResult fine = testsupport::runProgram(argv, dir.path(), {}, 120);
        EXPECT_EQ(fine.exitCode, 0) << fine.err;
    }
}

}  // namespace
