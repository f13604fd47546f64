#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench.h"
#include "scenes/schedule.h"
#include "support/json.h"

namespace {

TEST(BenchJson, ParsesWithAnyRendererName) {
    // Driver names run long and can hold quotes and backslashes.
    const std::string renderer = "AMD Radeon RX 7900 XTX (radeonsi, gfx1100, LLVM 15.0.6, DRM 3.54) \"Mesa\" \\ build " +
                                 std::string(100, '#');
    BenchReport report;
    report.renderer = renderer.substr(0, 100);
    report.width = 160, report.height = 90, report.fps = 30;
    report.startup = {12.5, 2, 0.25};
    report.times.resize(scheduleRangeCount);
    report.times[3].ms = {4, 1, 2, 3};
    report.framesPerSecond = 88.5;

    testsupport::Json json;
    std::string error;
    ASSERT_TRUE(testsupport::parseJson(benchJson(report), json, error)) << error << "\n" << benchJson(report);
    EXPECT_EQ(json["renderer"].text, report.renderer);
    EXPECT_EQ(json["size"].text, "160x90");
    EXPECT_EQ(json["fps"].number, 30);
    EXPECT_EQ(json["startup"]["texturesMs"].number, 12.5);
    EXPECT_EQ(json["startup"]["syncMs"].number, 0.25);
    EXPECT_EQ(json["framesPerSecond"].number, 88.5);
    ASSERT_EQ(json["scenes"].items.size(), size_t(scheduleRangeCount));
    const auto& logo = json["scenes"][3];
    EXPECT_EQ(logo["name"].text, "logo tiles");
    EXPECT_EQ(logo["firstRow"].number, 192);
    EXPECT_EQ(logo["lastRow"].number, 223);
    EXPECT_EQ(logo["frames"].number, 4);
    EXPECT_EQ(logo["meanMs"].number, 2.5);
    EXPECT_EQ(logo["p95Ms"].number, 4);
    EXPECT_EQ(logo["maxMs"].number, 4);
    EXPECT_EQ(json["scenes"][0]["frames"].number, 0);
}

TEST(BenchJson, PercentilesMeansAndRatiosOfFrameTimes) {
    // The percentile is the value at the rounded rank; past the last rank, the largest.
    const std::vector<double> four = {4, 1, 3, 2};
    const struct {
        std::vector<double> values;
        double p, expected;
    } percentiles[] = {{{}, 0.5, 0}, {{7}, 0.95, 7}, {four, 0, 1}, {four, 0.5, 3}, {four, 1, 4}, {four, 2, 4}};
    for (const auto& c : percentiles) EXPECT_EQ(percentile(c.values, c.p), c.expected) << c.values.size() << " " << c.p;
    EXPECT_EQ(mean({}), 0);
    EXPECT_EQ(mean(four), 2.5);
    EXPECT_EQ(ratio(3, 2), 1.5);
    for (double none : {0.0, -1.0}) EXPECT_EQ(ratio(3, none), 0) << none;
    // A report with times for fewer ranges than the schedule has lists those.
    BenchReport report;
    report.times.resize(2);
    testsupport::Json json;
    std::string error;
    ASSERT_TRUE(testsupport::parseJson(benchJson(report), json, error)) << error;
    EXPECT_EQ(json["scenes"].items.size(), 2u);
}

}  // namespace
