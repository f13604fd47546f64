#include "align.h"

#include <algorithm>
#include <cmath>

namespace avsync {

namespace {

bool leastSquares(const std::vector<Stamp>& stamps, double& a, double& b) {
    if (stamps.size() < 2) return false;
    double mx = 0, my = 0;
    for (const Stamp& s : stamps) {
        mx += s.frames;
        my += s.ns;
    }
    mx /= stamps.size();
    my /= stamps.size();
    double sxy = 0, sxx = 0;
    for (const Stamp& s : stamps) {
        sxy += (s.frames - mx) * (s.ns - my);
        sxx += (s.frames - mx) * (s.frames - mx);
    }
    if (sxx <= 0) return false;
    b = sxy / sxx;
    a = my - b * mx;
    return true;
}

std::vector<Stamp> near(const std::vector<Stamp>& stamps, double a, double b, double ns) {
    std::vector<Stamp> kept;
    for (const Stamp& s : stamps) {
        if (std::fabs(s.ns - (a + b * s.frames)) <= ns) kept.push_back(s);
    }
    return kept;
}

}  // namespace

bool fitClock(const std::vector<Stamp>& stamps, double rate, double& a, double& b) {
    if (stamps.size() < 2 || rate <= 0) return false;
    // The reads right after connecting come in a burst with a latency the
    // server has not measured yet: start from the nominal rate through the
    // median stamp, then fit over the stamps near it, twice narrower.
    b = 1e9 / rate;
    std::vector<double> intercepts;
    for (const Stamp& s : stamps) intercepts.push_back(s.ns - b * s.frames);
    std::nth_element(intercepts.begin(), intercepts.begin() + intercepts.size() / 2, intercepts.end());
    a = intercepts[intercepts.size() / 2];
    for (double ns : {20e6, 5e6}) {
        if (!leastSquares(near(stamps, a, b, ns), a, b)) return false;
    }
    return true;
}

namespace {

// Rising energy per hop: where the music's accents are.
std::vector<float> onsets(const std::vector<float>& x, std::size_t hop) {
    std::vector<float> energy(x.size() / hop);
    for (std::size_t i = 0; i < energy.size(); ++i) {
        float e = 0;
        for (std::size_t k = 0; k < hop; ++k) e += x[i * hop + k] * x[i * hop + k];
        energy[i] = std::log(1e-9f + e);
    }
    std::vector<float> out(energy.size(), 0.0f);
    for (std::size_t i = 1; i < energy.size(); ++i) out[i] = std::max(0.0f, energy[i] - energy[i - 1]);
    return out;
}

// The normalised correlation of rec[r0, r0+len) with music[r0-lag, ...);
// -1 where the music does not cover it.
double correlation(const std::vector<float>& rec, const std::vector<float>& music, long r0, long len, long lag) {
    const long m0 = r0 - lag;
    if (r0 < 0 || m0 < 0 || r0 + len > static_cast<long>(rec.size()) || m0 + len > static_cast<long>(music.size()))
        return -1;
    double xy = 0, xx = 0, yy = 0;
    for (long i = 0; i < len; ++i) {
        const double x = rec[r0 + i], y = music[m0 + i];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : -1;
}

}  // namespace

std::vector<Window> alignWindows(const std::vector<float>& recording, const std::vector<float>& music,
                                 double expectedLag, std::size_t searchFrames, std::size_t windowFrames,
                                 double minScore) {
    // First on the accents, a hop at a time, then on the samples within two
    // hops of the best accent match.
    const std::size_t hop = 32;
    const std::vector<float> recOn = onsets(recording, hop), musOn = onsets(music, hop);
    std::vector<Window> windows;
    const long len = static_cast<long>(windowFrames);
    const long hopLen = len / static_cast<long>(hop);
    const long searchHops = static_cast<long>(searchFrames / hop) + 1;
    for (long r0 = 0; r0 + len <= static_cast<long>(recording.size()); r0 += len / 2) {
        const long centreLagHops = std::lround(expectedLag / hop);
        double best = -2;
        long bestHopLag = 0;
        for (long d = -searchHops; d <= searchHops; ++d) {
            const long lagHops = centreLagHops + d;
            const double c = correlation(recOn, musOn, r0 / static_cast<long>(hop), hopLen, lagHops);
            if (c > best) {
                best = c;
                bestHopLag = lagHops;
            }
        }
        if (best <= 0) continue;
        double bestScore = -2;
        long bestLag = 0;
        for (long lag = bestHopLag * static_cast<long>(hop) - 2 * static_cast<long>(hop);
             lag <= bestHopLag * static_cast<long>(hop) + 2 * static_cast<long>(hop); ++lag) {
            const double c = correlation(recording, music, r0, len, lag);
            if (c > bestScore) {
                bestScore = c;
                bestLag = lag;
            }
        }
        if (bestScore < minScore) continue;
        windows.push_back({static_cast<double>(r0) + len / 2.0, static_cast<double>(bestLag), bestScore});
    }
    return windows;
}

std::vector<double> offsetsMs(const std::vector<FrameRecord>& frames, const std::vector<Window>& windows, double a,
                              double b, double rate, std::size_t windowFrames) {
    std::vector<double> out;
    if (windows.empty() || b <= 0) return out;
    for (const FrameRecord& f : frames) {
        const double n = (f.ns - a) / b;  // the recording frame playing at the swap
        auto nearest = std::min_element(windows.begin(), windows.end(), [n](const Window& x, const Window& y) {
            return std::fabs(x.centre - n) < std::fabs(y.centre - n);
        });
        if (std::fabs(nearest->centre - n) > windowFrames / 2.0) continue;
        const double heard = (n - nearest->lag) / rate;
        out.push_back((f.seconds - heard) * 1000.0);
    }
    return out;
}

Figures summarise(std::vector<double> offsets) {
    Figures f;
    f.frames = offsets.size();
    if (offsets.empty()) return f;
    std::sort(offsets.begin(), offsets.end());
    auto rank = [&](double q) {
        std::size_t i = static_cast<std::size_t>(std::ceil(q * offsets.size()));
        return offsets[std::min(offsets.size() - 1, i > 0 ? i - 1 : 0)];
    };
    f.median = rank(0.5);
    f.p5 = rank(0.05);
    f.p95 = rank(0.95);
    return f;
}

}  // namespace avsync
