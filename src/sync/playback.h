#pragma once
// Sync playback: walks the laid-out channels along with the music. The caller
// turns the music position into a sync row (syncRowAt) and hands it in.
#include <cstdint>
#include <vector>

#include "sync/timeline.h"

// Where playback stands.
struct SyncPlayback {
    std::vector<bool> pendingRows;                 // rows with values not yet processed
    std::vector<const SyncValue*> currentValues;   // per channel, the last value reached
    std::int32_t syncRow = 0;                      // sync row of the last advance
    std::vector<std::int32_t> placementIndex;      // per channel, the placement of the last processed row
};

// The length of a sync row in seconds: 60 / bpm and then / rowsPerBeat, each
// rounded to float.
float syncRowDuration(float bpm, std::int32_t rowsPerBeat);
// The sync row of a music position: seconds / row length, truncated toward
// zero (saturating; 0 where it is not a number).
std::int32_t syncRowAt(float seconds, float bpm, std::int32_t rowsPerBeat);

// Fresh playback of a timeline: every row with a value pending, row 0, each
// channel at its first placement, `channelCount` empty value slots.
void rewindSyncPlayback(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t channelCount);
// Before a jump away from sync row `currentRow`: re-arms the rows from there
// on and re-indexes every channel at the row of the last advance.
void rearmSyncPlayback(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t currentRow);
// Brings the channels up to sync row `row`: returns, per channel, the value
// that this call made current (null where none).
std::vector<const SyncValue*> advanceSyncTo(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t row);
