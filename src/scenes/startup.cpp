#include "scenes/startup.h"

#include <cmath>

#include "musicsync/musicsync.h"
#include "musicsync/syncfile.h"
#include "platform/audio.h"
#include "textures/textures.h"

void rebaseFrameTimer(float seconds, FrameTimer& timer) {
    double ticks = static_cast<double>(seconds) * 1000.0 * static_cast<double>(timer.ticksPerMs);
    if (!std::isfinite(ticks) || std::fabs(ticks) > 9.0e18) ticks = 0.0;
    timer.accumulatedTicks = static_cast<std::int64_t>(ticks);
    timer.elapsedMs = static_cast<double>(timer.accumulatedTicks) / static_cast<double>(timer.ticksPerMs);
}

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

    const float beat = static_cast<float>(60.0 / static_cast<double>(musicSync.bpm));
    const float rows = static_cast<float>(startRow * 0.25);
    const float target = static_cast<float>(static_cast<double>(beat) * static_cast<double>(rows) +
                                            static_cast<double>(musicSync.offset));
    seekToSeconds(target);
    rebaseFrameTimer(musicSeconds());
    return false;
}
