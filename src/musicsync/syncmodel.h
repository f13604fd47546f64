#pragma once
// The sync file's data model: typed values, patterns of rows, channels.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

// One cell value. Which alternative it holds follows the pattern's type:
// BOOLEAN -> bool, INTEGER -> int32_t, FLOAT -> float, STRING -> std::string.
struct SyncValue {
    std::variant<bool, std::int32_t, float, std::string> data;
};

struct Pattern {
    std::string name;
    float resolution = 1.0f;          // rows per beat the rows are written at
    std::string type = "BOOLEAN";
    // One entry per row; null is an empty cell. Entries point into `owned`,
    // and several rows may point at the same value after re-gridding; each
    // value is released once, with the pattern.
    std::vector<const SyncValue*> values;
    std::vector<std::unique_ptr<SyncValue>> owned;
    int line = 0;                     // first line of the pattern in the file (0: built in)
};

struct Channel {
    std::string name;
    bool repeat = false;
    std::int32_t placementIndex = 0;
    std::vector<std::int32_t> rowStarts;
    std::vector<const Pattern*> placements;  // not owned
    int line = 0;                     // first line of the channel in the file
};
