#include "segments.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

bool digitsOnly(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

std::string settingsOf(const SegmentInfo& s) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%dx%d supersampled %d at %d fps, frames %" PRId64 " to %" PRId64 " in %d segments", s.width,
                  s.height, s.supersample, s.fps, s.whole.first, s.whole.end - 1, s.n);
    return text;
}

}  // namespace

bool parseSegment(const std::string& text, int& k, int& n, std::string& error) {
    const std::size_t slash = text.find('/');
    const std::string a = text.substr(0, slash), b = slash == std::string::npos ? "" : text.substr(slash + 1);
    const bool numbers = digitsOnly(a) && digitsOnly(b) && a.size() < 7 && b.size() < 7;
    const long kv = numbers ? std::strtol(a.c_str(), nullptr, 10) : 0, nv = numbers ? std::strtol(b.c_str(), nullptr, 10) : 0;
    if (!numbers || kv < 1 || nv < 1 || kv > nv || nv > maxSegments) {
        error = "--segment needs K/N, the K-th of N parts, 1 <= K <= N <= " + std::to_string(maxSegments) + ", not \"" +
                text + "\"";
        return false;
    }
    k = static_cast<int>(kv);
    n = static_cast<int>(nv);
    return true;
}

FrameRange segmentOf(FrameRange whole, int k, int n) {
    const std::int64_t count = whole.count();
    return {whole.first + count * (k - 1) / n, whole.first + count * k / n};
}

std::string segmentTag(const SegmentInfo& s) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "tarnwick-capture segment %d/%d frames %" PRId64 "-%" PRId64 " of %" PRId64 "-%" PRId64
                  " size %dx%d supersample %d fps %d music %.6f",
                  s.k, s.n, s.frames.first, s.frames.end, s.whole.first, s.whole.end, s.width, s.height,
                  s.supersample, s.fps, s.musicStart);
    return text;
}

bool parseSegmentTag(const std::string& text, SegmentInfo& s) {
    long long a = 0, b = 0, c = 0, d = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "tarnwick-capture segment %d/%d frames %lld-%lld of %lld-%lld size %dx%d supersample %d fps %d "
                    "music %lf%n",
                    &s.k, &s.n, &a, &b, &c, &d, &s.width, &s.height, &s.supersample, &s.fps, &s.musicStart,
                    &used) != 11 ||
        used != static_cast<int>(text.size())) {
        return false;
    }
    s.frames = {a, b};
    s.whole = {c, d};
    // The numbers must describe a segment as segmentOf cuts it.
    return s.n >= 1 && s.k >= 1 && s.k <= s.n && s.whole.count() > 0 && s.frames == segmentOf(s.whole, s.k, s.n) &&
           s.width > 0 && s.height > 0 && s.fps > 0 && s.supersample >= 1;
}

bool checkSegments(const std::vector<std::string>& files, const std::vector<SegmentInfo>& infos,
                   std::vector<std::size_t>& ordered, std::string& why) {
    if (infos.empty()) {
        why = "no segments to join";
        return false;
    }
    const SegmentInfo& first = infos[0];
    std::vector<std::size_t> byK(static_cast<std::size_t>(first.n) + 1, infos.size());
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const SegmentInfo& s = infos[i];
        if (s.n != first.n || !(s.whole == first.whole) || s.width != first.width || s.height != first.height ||
            s.fps != first.fps || s.supersample != first.supersample || s.musicStart != first.musicStart) {
            why = files[i] + ": a segment of another capture (" + settingsOf(s) + ") than " + files[0] + " (" +
                  settingsOf(first) + ")";
            return false;
        }
        std::size_t& slot = byK[static_cast<std::size_t>(s.k)];
        if (slot != infos.size()) {
            why = files[i] + ": segment " + std::to_string(s.k) + "/" + std::to_string(s.n) + " is given twice (also " +
                  files[slot] + ")";
            return false;
        }
        slot = i;
    }
    std::string missing;
    for (int k = 1; k <= first.n; ++k) {
        if (byK[static_cast<std::size_t>(k)] != infos.size()) continue;
        if (!missing.empty()) missing += ", ";
        missing += std::to_string(k) + "/" + std::to_string(first.n);
    }
    if (!missing.empty()) {
        why = "segments missing: " + missing + " (" + std::to_string(infos.size()) + " of " + std::to_string(first.n) +
              " given)";
        return false;
    }
    ordered.assign(byK.begin() + 1, byK.end());
    return true;
}
