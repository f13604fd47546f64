#pragma once
// MusicSync: the music stream, and the sync file that gives its tempo and
// channels. The music position is the clock of everything on screen.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "sync/playback.h"
#include "sync/syncmodel.h"
#include "sync/timeline.h"

struct MusicSync {
    bool streamOpen = false;
    audio::StreamHandle stream = 0;
    SyncFile file;          // what the sync file says, tempo and offset included
    SyncTimeline timeline;  // its channels laid out on the song
    SyncPlayback playback;  // where the channels stand

    MusicSync() = default;
    MusicSync(const MusicSync&) = delete;
    MusicSync& operator=(const MusicSync&) = delete;
    ~MusicSync();  // stops and frees the stream if one was ever opened
};

// The one instance the demo runs on. Every operation takes the object it acts
// on, defaulting to this one, so tests can work on fresh instances.
extern MusicSync musicSync;

inline constexpr const char* musicPath = "data/musik/musik.mp3";

// 0 on success, 1 when the music could not be opened (loadFailed is set and
// one line naming the file and the reason goes to stderr).
int initMusic(MusicSync& ms = musicSync);
// Stops and frees the stream and forgets the sync data: `ms` as it was before
// its first initMusic (a new run starts from here).
void resetMusic(MusicSync& ms = musicSync);
// False, with the reason, when the file gives no stream (ms.stream is then 0).
bool openStream(const std::string& path, std::string& why, MusicSync& ms = musicSync);
// Rewinds the sync playback, then plays the stream from its first sample.
void startPlayback(MusicSync& ms = musicSync);
// Re-arms the sync playback at the position before the jump, then jumps.
void seekToSeconds(float target, MusicSync& ms = musicSync);
float musicSeconds(const MusicSync& ms = musicSync);
// The music row now: musicRowAt the stream's position, asked afresh.
std::int32_t musicRow(const MusicSync& ms = musicSync);
// The music row of a position: (seconds - offset) x bpm / 60 x 4 in double
// from the float operands, rounded to float and truncated toward zero
// (saturating).
std::int32_t musicRowAt(float seconds, float bpm, float offset);
// The stream's length in seconds, rounded to float; 0 without a stream.
float songLengthSeconds(const MusicSync& ms = musicSync);

// Reads the sync file into `ms`, laid out on the length of its stream. When
// `warnings` is null the warnings go to loadMessages as "PATH:LINE: ...", at
// most the first few of each kind and a count of the rest.
void loadSync(const std::string& path, char separator, MusicSync& ms = musicSync,
              SyncWarnings* warnings = nullptr);
// Brings the sync channels up to the music position; the values this call
// made current, per channel.
std::vector<const SyncValue*> advanceSync(MusicSync& ms = musicSync);
