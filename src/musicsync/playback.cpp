// Sync playback: walks the channels along with the music position.
#include <cmath>
#include <limits>

#include "musicsync/musicsync.h"

float syncRowDuration(const MusicSync& ms) {
    float beat = static_cast<float>(60.0 / static_cast<double>(ms.bpm));
    return static_cast<float>(static_cast<double>(beat) / static_cast<double>(ms.rowsPerBeat));
}

std::int32_t syncRowAt(const MusicSync& ms, float seconds) {
    double row = static_cast<double>(seconds) / static_cast<double>(syncRowDuration(ms));
    if (!std::isfinite(row)) return 0;
    if (row >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (row <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(row);
}

void rewindSyncPlayback(MusicSync& ms) {
    ms.pendingRows = ms.rowHasValue;
    ms.syncRow = 0;
    for (Channel& channel : ms.channels) channel.placementIndex = 0;
}

// The index of the last placement that starts at or before `row`.
static std::int32_t placementAt(const Channel& channel, std::int32_t row) {
    std::int32_t k = static_cast<std::int32_t>(channel.rowStarts.size()) - 1;
    while (k > 0 && channel.rowStarts[k] > row) --k;
    return k < 0 ? 0 : k;
}

void rearmSyncPlayback(MusicSync& ms) {
    std::int32_t cur = syncRowAt(ms, musicSeconds(ms));
    std::int32_t size = static_cast<std::int32_t>(ms.pendingRows.size());
    for (std::int32_t i = cur < 0 ? 0 : cur; i < ms.totalRows && i < size; ++i) {
        ms.pendingRows[i] = i < static_cast<std::int32_t>(ms.rowHasValue.size()) && ms.rowHasValue[i];
    }
    // Re-indexed from the row of the last advance: the next advance starts there.
    for (Channel& channel : ms.channels) channel.placementIndex = placementAt(channel, ms.syncRow);
}

static bool isPending(const MusicSync& ms, std::int32_t row) {
    return row >= 0 && row < static_cast<std::int32_t>(ms.pendingRows.size()) && ms.pendingRows[row];
}

std::vector<const SyncValue*> advanceSync(MusicSync& ms) {
    std::int32_t start = ms.syncRow;
    ms.syncRow = syncRowAt(ms, musicSeconds(ms));
    std::vector<const SyncValue*> result(ms.channels.size(), nullptr);

    // Starts at the row of the previous advance and stops at the first row
    // that is not pending: a newly reached row is normally taken up one frame
    // later, and rows skipped by a jump stay pending.
    for (std::int32_t r = start; r < ms.totalRows && isPending(ms, r) && r <= ms.syncRow; ++r) {
        ms.pendingRows[r] = false;
        for (std::size_t i = 0; i < ms.channels.size(); ++i) {
            Channel& channel = ms.channels[i];
            std::int32_t count = static_cast<std::int32_t>(channel.placements.size());
            if (count == 0 || static_cast<std::int32_t>(channel.rowStarts.size()) != count) continue;
            std::int32_t& k = channel.placementIndex;
            if (k < 0 || k >= count) k = 0;
            while (k < count - 1 && channel.rowStarts[k + 1] <= r) ++k;
            while (k > 0 && channel.rowStarts[k] > r) --k;
            const Pattern* pattern = channel.placements[k];
            std::int64_t index = static_cast<std::int64_t>(r) - channel.rowStarts[k];
            if (!pattern || index < 0 || index >= static_cast<std::int64_t>(pattern->values.size())) continue;
            const SyncValue* v = pattern->values[index];
            if (v) {
                result[i] = v;
                if (i < ms.currentValues.size()) ms.currentValues[i] = v;
            }
        }
    }
    return result;
}
