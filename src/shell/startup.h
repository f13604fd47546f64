#pragma once
// Loading everything and starting the music at the start row.

// The music row playback starts at.
inline constexpr int startRow = 0;

// True when the start-up failed (the music could not be opened). Images that
// fail to load show in loadFailed instead.
bool demoStartup();
