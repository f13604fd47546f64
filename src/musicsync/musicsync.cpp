#include "musicsync/musicsync.h"

#include <cmath>
#include <cstdio>
#include <limits>

MusicSync musicSync;
bool loadFailed = false;

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
    openStream(musicPath, ms);
    if (ms.stream == 0) {
        std::fprintf(stderr, "tarnwick: %s: %s\n", musicPath, audio::lastError().c_str());
        loadFailed = true;
        return 1;
    }
    return 0;
}

void openStream(const std::string& path, MusicSync& ms) {
    releaseStream(ms);
    ms.stream = audio::createFileStream(path);
    ms.streamOpen = true;
}

void startPlayback(MusicSync& ms) {
    rewindSyncPlayback(ms);
    audio::playChannel(ms.stream, true);
}

void seekToSeconds(float target, MusicSync& ms) {
    rearmSyncPlayback(ms);
    std::uint64_t bytes = audio::secondsToBytes(ms.stream, static_cast<double>(target));
    audio::setPosition(ms.stream, bytes);
}

float musicSeconds(const MusicSync& ms) {
    std::uint64_t bytes = audio::position(ms.stream);
    return static_cast<float>(audio::bytesToSeconds(ms.stream, bytes));
}

// Truncates toward zero like a plain cast, but keeps values a cast could not
// represent (NaN, beyond 32 bits) defined.
static std::int32_t truncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int32_t musicRow(const MusicSync& ms) {
    float s = musicSeconds(ms);
    // Left to right in double from the float operands, then rounded to float.
    double x = (static_cast<double>(s) - static_cast<double>(ms.offset)) * static_cast<double>(ms.bpm) / 60.0 * 4.0;
    return truncateToInt(static_cast<float>(x));
}
