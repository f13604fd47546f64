#pragma once
// The timing report of --bench: what it measured, and the report as JSON.
#include <string>
#include <vector>

#include "shell/startup.h"

// Frame times (ms) of one range of the schedule.
struct SceneTimes {
    std::vector<double> ms;
};

// The value at fraction p (0 to 1) of the sorted values, nearest rank; 0 for none.
double percentile(std::vector<double> values, double p);
double mean(const std::vector<double>& values);  // 0 for none
// A time as a multiple of the yardstick's (0 without a yardstick).
double ratio(double ms, double yardstickMs);

struct BenchReport {
    std::string renderer;          // as the GL implementation names itself, whatever it holds
    int width = 0, height = 0, fps = 0;
    StartupTimes startup;
    std::vector<SceneTimes> times;  // one per schedule range, in schedule order
    double framesPerSecond = 0;
    int yardstickBoxes = 0;
    std::vector<double> yardstick;  // ms of each yardstick frame drawn among the frames
};

// One JSON object and a line break: renderer, size, fps, start-up times, the
// yardstick's boxes, frames, mean and 95th percentile and, per schedule range,
// its name, rows, frame count, mean, 95th percentile, maximum, and mean and
// 95th percentile as ratios to the yardstick's.
std::string benchJson(const BenchReport& report);
