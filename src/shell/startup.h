#pragma once
// Loading everything and starting the music at the start row.

// The music row playback starts at: 0 unless the command line asks for
// another, so that a viewer can jump to a scene.
extern int startRow;

// How long the start-up's parts took, in milliseconds.
struct StartupTimes {
    double texturesMs = 0;  // the sixteen textures and the tile rates
    double musicMs = 0;     // opening the music stream
    double syncMs = 0;      // reading and laying out the sync file
};
extern StartupTimes startupTimes;

// True when the start-up failed (the music could not be opened). Images that
// fail to load show in loadFailed instead.
bool demoStartup();
