// libFuzzer target for the sync reader, its timeline and the playback that
// walks it: any bytes must load without a crash, a hang or a leak, and leave
// a timeline that keeps its invariants.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "musicsync/musicsync.h"
#include "musicsync/syncfile.h"

namespace {

constexpr std::uint32_t rate = 1000;
constexpr std::uint64_t songFrames = 60 * rate;  // a song of 60 s

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
std::vector<bool> slowRowBits(const MusicSync& ms) {
    std::vector<bool> bits(static_cast<std::size_t>(ms.totalRows), false);
    for (std::int32_t r = 0; r < ms.totalRows; ++r) {
        for (const Channel& c : ms.channels) {
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

void checkTimeline(const MusicSync& ms) {
    CHECK(ms.rowsPerBeat >= 1 && ms.rowsPerBeat <= maxRowsPerBeat);
    CHECK(ms.totalRows >= 0);
    CHECK(ms.totalRows % ms.rowsPerBeat == 0);
    CHECK(ms.rowHasValue.size() == static_cast<std::size_t>(ms.totalRows));
    CHECK(ms.channelCount == static_cast<std::int32_t>(ms.channels.size()));
    CHECK(ms.currentValues.size() == ms.channels.size());
    CHECK(!ms.patterns.empty() && ms.patterns[0]->name == "emptypattern");

    std::set<const Pattern*> patterns;
    std::int64_t rows = 0;
    for (const auto& p : ms.patterns) {
        patterns.insert(p.get());
        CHECK(roundHalfUp(p->resolution) == ms.rowsPerBeat);
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
    CHECK(ms.patterns[0]->values.size() == static_cast<std::size_t>(ms.rowsPerBeat));

    std::int64_t channelRows = 0;
    for (const Channel& c : ms.channels) {
        CHECK(c.rowStarts.size() == c.placements.size());
        CHECK(!c.repeat || (!c.placements.empty() && !c.placements[0]->values.empty()));
        std::int64_t acc = 0;
        for (std::size_t k = 0; k < c.placements.size(); ++k) {
            CHECK(patterns.count(c.placements[k]));
            CHECK(c.rowStarts[k] == acc);
            acc += static_cast<std::int64_t>(c.placements[k]->values.size());
        }
        CHECK(acc >= ms.totalRows);
        channelRows += ms.totalRows;
    }
    CHECK(channelRows <= maxChannelRows);

    if (static_cast<std::int64_t>(ms.totalRows) * static_cast<std::int64_t>(ms.channels.size() + 1) <= 20000) {
        CHECK(slowRowBits(ms) == ms.rowHasValue);
    }
}

void setSeconds(const MusicSync& ms, double seconds) {
    audio::setPosition(ms.stream, audio::secondsToBytes(ms.stream, seconds));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    audio::selectClock(audio::Clock::Manual);
    audio::initOutput(-1, 48000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MusicSync ms;
    ms.stream = audio::createBlankStream(rate, 1, songFrames);
    ms.streamOpen = true;
    std::vector<SyncWarning> warnings;
    parseSync(reinterpret_cast<const char*>(data), size, '\t', ms, &warnings);
    for (const SyncWarning& w : warnings) CHECK(!w.message.empty() && w.line >= 0);
    checkTimeline(ms);

    // Play it: the start, the start-up seek, a few frames, a jump back.
    startPlayback(ms);
    setSeconds(ms, 0.0);
    seekToSeconds(3.0f, ms);
    for (double t : {3.0, 3.01, 3.2, 10.0, 10.0, 60.0, 60.0, 1.0, 1.0}) {
        if (t == 1.0) seekToSeconds(1.0f, ms);
        setSeconds(ms, t);
        std::vector<const SyncValue*> values = advanceSync(ms);
        CHECK(values.size() == ms.channels.size());
    }
    CHECK(ms.pendingRows.size() == ms.rowHasValue.size());
    return 0;
}
