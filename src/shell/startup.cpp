#include "shell/startup.h"

#include "common/datafolder.h"
#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "scenes/resources.h"
#include "shell/frametimer.h"
#include "sync/reader.h"
#include "textures/textures.h"

#include <chrono>
#include <cstdlib>
#include <string>

int startRow = 0;
StartupTimes startupTimes;

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool chooseDataFolder(const std::string& given, std::string& failure) {
    const DataSearch search = findDataFolder(given, std::getenv("TARNWICK_DATA"), platform::executableFolder());
    if (!search.found) {
        failure = dataSearchFailure(search);
        return false;
    }
    setDataFolder(search.folder);
    return true;
}

bool demoStartup() {
    auto start = std::chrono::steady_clock::now();
    loadTexture(dataFile(bordPath).c_str(), bordTexture);
    loadTexture(dataFile(endPath).c_str(), endTexture);
    loadTexture(dataFile(bakPath).c_str(), bakTexture);
    loadSceneResources();
    startupTimes.texturesMs = msSince(start);

    start = std::chrono::steady_clock::now();
    int music = initMusic();
    startupTimes.musicMs = msSince(start);
    if (music != 0) return true;
    start = std::chrono::steady_clock::now();
    loadSync(dataFile(syncPath).c_str(), '\t');
    startupTimes.syncMs = msSince(start);
    audio::setVolume(musicSync.stream, 1.0f);
    startPlayback();
    // (The system timer resolution needs no raising here.)

    const float beat = static_cast<float>(60.0 / static_cast<double>(musicSync.file.bpm));
    const float rows = static_cast<float>(startRow * 0.25);
    const float target = static_cast<float>(static_cast<double>(beat) * static_cast<double>(rows) +
                                            static_cast<double>(musicSync.file.offset));
    // A start row the music never reaches would end the run before its
    // first frame, without a word.
    const std::int32_t endRow = musicRowAt(songLengthSeconds(), musicSync.file.bpm, musicSync.file.offset);
    if (startRow > 0 && endRow <= startRow) {
        loadMessages.push_back(dataFile(musicPath) + ": the music ends at row " + std::to_string(endRow) +
                               ", so the start row " + std::to_string(startRow) + " is never played");
        loadFailed = true;
        return true;
    }
    seekToSeconds(target);
    rebaseFrameTimer(musicSeconds());
    return false;
}
