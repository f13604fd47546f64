#include "bench.h"

#include <algorithm>

#include "common/json.h"
#include "common/warnings.h"
#include "scenes/schedule.h"

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double ratio(double ms, double yardstickMs) { return yardstickMs > 0 ? ms / yardstickMs : 0; }

std::string benchJson(const BenchReport& r) {
    const double yardMean = mean(r.yardstick), yardP95 = percentile(r.yardstick, 0.95);
    std::string out = "{\"renderer\":" + jsonString(r.renderer);
    out += ",\"size\":\"" + std::to_string(r.width) + "x" + std::to_string(r.height) + "\"";
    out += ",\"fps\":" + std::to_string(r.fps);
    out += ",\"startup\":{\"texturesMs\":" + formatNumber(r.startup.texturesMs) +
           ",\"musicMs\":" + formatNumber(r.startup.musicMs) + ",\"syncMs\":" + formatNumber(r.startup.syncMs) + "}";
    out += ",\"yardstick\":{\"boxes\":" + std::to_string(r.yardstickBoxes) +
           ",\"frames\":" + std::to_string(r.yardstick.size()) + ",\"meanMs\":" + formatNumber(yardMean) +
           ",\"p95Ms\":" + formatNumber(yardP95) + "}";
    out += ",\"scenes\":[";
    for (std::size_t i = 0; i < r.times.size() && i < static_cast<std::size_t>(scheduleRangeCount); ++i) {
        const std::vector<double>& ms = r.times[i].ms;
        const double p95 = percentile(ms, 0.95);
        out += std::string(i ? "," : "") + "{\"name\":" + jsonString(scheduleRanges[i].name) +
               ",\"firstRow\":" + std::to_string(scheduleRanges[i].firstRow) +
               ",\"lastRow\":" + std::to_string(scheduleRanges[i].lastRow) + ",\"frames\":" + std::to_string(ms.size()) +
               ",\"meanMs\":" + formatNumber(mean(ms)) + ",\"p95Ms\":" + formatNumber(p95) +
               ",\"maxMs\":" + formatNumber(ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end())) +
               ",\"meanRatio\":" + formatNumber(ratio(mean(ms), yardMean)) +
               ",\"p95Ratio\":" + formatNumber(ratio(p95, yardP95)) + "}";
    }
    return out + "],\"framesPerSecond\":" + formatNumber(r.framesPerSecond) + "}\n";
}
