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

std::string benchJson(const BenchReport& r) {
    std::string out = "{\"renderer\":" + jsonString(r.renderer);
    out += ",\"size\":\"" + std::to_string(r.width) + "x" + std::to_string(r.height) + "\"";
    out += ",\"fps\":" + std::to_string(r.fps);
    out += ",\"startup\":{\"texturesMs\":" + formatNumber(r.startup.texturesMs) +
           ",\"musicMs\":" + formatNumber(r.startup.musicMs) + ",\"syncMs\":" + formatNumber(r.startup.syncMs) + "}";
    out += ",\"scenes\":[";
    for (std::size_t i = 0; i < r.times.size() && i < static_cast<std::size_t>(scheduleRangeCount); ++i) {
        const std::vector<double>& ms = r.times[i].ms;
        double mean = 0;
        for (double m : ms) mean += m / static_cast<double>(ms.size());
        out += std::string(i ? "," : "") + "{\"name\":" + jsonString(scheduleRanges[i].name) +
               ",\"firstRow\":" + std::to_string(scheduleRanges[i].firstRow) +
               ",\"lastRow\":" + std::to_string(scheduleRanges[i].lastRow) + ",\"frames\":" + std::to_string(ms.size()) +
               ",\"meanMs\":" + formatNumber(mean) + ",\"p95Ms\":" + formatNumber(percentile(ms, 0.95)) +
               ",\"maxMs\":" + formatNumber(ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end())) + "}";
    }
    return out + "],\"framesPerSecond\":" + formatNumber(r.framesPerSecond) + "}\n";
}
