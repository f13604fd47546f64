#include "common/warnings.h"

#include <cmath>
#include <cstring>

WarningList::KindCount& WarningList::countFor(const char* kind) {
    // Few kinds exist, and the last one asked for is the likeliest next.
    for (auto it = kinds_.rbegin(); it != kinds_.rend(); ++it) {
        if (it->kind == kind) return *it;
    }
    kinds_.push_back(KindCount{kind});
    return kinds_.back();
}

bool WarningList::keeps(const char* kind) const {
    for (const KindCount& k : kinds_) {
        if (k.kind == kind) return k.found < keptPerKind;
    }
    return true;
}

bool WarningList::count(const char* kind) {
    KindCount& k = countFor(kind);
    ++total_;
    if (++k.found <= keptPerKind) {
        k.lastKept = kept_.size();
        return true;
    }
    kept_[k.lastKept].more = k.found - keptPerKind;
    return false;
}

void WarningList::add(const char* kind, int line, const char* message) {
    if (count(kind)) kept_.push_back(Warning{line, message, kind, 0});
}

void WarningList::add(const char* kind, int line, std::string message) {
    if (count(kind)) kept_.push_back(Warning{line, std::move(message), kind, 0});
}

void WarningList::clear() {
    kept_.clear();
    kinds_.clear();
    total_ = 0;
}

void addWarning(WarningList* warnings, const char* kind, int line, const char* message) {
    if (warnings) warnings->add(kind, line, message);
}

void addWarning(WarningList* warnings, const char* kind, int line, std::string message) {
    if (warnings) warnings->add(kind, line, std::move(message));
}

bool keepsWarning(const WarningList* warnings, const char* kind) { return warnings && warnings->keeps(kind); }

std::string warningPlace(const std::string& path, int line) {
    return line > 0 ? path + ":" + std::to_string(line) : path;
}

void printWarning(std::FILE* out, const char* program, const std::string& path, const Warning& warning) {
    std::fprintf(out, "%s: %s: %s\n", program, warningPlace(path, warning.line).c_str(), warning.message.c_str());
}

std::string moreWarningsText(std::size_t more) {
    return "... and " + std::to_string(more) + " more warning" + (more == 1 ? "" : "s") + " like this";
}

void printWarnings(std::FILE* out, const char* program, const std::string& path, const WarningList& warnings) {
    for (const Warning& w : warnings) {
        printWarning(out, program, path, w);
        if (w.more > 0) std::fprintf(out, "%s: %s: %s\n", program, path.c_str(), moreWarningsText(w.more).c_str());
    }
}

std::size_t utf8Length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    std::size_t i = 0;
    for (std::size_t shown = 0; i < text.size() && shown < quotedCharacters; ++shown) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = utf8Length(text, i);
        if (c < 0x20 || c == 0x7F || n == 0) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    out += "\"";
    if (i < text.size()) out += " (and " + std::to_string(text.size() - i) + " more bytes)";
    return out;
}

std::string formatNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}
