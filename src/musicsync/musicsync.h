#pragma once
// MusicSync: the music stream, the tempo and the sync channels. The music
// position is the clock of everything on screen.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "musicsync/syncmodel.h"
#include "platform/audio.h"

struct MusicSync {
    bool streamOpen = false;
    audio::StreamHandle stream = 0;
    std::vector<bool> rowHasValue;
    std::string headerText;
    float bpm = 120.0f;
    std::int32_t rowsPerBeat = 1;
    float offset = 0.0f;
    std::int32_t channelCount = 0;
    std::int32_t totalRows = 0;
    std::vector<std::unique_ptr<Pattern>> patterns;
    std::vector<Channel> channels;
    std::vector<bool> pendingRows;
    std::vector<const SyncValue*> currentValues;
    std::int32_t syncRow = 0;

    MusicSync() = default;
    MusicSync(const MusicSync&) = delete;
    MusicSync& operator=(const MusicSync&) = delete;
    ~MusicSync();  // stops and frees the stream if one was ever opened
};

// The one instance the demo runs on. Every operation takes the object it acts
// on, defaulting to this one, so tests can work on fresh instances.
extern MusicSync musicSync;

// Set when the music or an image fails to load; examined after start-up.
extern bool loadFailed;

inline constexpr const char* musicPath = "data/musik/musik.mp3";

// 0 on success, 1 when the music could not be opened (loadFailed is set).
int initMusic(MusicSync& ms = musicSync);
void openStream(const std::string& path, MusicSync& ms = musicSync);
void startPlayback(MusicSync& ms = musicSync);
void seekToSeconds(float target, MusicSync& ms = musicSync);
float musicSeconds(const MusicSync& ms = musicSync);
std::int32_t musicRow(const MusicSync& ms = musicSync);

// Sync playback: the parts of startPlayback and seekToSeconds that concern the
// channels, and the per-frame advance.
void rewindSyncPlayback(MusicSync& ms);
void rearmSyncPlayback(MusicSync& ms);
std::vector<const SyncValue*> advanceSync(MusicSync& ms = musicSync);
// The sync row of a music position, and the length of a sync row.
float syncRowDuration(const MusicSync& ms);
std::int32_t syncRowAt(const MusicSync& ms, float seconds);
