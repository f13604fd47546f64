#include "common/warnings.h"

#include <cmath>

void addWarning(std::vector<Warning>* warnings, int line, std::string message) {
    if (warnings) warnings->push_back(Warning{line, std::move(message)});
}

std::string warningPlace(const std::string& path, int line) {
    return line > 0 ? path + ":" + std::to_string(line) : path;
}

void printWarning(std::FILE* out, const char* program, const std::string& path, const Warning& warning) {
    std::fprintf(out, "%s: %s: %s\n", program, warningPlace(path, warning.line).c_str(), warning.message.c_str());
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string formatNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}
