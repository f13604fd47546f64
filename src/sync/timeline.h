#pragma once
// The sync timeline: every pattern on one grid of rows per beat, every
// channel laid out from the start of the song to its end, and a bitset of the
// rows on which anything happens.
//
// A sync row is 1 / rowsPerBeat of a beat, counted from the very start of the
// music (the offset is not subtracted).
#include <cstdint>
#include <vector>

#include "sync/syncmodel.h"

// A channel laid out on the song: its placements (the file's, then as many
// more as reach the song's end) and the first sync row of each.
struct ChannelLayout {
    std::vector<std::int32_t> rowStarts;     // same length as placements
    std::vector<const Pattern*> placements;  // into SyncFile::patterns, not owned
};

struct SyncTimeline {
    std::int32_t rowsPerBeat = 1;
    std::int32_t totalRows = 0;              // the song's length in sync rows
    std::vector<bool> rowHasValue;           // totalRows bits
    std::vector<ChannelLayout> channels;     // one per SyncFile channel, same order
};

// Where the file's own limits end and ours begin: beyond these a file is
// treated as faulty (with a warning) rather than exhausting memory. The fuzz
// build runs the same checks at smaller sizes, so that each input stays fast.
#ifndef TARNWICK_SYNC_SMALL_LIMITS
inline constexpr std::int32_t maxRowsPerBeat = 65536;
// Rows held by all patterns together after re-gridding.
inline constexpr std::int64_t maxPatternRows = std::int64_t(1) << 24;
// Rows covered by all channels together (channels x song length).
inline constexpr std::int64_t maxChannelRows = std::int64_t(1) << 24;
#else
inline constexpr std::int32_t maxRowsPerBeat = 256;
inline constexpr std::int64_t maxPatternRows = std::int64_t(1) << 16;
inline constexpr std::int64_t maxChannelRows = std::int64_t(1) << 16;
#endif

// Re-grids a pattern in place to `resolution` rows per beat.
void resamplePattern(Pattern& p, float resolution);

// Lays the file out on a song of `lengthSeconds`: re-grids the file's patterns
// in place to the common resolution and fills `timeline`. Patterns or channel
// repeats that cannot take part are dropped with a warning; it never divides
// by zero and never loops without end.
void prepareSyncTimeline(SyncFile& file, float lengthSeconds, SyncTimeline& timeline,
                         SyncWarnings* warnings = nullptr);
