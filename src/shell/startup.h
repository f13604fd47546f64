#pragma once
#include <string>

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

// Finds the data folder (see findDataFolder: `given` is --data, or empty) and
// makes it the one every data file is read from. False, with the line to
// print, when no folder holds the data.
bool chooseDataFolder(const std::string& given, std::string& failure);

// True when the start-up failed (the music could not be opened). Images that
// fail to load show in loadFailed instead.
bool demoStartup();
