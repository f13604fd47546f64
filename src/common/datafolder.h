#pragma once
// Where the demo's data set lies. Every data file is named by its place in a
// checkout ("data/Grafik/bord.png"); dataFile maps that name into the data
// folder in use, so that an installed demo finds its data from any folder.
#include <string>
#include <vector>

// The file that marks a folder as a data folder.
inline constexpr const char* dataMarker = "musik/musik.mp3";

// The folder in use: "data" (in the current folder) until set.
void setDataFolder(const std::string& folder);
const std::string& dataFolder();

// "data/X" -> "<data folder>/X". Any other path comes back unchanged.
std::string dataFile(const std::string& path);

struct DataSearch {
    bool found = false;
    std::string folder;              // the folder found
    std::vector<std::string> tried;  // every folder looked at, in order
    bool givenFolder = false;        // whether --data named the folder
    bool environmentSet = false;     // whether $TARNWICK_DATA was set (and so tried)
    std::string problem;             // "FOLDER: permission denied" for one that could not be looked into
};

// Finds the data folder: the first that holds the marker file among
//   `given` (--data; a folder holding data/ stands for its data/),
//   or else, in this order: `environment` ($TARNWICK_DATA, skipped when null
//   or empty), "data", <executableFolder>/../share/tarnwick/data,
//   <executableFolder>/data (both skipped when the folder is unknown, "").
// Only the filesystem is read; nothing is changed.
DataSearch findDataFolder(const std::string& given, const char* environment, const std::string& executableFolder);

// One line for a search that found nothing: a folder that could not be
// looked into (named, with the reason), then every place looked at.
std::string dataSearchFailure(const DataSearch& search);
