#include "music/musicsync.h"

#include <cstdio>

#include "common/datafolder.h"
#include "common/loadstatus.h"
#include "common/saturate.h"
#include "common/warnings.h"
#include "sync/reader.h"

MusicSync musicSync;

MusicSync::~MusicSync() {
    if (streamOpen) {
        audio::stopChannel(stream);
        audio::freeStream(stream);
        stream = 0;
    }
}

static void releaseStream(MusicSync& ms) {
    if (ms.stream != 0) {
        audio::stopChannel(ms.stream);
        audio::freeStream(ms.stream);
        ms.stream = 0;
    }
}

int initMusic(MusicSync& ms) {
    releaseStream(ms);
    audio::initOutput(-1, 48000);
    const std::string path = dataFile(musicPath);
    std::string why;
    if (!openStream(path, why, ms)) {
        loadMessages.push_back(path + ": " + why);
        loadFailed = true;
        return 1;
    }
    return 0;
}

void resetMusic(MusicSync& ms) {
    releaseStream(ms);
    ms.streamOpen = false;
    ms.playback = SyncPlayback{};  // first: it points into the file's values
    ms.timeline = SyncTimeline{};
    ms.file = SyncFile{};
}

bool openStream(const std::string& path, std::string& why, MusicSync& ms) {
    releaseStream(ms);
    ms.stream = audio::createFileStream(path, why);
    ms.streamOpen = true;
    return ms.stream != 0;
}

static std::int32_t currentSyncRow(const MusicSync& ms) {
    return syncRowAt(musicSeconds(ms), ms.file.bpm, ms.timeline.rowsPerBeat);
}

void startPlayback(MusicSync& ms) {
    rewindSyncPlayback(ms.playback, ms.timeline, ms.file.channelCount);
    audio::playChannel(ms.stream, true);
}

void seekToSeconds(float target, MusicSync& ms) {
    rearmSyncPlayback(ms.playback, ms.timeline, currentSyncRow(ms));
    std::uint64_t bytes = audio::secondsToBytes(ms.stream, static_cast<double>(target));
    audio::setPosition(ms.stream, bytes);
}

float musicSeconds(const MusicSync& ms) {
    std::uint64_t bytes = audio::position(ms.stream);
    return static_cast<float>(audio::bytesToSeconds(ms.stream, bytes));
}

std::int32_t musicRow(const MusicSync& ms) { return musicRowAt(musicSeconds(ms), ms.file.bpm, ms.file.offset); }

std::int32_t musicRowAt(float seconds, float bpm, float offset) {
    // Left to right in double from the float operands, then rounded to float.
    double x = (static_cast<double>(seconds) - static_cast<double>(offset)) * static_cast<double>(bpm) / 60.0 * 4.0;
    return saturatingInt32(static_cast<float>(x));
}

float songLengthSeconds(const MusicSync& ms) {
    return static_cast<float>(audio::bytesToSeconds(ms.stream, audio::length(ms.stream)));
}

void loadSync(const std::string& path, char separator, MusicSync& ms, SyncWarnings* warnings) {
    SyncWarnings found;
    // Always onto an empty model, however often it is loaded.
    ms.file = SyncFile{};
    ms.timeline = SyncTimeline{};
    ms.playback = SyncPlayback{};
    loadSync(path, separator, songLengthSeconds(ms), ms.file, ms.timeline, warnings ? warnings : &found);
    for (const Warning& w : found) {
        loadMessages.push_back(warningPlace(path, w.line) + ": " + w.message);
        if (w.more > 0) loadMessages.push_back(path + ": " + moreWarningsText(w.more));
    }
}

std::vector<const SyncValue*> advanceSync(MusicSync& ms) {
    return advanceSyncTo(ms.playback, ms.timeline, currentSyncRow(ms));
}
