// The sync timeline: every pattern on one grid of rows per beat, every
// channel laid out from the start of the song to its end, and a bitset of the
// rows on which anything happens.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_set>

#include "musicsync/syncfile.h"

namespace {

// x + 0.5 truncated toward zero, as a double (whole-number valued).
double roundHalfUp(double x) { return std::trunc(x + 0.5); }

// A whole-number double as an int64, saturating where it does not fit.
std::int64_t toInt64(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (x <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}

std::int64_t roundToInt(double x) { return toInt64(roundHalfUp(x)); }

std::int32_t gcd(std::int32_t a, std::int32_t b) { return b == 0 ? a : gcd(b, a % b); }

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void addWarning(std::vector<SyncWarning>* warnings, int line, std::string message) {
    if (warnings) warnings->push_back(SyncWarning{line, std::move(message)});
}

// The number of rows resamplePattern gives; -1 where it would not be usable.
std::int64_t resampledRows(std::size_t rows, float from, float to) {
    if (!(std::isfinite(from) && from > 0.0f && std::isfinite(to) && to > 0.0f)) return -1;
    double beats = std::trunc(static_cast<double>(rows) / static_cast<double>(from));
    return roundToInt(beats * static_cast<double>(to));
}

// Drops a pattern that cannot take part in the timeline, and every placement of it.
void removePattern(MusicSync& ms, std::size_t index) {
    const Pattern* gone = ms.patterns[index].get();
    for (Channel& channel : ms.channels) {
        auto& p = channel.placements;
        p.erase(std::remove(p.begin(), p.end(), gone), p.end());
    }
    ms.patterns.erase(ms.patterns.begin() + static_cast<std::ptrdiff_t>(index));
}

struct RowBudget {
    std::int64_t used = 0;
    // Whether a pattern may grow from `rows` to `newRows` rows.
    bool allows(std::size_t rows, std::int64_t newRows) const {
        return newRows <= static_cast<std::int64_t>(rows) ||
               used - static_cast<std::int64_t>(rows) + newRows <= maxPatternRows;
    }
};

// Re-grids pattern `index` to `resolution`, or drops it (with a warning) when
// the patterns together would hold more rows than the budget allows.
bool regrid(MusicSync& ms, std::size_t index, float resolution, RowBudget& budget,
            std::vector<SyncWarning>* warnings) {
    Pattern& p = *ms.patterns[index];
    std::int64_t rows = resampledRows(p.values.size(), p.resolution, resolution);
    // The built-in pattern (always first) fills the channels and is never dropped.
    if (rows < 0 || (index > 0 && !budget.allows(p.values.size(), rows))) {
        addWarning(warnings, p.line,
                   "pattern " + quoted(p.name) + " would need " + std::to_string(rows) + " rows at " +
                       number(resolution) + " rows per beat, beyond the " + std::to_string(maxPatternRows) +
                       " rows all patterns may hold together; pattern skipped");
        budget.used -= static_cast<std::int64_t>(p.values.size());
        removePattern(ms, index);
        return false;
    }
    budget.used += rows - static_cast<std::int64_t>(p.values.size());
    resamplePattern(p, resolution);
    return true;
}

}  // namespace

void resamplePattern(Pattern& p, float resolution) {
    const float from = p.resolution;
    const std::size_t oldRows = p.values.size();
    std::int64_t m = resampledRows(oldRows, from, resolution);
    std::vector<const SyncValue*> rows(static_cast<std::size_t>(m > 0 ? m : 0), nullptr);
    double whole = std::trunc(static_cast<double>(resolution) / static_cast<double>(from));
    // Below one new row per old row the rows are read one by one.
    std::int64_t step = whole >= 1.0 ? toInt64(whole) : 1;
    for (std::int64_t i = 0; i < m; i += step) {
        double source = std::trunc(static_cast<double>(i) * static_cast<double>(from) / static_cast<double>(resolution));
        if (source >= 0 && source < static_cast<double>(oldRows)) {
            rows[static_cast<std::size_t>(i)] = p.values[static_cast<std::size_t>(source)];
        }
    }
    // Keep the values that some new row still refers to; release the rest.
    std::unordered_set<const SyncValue*> kept(rows.begin(), rows.end());
    std::vector<std::unique_ptr<SyncValue>> owned;
    for (std::unique_ptr<SyncValue>& v : p.owned) {
        if (kept.count(v.get())) owned.push_back(std::move(v));
    }
    p.owned = std::move(owned);
    p.values = std::move(rows);
    p.resolution = resolution;
}

void prepareSyncTimeline(MusicSync& ms, std::vector<SyncWarning>* warnings) {
    RowBudget budget;
    for (const std::unique_ptr<Pattern>& p : ms.patterns) budget.used += static_cast<std::int64_t>(p->values.size());

    // Fractional resolutions become the smallest whole grid that holds them:
    // 1.5 -> 3, 0.25 -> 1, 1.25 -> 5.
    for (std::size_t i = 0; i < ms.patterns.size();) {
        Pattern& p = *ms.patterns[i];
        const double resolution = p.resolution;
        const double frac = resolution - std::trunc(resolution);
        float target = p.resolution;
        if (frac > 0.01) target = static_cast<float>(resolution / static_cast<double>(static_cast<float>(frac)));
        const std::int64_t whole = roundToInt(target);
        if (!(std::isfinite(target) && whole >= 1 && whole <= maxRowsPerBeat)) {
            addWarning(warnings, p.line,
                       "pattern " + quoted(p.name) + " has resolution " + number(resolution) + ", which needs " +
                           number(target) + " rows per beat; at most " + std::to_string(maxRowsPerBeat) +
                           " are supported; pattern skipped");
            budget.used -= static_cast<std::int64_t>(p.values.size());
            removePattern(ms, i);
            continue;
        }
        if (frac > 0.01 && !regrid(ms, i, target, budget, warnings)) continue;
        ++i;
    }

    // The common resolution: the least common multiple of all resolutions.
    std::int32_t l = ms.patterns.empty() ? 1 : static_cast<std::int32_t>(roundToInt(ms.patterns[0]->resolution));
    for (std::size_t i = 0; i < ms.patterns.size();) {
        const Pattern& p = *ms.patterns[i];
        const std::int32_t r = static_cast<std::int32_t>(roundToInt(p.resolution));
        const std::int32_t g = r == 0 ? l : gcd(r, l % r);
        const std::int64_t next = static_cast<std::int64_t>(r) * l / g;
        if (next > maxRowsPerBeat) {
            addWarning(warnings, p.line,
                       "pattern " + quoted(p.name) + " at " + std::to_string(r) + " rows per beat makes the common grid " +
                           std::to_string(next) + " rows per beat, more than " + std::to_string(maxRowsPerBeat) +
                           "; pattern skipped");
            budget.used -= static_cast<std::int64_t>(p.values.size());
            removePattern(ms, i);
            continue;
        }
        l = static_cast<std::int32_t>(next);
        ++i;
    }
    ms.rowsPerBeat = l;

    // The song's length in whole beats, times the rows per beat.
    const float lengthSeconds = static_cast<float>(audio::bytesToSeconds(ms.stream, audio::length(ms.stream)));
    const double exactBeats = static_cast<double>(lengthSeconds) / 60.0 * static_cast<double>(ms.bpm);
    const std::int64_t beats = roundToInt(exactBeats);
    const std::int64_t lanes = std::max<std::int64_t>(1, static_cast<std::int64_t>(ms.channels.size()));
    const std::int64_t maxBeats = std::min<std::int64_t>(maxChannelRows / lanes, std::numeric_limits<std::int32_t>::max()) /
                                  ms.rowsPerBeat;
    std::int64_t songBeats = std::max<std::int64_t>(0, beats);
    if (songBeats > maxBeats) {
        addWarning(warnings, 2,
                   "a song of " + number(roundHalfUp(exactBeats)) + " beats at this bpm needs " +
                       number(roundHalfUp(exactBeats) * ms.rowsPerBeat) + " rows for each of " + std::to_string(lanes) +
                       " channel(s), more than " + std::to_string(maxChannelRows) + " in all; the timeline stops after " +
                       std::to_string(maxBeats) + " beats");
        songBeats = maxBeats;
    }
    ms.totalRows = static_cast<std::int32_t>(songBeats * ms.rowsPerBeat);

    // Every pattern on the common grid.
    for (std::size_t i = 0; i < ms.patterns.size();) {
        const Pattern& p = *ms.patterns[i];
        if (roundToInt(p.resolution) != ms.rowsPerBeat &&
            !regrid(ms, i, static_cast<float>(ms.rowsPerBeat), budget, warnings)) {
            continue;
        }
        ++i;
    }

    // Placements from the start of the song; channels that run out before its
    // end loop their first pattern or wait out the song one beat at a time.
    const Pattern* emptyPattern = ms.patterns.empty() ? nullptr : ms.patterns[0].get();
    for (Channel& channel : ms.channels) {
        std::int64_t acc = 0;
        std::size_t k = 0;
        channel.rowStarts.clear();
        for (; k < channel.placements.size(); ++k) {
            if (acc > std::numeric_limits<std::int32_t>::max()) break;
            channel.rowStarts.push_back(static_cast<std::int32_t>(acc));
            acc += static_cast<std::int64_t>(channel.placements[k]->values.size());
        }
        if (k < channel.placements.size()) {
            addWarning(warnings, channel.line,
                       "channel " + quoted(channel.name) + " runs past " +
                           std::to_string(std::numeric_limits<std::int32_t>::max()) + " rows; its last " +
                           std::to_string(channel.placements.size() - k) + " placement(s) are dropped");
            channel.placements.resize(k);
        }
        if (channel.repeat && (channel.placements.empty() || channel.placements[0]->values.empty())) {
            addWarning(warnings, channel.line,
                       "channel " + quoted(channel.name) + " repeats " +
                           (channel.placements.empty() ? std::string("but places no pattern")
                                                       : "its first pattern " + quoted(channel.placements[0]->name) +
                                                             ", which has no rows") +
                           "; it plays as not repeating");
            channel.repeat = false;
        }
        const Pattern* fill = channel.repeat ? channel.placements[0] : emptyPattern;
        if (!fill || fill->values.empty()) continue;  // nothing can fill it (cannot happen: the built-in has rows)
        while (acc < ms.totalRows) {
            channel.placements.push_back(fill);
            channel.rowStarts.push_back(static_cast<std::int32_t>(acc));
            acc += static_cast<std::int64_t>(fill->values.size());
        }
    }

    // The rows on which some channel has a value. Each placement holds the
    // rows from its own start up to the next one's, so walking the placements
    // finds for every row the last placement that starts at or before it.
    ms.rowHasValue.assign(static_cast<std::size_t>(ms.totalRows), false);
    std::unordered_set<const Pattern*> withValues;
    for (const std::unique_ptr<Pattern>& p : ms.patterns) {
        for (const SyncValue* v : p->values) {
            if (v) {
                withValues.insert(p.get());
                break;
            }
        }
    }
    for (const Channel& channel : ms.channels) {
        for (std::size_t k = 0; k < channel.placements.size(); ++k) {
            const std::int64_t start = channel.rowStarts[k];
            if (start >= ms.totalRows) break;
            const Pattern* p = channel.placements[k];
            if (!withValues.count(p)) continue;
            const std::int64_t end = std::min<std::int64_t>(ms.totalRows, start + static_cast<std::int64_t>(p->values.size()));
            for (std::int64_t r = start; r < end; ++r) {
                if (p->values[static_cast<std::size_t>(r - start)]) ms.rowHasValue[static_cast<std::size_t>(r)] = true;
            }
        }
    }

    ms.currentValues.assign(static_cast<std::size_t>(std::max(0, ms.channelCount)), nullptr);
}
