#pragma once
// The sync file as plain data: typed values, patterns of rows, channels, and
// the file as a whole. Nothing here knows about audio; the song length that
// the timeline needs is passed in as a number.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/warnings.h"

using SyncWarning = Warning;
using SyncWarnings = WarningList;

// What a pattern's cells hold. `Other` is a type word the demo does not know:
// such a pattern keeps only its empty cells.
enum class ValueType { Boolean, Integer, Float, String, Other };

// The word the file uses for a type ("BOOLEAN", ...); for Other, the text
// as the file wrote it is kept with the pattern.
const char* valueTypeName(ValueType type);
ValueType valueTypeFromName(const std::string& word);

// One cell value. Which alternative it holds follows the pattern's type:
// Boolean -> bool, Integer -> int32_t, Float -> float, String -> std::string.
struct SyncValue {
    std::variant<bool, std::int32_t, float, std::string> data;
};

struct Pattern {
    std::string name;
    float resolution = 1.0f;          // rows per beat the rows are written at
    ValueType type = ValueType::Boolean;
    std::string typeText = "BOOLEAN"; // the type as the file wrote it
    // One entry per row; null is an empty cell. Entries point into `owned`,
    // and several rows may point at the same value after re-gridding; each
    // value is released once, with the pattern.
    std::vector<const SyncValue*> values;
    std::vector<std::unique_ptr<SyncValue>> owned;
    int line = 0;                     // first line of the pattern in the file (0: built in)
};

// A channel as the file names it: the patterns it plays, in order. The
// timeline lays it out on the song (see SyncTimeline).
struct Channel {
    std::string name;
    bool repeat = false;
    std::vector<const Pattern*> placements;  // not owned; may name one pattern many times
    int line = 0;                            // first line of the channel in the file
};

// What a sync file says.
struct SyncFile {
    std::string headerText;
    float bpm = 120.0f;
    float offset = 0.0f;         // seconds into the music at which music row 0 begins
    std::int32_t channelCount = 0;
    // The built-in "emptypattern" first, then the file's patterns in file order.
    std::vector<std::unique_ptr<Pattern>> patterns;
    std::vector<Channel> channels;
};

inline constexpr const char* emptyPatternName = "emptypattern";
