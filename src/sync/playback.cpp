// Sync playback: walks the channels along with the music position.
#include "sync/playback.h"

#include "common/saturate.h"

float syncRowDuration(float bpm, std::int32_t rowsPerBeat) {
    float beat = static_cast<float>(60.0 / static_cast<double>(bpm));
    return static_cast<float>(static_cast<double>(beat) / static_cast<double>(rowsPerBeat));
}

std::int32_t syncRowAt(float seconds, float bpm, std::int32_t rowsPerBeat) {
    double row = static_cast<double>(seconds) / static_cast<double>(syncRowDuration(bpm, rowsPerBeat));
    return std::isfinite(row) ? saturatingInt32(row) : 0;
}

void rewindSyncPlayback(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t channelCount) {
    playback.pendingRows = timeline.rowHasValue;
    playback.syncRow = 0;
    playback.placementIndex.assign(timeline.channels.size(), 0);
    // Values already reached stay current; a slot per declared channel.
    playback.currentValues.resize(static_cast<std::size_t>(channelCount > 0 ? channelCount : 0), nullptr);
}

namespace {

// The index of the last placement that starts at or before `row`.
std::int32_t placementAt(const ChannelLayout& lane, std::int32_t row) {
    std::int32_t k = static_cast<std::int32_t>(lane.rowStarts.size()) - 1;
    while (k > 0 && lane.rowStarts[k] > row) --k;
    return k < 0 ? 0 : k;
}

bool isPending(const SyncPlayback& playback, std::int32_t row) {
    return row >= 0 && row < static_cast<std::int32_t>(playback.pendingRows.size()) && playback.pendingRows[row];
}

}  // namespace

void rearmSyncPlayback(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t currentRow) {
    std::int32_t size = static_cast<std::int32_t>(playback.pendingRows.size());
    for (std::int32_t i = currentRow < 0 ? 0 : currentRow; i < timeline.totalRows && i < size; ++i) {
        playback.pendingRows[i] = i < static_cast<std::int32_t>(timeline.rowHasValue.size()) && timeline.rowHasValue[i];
    }
    // Re-indexed from the row of the last advance: the next advance starts there.
    playback.placementIndex.resize(timeline.channels.size(), 0);
    for (std::size_t c = 0; c < timeline.channels.size(); ++c) {
        playback.placementIndex[c] = placementAt(timeline.channels[c], playback.syncRow);
    }
}

std::vector<const SyncValue*> advanceSyncTo(SyncPlayback& playback, const SyncTimeline& timeline, std::int32_t row) {
    std::int32_t start = playback.syncRow;
    playback.syncRow = row;
    std::vector<const SyncValue*> result(timeline.channels.size(), nullptr);
    playback.placementIndex.resize(timeline.channels.size(), 0);

    // Starts at the row of the previous advance and stops at the first row
    // that is not pending: a newly reached row is normally taken up one frame
    // later, and rows skipped by a jump stay pending.
    for (std::int32_t r = start; r < timeline.totalRows && isPending(playback, r) && r <= playback.syncRow; ++r) {
        playback.pendingRows[r] = false;
        for (std::size_t i = 0; i < timeline.channels.size(); ++i) {
            const ChannelLayout& lane = timeline.channels[i];
            std::int32_t count = static_cast<std::int32_t>(lane.placements.size());
            if (count == 0 || static_cast<std::int32_t>(lane.rowStarts.size()) != count) continue;
            std::int32_t& k = playback.placementIndex[i];
            if (k < 0 || k >= count) k = 0;
            while (k < count - 1 && lane.rowStarts[k + 1] <= r) ++k;
            while (k > 0 && lane.rowStarts[k] > r) --k;
            const Pattern* pattern = lane.placements[k];
            std::int64_t index = static_cast<std::int64_t>(r) - lane.rowStarts[k];
            if (!pattern || index < 0 || index >= static_cast<std::int64_t>(pattern->values.size())) continue;
            const SyncValue* v = pattern->values[index];
            if (v) {
                result[i] = v;
                if (i < playback.currentValues.size()) playback.currentValues[i] = v;
            }
        }
    }
    return result;
}
