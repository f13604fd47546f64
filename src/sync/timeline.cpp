// The sync timeline: every pattern on one grid of rows per beat, every
// channel laid out from the start of the song to its end, and a bitset of the
// rows on which anything happens.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_set>

#include "common/saturate.h"
#include "sync/timeline.h"

namespace {

// x + 0.5 truncated toward zero, as a double (whole-number valued).
double roundHalfUp(double x) { return std::trunc(x + 0.5); }

std::int64_t roundToInt(double x) { return saturatingInt64(roundHalfUp(x)); }

std::int32_t gcd(std::int32_t a, std::int32_t b) { return b == 0 ? a : gcd(b, a % b); }

// The number of rows resamplePattern gives; -1 where it would not be usable.
std::int64_t resampledRows(std::size_t rows, float from, float to) {
    if (!(std::isfinite(from) && from > 0.0f && std::isfinite(to) && to > 0.0f)) return -1;
    double beats = std::trunc(static_cast<double>(rows) / static_cast<double>(from));
    return roundToInt(beats * static_cast<double>(to));
}

// Drops the patterns marked in `dropped` (one flag per pattern), and every
// placement of them, in one pass: a file may drop a million patterns placed a
// million times.
void removePatterns(SyncFile& file, const std::vector<bool>& dropped) {
    std::unordered_set<const Pattern*> gone;
    for (std::size_t i = 0; i < file.patterns.size(); ++i) {
        if (dropped[i]) gone.insert(file.patterns[i].get());
    }
    if (gone.empty()) return;
    for (Channel& channel : file.channels) {
        auto& p = channel.placements;
        p.erase(std::remove_if(p.begin(), p.end(), [&](const Pattern* q) { return gone.count(q) > 0; }), p.end());
    }
    auto& patterns = file.patterns;
    patterns.erase(std::remove_if(patterns.begin(), patterns.end(),
                                  [&](const std::unique_ptr<Pattern>& q) { return gone.count(q.get()) > 0; }),
                   patterns.end());
}

struct RowBudget {
    std::int64_t used = 0;
    // Whether a pattern may grow from `rows` to `newRows` rows.
    bool allows(std::size_t rows, std::int64_t newRows) const {
        return newRows <= static_cast<std::int64_t>(rows) ||
               used - static_cast<std::int64_t>(rows) + newRows <= maxPatternRows;
    }
};

// Re-grids pattern `index` to `resolution`; false (with a warning) when the
// patterns together would hold more rows than the budget allows, and the
// pattern is to be dropped.
bool regrid(SyncFile& file, std::size_t index, float resolution, RowBudget& budget,
            SyncWarnings* warnings) {
    Pattern& p = *file.patterns[index];
    std::int64_t rows = resampledRows(p.values.size(), p.resolution, resolution);
    // The built-in pattern (always first) fills the channels and is never dropped.
    if (rows < 0 || (index > 0 && !budget.allows(p.values.size(), rows))) {
        addWarning(warnings, "pattern-rows", p.line,
                   "pattern " + quoted(p.name) + " would need " + std::to_string(rows) + " rows at " +
                       formatNumber(resolution) + " rows per beat, beyond the " + std::to_string(maxPatternRows) +
                       " rows all patterns may hold together; pattern skipped");
        budget.used -= static_cast<std::int64_t>(p.values.size());
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
    std::int64_t step = whole >= 1.0 ? saturatingInt64(whole) : 1;
    for (std::int64_t i = 0; i < m; i += step) {
        double source = std::trunc(static_cast<double>(i) * static_cast<double>(from) / static_cast<double>(resolution));
        if (source >= 0 && source < static_cast<double>(oldRows)) {
            rows[static_cast<std::size_t>(i)] = p.values[static_cast<std::size_t>(source)];
        }
    }
    // Keep the values that some new row still refers to; release the rest.
    // (A sorted list: one pointer a row, where a hash set would take several.)
    std::vector<const SyncValue*> kept(rows);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    std::vector<std::unique_ptr<SyncValue>> owned;
    for (std::unique_ptr<SyncValue>& v : p.owned) {
        if (std::binary_search(kept.begin(), kept.end(), v.get())) owned.push_back(std::move(v));
    }
    p.owned = std::move(owned);
    p.values = std::move(rows);
    p.resolution = resolution;
}

void prepareSyncTimeline(SyncFile& file, float lengthSeconds, SyncTimeline& timeline,
                         SyncWarnings* warnings) {
    timeline = SyncTimeline{};
    RowBudget budget;
    for (const std::unique_ptr<Pattern>& p : file.patterns) budget.used += static_cast<std::int64_t>(p->values.size());

    // Fractional resolutions become the smallest whole grid that holds them:
    // 1.5 -> 3, 0.25 -> 1, 1.25 -> 5.
    std::vector<bool> dropped(file.patterns.size(), false);
    for (std::size_t i = 0; i < file.patterns.size(); ++i) {
        Pattern& p = *file.patterns[i];
        const double resolution = p.resolution;
        const double frac = resolution - std::trunc(resolution);
        float target = p.resolution;
        if (frac > 0.01) target = static_cast<float>(resolution / static_cast<double>(static_cast<float>(frac)));
        const std::int64_t whole = roundToInt(target);
        if (!(std::isfinite(target) && whole >= 1 && whole <= maxRowsPerBeat)) {
            addWarning(warnings, "pattern-resolution-grid", p.line,
                       "pattern " + quoted(p.name) + " has resolution " + formatNumber(resolution) + ", which needs " +
                           formatNumber(target) + " rows per beat; at most " + std::to_string(maxRowsPerBeat) +
                           " are supported; pattern skipped");
            budget.used -= static_cast<std::int64_t>(p.values.size());
            dropped[i] = true;
            continue;
        }
        if (frac > 0.01 && !regrid(file, i, target, budget, warnings)) dropped[i] = true;
    }
    removePatterns(file, dropped);

    // The common resolution: the least common multiple of all resolutions.
    std::int32_t l = file.patterns.empty() ? 1 : static_cast<std::int32_t>(roundToInt(file.patterns[0]->resolution));
    dropped.assign(file.patterns.size(), false);
    for (std::size_t i = 0; i < file.patterns.size(); ++i) {
        const Pattern& p = *file.patterns[i];
        const std::int32_t r = static_cast<std::int32_t>(roundToInt(p.resolution));
        const std::int32_t g = r == 0 ? l : gcd(r, l % r);
        const std::int64_t next = static_cast<std::int64_t>(r) * l / g;
        if (next > maxRowsPerBeat) {
            addWarning(warnings, "common-grid", p.line,
                       "pattern " + quoted(p.name) + " at " + std::to_string(r) + " rows per beat makes the common grid " +
                           std::to_string(next) + " rows per beat, more than " + std::to_string(maxRowsPerBeat) +
                           "; pattern skipped");
            budget.used -= static_cast<std::int64_t>(p.values.size());
            dropped[i] = true;
            continue;
        }
        l = static_cast<std::int32_t>(next);
    }
    removePatterns(file, dropped);
    timeline.rowsPerBeat = l;

    // The song's length in whole beats, times the rows per beat.
    const double exactBeats = static_cast<double>(lengthSeconds) / 60.0 * static_cast<double>(file.bpm);
    const std::int64_t beats = roundToInt(exactBeats);
    const std::int64_t lanes = std::max<std::int64_t>(1, static_cast<std::int64_t>(file.channels.size()));
    const std::int64_t maxBeats = std::min<std::int64_t>(maxChannelRows / lanes, std::numeric_limits<std::int32_t>::max()) /
                                  timeline.rowsPerBeat;
    std::int64_t songBeats = std::max<std::int64_t>(0, beats);
    if (songBeats > maxBeats) {
        addWarning(warnings, "song-rows", 2,
                   "a song of " + formatNumber(roundHalfUp(exactBeats)) + " beats at this bpm needs " +
                       formatNumber(roundHalfUp(exactBeats) * timeline.rowsPerBeat) + " rows for each of " + std::to_string(lanes) +
                       " channel(s), more than " + std::to_string(maxChannelRows) + " in all; the timeline stops after " +
                       std::to_string(maxBeats) + " beats");
        songBeats = maxBeats;
    }
    timeline.totalRows = static_cast<std::int32_t>(songBeats * timeline.rowsPerBeat);

    // Every pattern on the common grid.
    dropped.assign(file.patterns.size(), false);
    for (std::size_t i = 0; i < file.patterns.size(); ++i) {
        const Pattern& p = *file.patterns[i];
        if (roundToInt(p.resolution) != timeline.rowsPerBeat &&
            !regrid(file, i, static_cast<float>(timeline.rowsPerBeat), budget, warnings)) {
            dropped[i] = true;
        }
    }
    removePatterns(file, dropped);

    // Placements from the start of the song; channels that run out before its
    // end loop their first pattern or wait out the song one beat at a time.
    const Pattern* emptyPattern = file.patterns.empty() ? nullptr : file.patterns[0].get();
    timeline.channels.resize(file.channels.size());
    for (std::size_t c = 0; c < file.channels.size(); ++c) {
        Channel& channel = file.channels[c];
        ChannelLayout& lane = timeline.channels[c];
        lane.placements = channel.placements;
        std::int64_t acc = 0;
        std::size_t k = 0;
        for (; k < lane.placements.size(); ++k) {
            if (acc > std::numeric_limits<std::int32_t>::max()) break;
            lane.rowStarts.push_back(static_cast<std::int32_t>(acc));
            acc += static_cast<std::int64_t>(lane.placements[k]->values.size());
        }
        if (k < lane.placements.size()) {
            addWarning(warnings, "channel-rows", channel.line,
                       "channel " + quoted(channel.name) + " runs past " +
                           std::to_string(std::numeric_limits<std::int32_t>::max()) + " rows; its last " +
                           std::to_string(lane.placements.size() - k) + " placement(s) are dropped");
            lane.placements.resize(k);
        }
        if (channel.repeat && (lane.placements.empty() || lane.placements[0]->values.empty())) {
            addWarning(warnings, "channel-repeat-empty", channel.line,
                       "channel " + quoted(channel.name) + " repeats " +
                           (lane.placements.empty() ? std::string("but places no pattern")
                                                    : "its first pattern " + quoted(lane.placements[0]->name) +
                                                          ", which has no rows") +
                           "; it plays as not repeating");
            channel.repeat = false;
        }
        const Pattern* fill = channel.repeat ? lane.placements[0] : emptyPattern;
        if (!fill || fill->values.empty()) continue;  // nothing can fill it (cannot happen: the built-in has rows)
        while (acc < timeline.totalRows) {
            lane.placements.push_back(fill);
            lane.rowStarts.push_back(static_cast<std::int32_t>(acc));
            acc += static_cast<std::int64_t>(fill->values.size());
        }
    }

    // The rows on which some channel has a value. Each placement holds the
    // rows from its own start up to the next one's, so walking the placements
    // finds for every row the last placement that starts at or before it.
    timeline.rowHasValue.assign(static_cast<std::size_t>(timeline.totalRows), false);
    std::unordered_set<const Pattern*> withValues;
    for (const std::unique_ptr<Pattern>& p : file.patterns) {
        for (const SyncValue* v : p->values) {
            if (v) {
                withValues.insert(p.get());
                break;
            }
        }
    }
    for (const ChannelLayout& lane : timeline.channels) {
        for (std::size_t k = 0; k < lane.placements.size(); ++k) {
            const std::int64_t start = lane.rowStarts[k];
            if (start >= timeline.totalRows) break;
            const Pattern* p = lane.placements[k];
            if (!withValues.count(p)) continue;
            const std::int64_t end = std::min<std::int64_t>(timeline.totalRows, start + static_cast<std::int64_t>(p->values.size()));
            for (std::int64_t r = start; r < end; ++r) {
                if (p->values[static_cast<std::size_t>(r - start)]) timeline.rowHasValue[static_cast<std::size_t>(r)] = true;
            }
        }
    }
}
