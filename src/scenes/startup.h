#pragma once
// Loading everything and starting the music at the start row.
#include <cstdint>

#include "shell/frametimer.h"

// The music row playback starts at.
inline constexpr int startRow = 0;

// True when the start-up failed (the music could not be opened). Images that
// fail to load show in loadFailed instead.
bool demoStartup();

// Puts the frame timer at the music position `seconds` (as milliseconds),
// without letting the jump enter the next frame delta.
void rebaseFrameTimer(float seconds, FrameTimer& timer = frameTimer);
