// libFuzzer target for the sync reader, its timeline and the playback that
// walks it: any bytes must load without a crash, a hang or a leak, and leave
// a timeline that keeps its invariants.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "sync/playback.h"
#include "sync/reader.h"

namespace {

constexpr float songSeconds = 60.0f;

struct Sync {
    SyncFile file;
    SyncTimeline timeline;
    SyncPlayback playback;
};

#define CHECK(condition)                                                              \
    do {                                                                              \
        if (!(condition)) {                                                           \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

std::int64_t roundHalfUp(float x) { return static_cast<std::int64_t>(static_cast<double>(x) + 0.5); }

// The row bitset, found the slow way: for every row and channel, the last
// placement that starts at or before the row.
std::vector<bool> slowRowBits(const SyncTimeline& t) {
    std::vector<bool> bits(static_cast<std::size_t>(t.totalRows), false);
    for (std::int32_t r = 0; r < t.totalRows; ++r) {
        for (const ChannelLayout& c : t.channels) {
            std::int64_t k = static_cast<std::int64_t>(c.rowStarts.size()) - 1;
            while (k >= 0 && c.rowStarts[k] > r) --k;
            if (k < 0) continue;
            const Pattern* p = c.placements[k];
            std::size_t index = static_cast<std::size_t>(r - c.rowStarts[k]);
            if (index < p->values.size() && p->values[index]) {
                bits[r] = true;
                break;
            }
        }
    }
    return bits;
}

void checkTimeline(const SyncFile& f, const SyncTimeline& t) {
    CHECK(t.rowsPerBeat >= 1 && t.rowsPerBeat <= maxRowsPerBeat);
    CHECK(t.totalRows >= 0);
    CHECK(t.totalRows % t.rowsPerBeat == 0);
    CHECK(t.rowHasValue.size() == static_cast<std::size_t>(t.totalRows));
    CHECK(f.channelCount == static_cast<std::int32_t>(f.channels.size()));
    CHECK(t.channels.size() == f.channels.size());
    CHECK(!f.patterns.empty() && f.patterns[0]->name == "emptypattern");

    std::set<const Pattern*> patterns;
    std::int64_t rows = 0;
    for (const auto& p : f.patterns) {
        patterns.insert(p.get());
        CHECK(roundHalfUp(p->resolution) == t.rowsPerBeat);
        std::set<const SyncValue*> owned;
        for (const auto& v : p->owned) owned.insert(v.get());
        CHECK(owned.size() == p->owned.size());
        std::set<const SyncValue*> used;
        for (const SyncValue* v : p->values) {
            if (v) used.insert(v);
        }
        CHECK(used == owned);
        rows += static_cast<std::int64_t>(p->values.size());
    }
    CHECK(f.patterns[0]->values.size() == static_cast<std::size_t>(t.rowsPerBeat));

    std::int64_t channelRows = 0;
    for (std::size_t i = 0; i < t.channels.size(); ++i) {
        const ChannelLayout& c = t.channels[i];
        CHECK(c.rowStarts.size() == c.placements.size());
        CHECK(!f.channels[i].repeat || (!c.placements.empty() && !c.placements[0]->values.empty()));
        std::int64_t acc = 0;
        for (std::size_t k = 0; k < c.placements.size(); ++k) {
            CHECK(patterns.count(c.placements[k]));
            CHECK(c.rowStarts[k] == acc);
            acc += static_cast<std::int64_t>(c.placements[k]->values.size());
        }
        CHECK(acc >= t.totalRows);
        channelRows += t.totalRows;
    }
    CHECK(channelRows <= maxChannelRows);

    if (static_cast<std::int64_t>(t.totalRows) * static_cast<std::int64_t>(t.channels.size() + 1) <= 20000) {
        CHECK(slowRowBits(t) == t.rowHasValue);
    }
}

std::int32_t rowAt(const Sync& s, double seconds) {
    return syncRowAt(static_cast<float>(seconds), s.file.bpm, s.timeline.rowsPerBeat);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sync s;
    SyncWarnings warnings;
    parseSync(reinterpret_cast<const char*>(data), size, '\t', songSeconds, s.file, s.timeline, &warnings);
    for (const SyncWarning& w : warnings) CHECK(!w.message.empty() && w.line >= 0);
    checkTimeline(s.file, s.timeline);

    // Play it: the start, the start-up seek, a few frames, a jump back.
    rewindSyncPlayback(s.playback, s.timeline, s.file.channelCount);
    CHECK(s.playback.currentValues.size() == s.file.channels.size());
    rearmSyncPlayback(s.playback, s.timeline, rowAt(s, 0.0));
    for (double t : {3.0, 3.01, 3.2, 10.0, 10.0, 60.0, 60.0, 1.0, 1.0}) {
        if (t == 1.0) rearmSyncPlayback(s.playback, s.timeline, rowAt(s, 60.0));
        std::vector<const SyncValue*> values = advanceSyncTo(s.playback, s.timeline, rowAt(s, t));
        CHECK(values.size() == s.file.channels.size());
    }
    CHECK(s.playback.pendingRows.size() == s.timeline.rowHasValue.size());
    return 0;
}
