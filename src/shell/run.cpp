#include "shell/run.h"

#include "common/loadstatus.h"
#include "music/musicsync.h"
#include "platform/audio.h"
#include "scenes/schedule.h"
#include "shell/frametimer.h"
#include "shell/startup.h"
#include "shell/window.h"

void beginRun() {
    resetScenes();
    resetFrameStatistics();
    resetWindowState();
    loadFailed = false;
    loadMessages.clear();
    resetMusic();
    audio::selectClock(audio::Clock::Device);
    startRow = 0;
    startupTimes = StartupTimes{};
}
