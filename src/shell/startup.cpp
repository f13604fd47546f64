#include "shell/startup.h"

#include "music/musicsync.h"
#include "platform/audio.h"
#include "scenes/resources.h"
#include "shell/frametimer.h"
#include "sync/reader.h"
#include "textures/textures.h"

bool demoStartup() {
    loadTexture(bordPath, bordTexture);
    loadTexture(endPath, endTexture);
    loadTexture(bakPath, bakTexture);
    loadSceneResources();

    if (initMusic() != 0) return true;
    loadSync(syncPath, '\t');
    audio::setVolume(musicSync.stream, 1.0f);
    startPlayback();
    // (The system timer resolution needs no raising here.)

    const float beat = static_cast<float>(60.0 / static_cast<double>(musicSync.file.bpm));
    const float rows = static_cast<float>(startRow * 0.25);
    const float target = static_cast<float>(static_cast<double>(beat) * static_cast<double>(rows) +
                                            static_cast<double>(musicSync.file.offset));
    seekToSeconds(target);
    rebaseFrameTimer(musicSeconds());
    return false;
}
