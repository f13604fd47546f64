#pragma once
// The music as event tables, in music rows (quarter beats at 120 bpm, 0.125 s
// each). The synthesiser plays these tables and the sync file is written
// from them, so the sync channels describe exactly what is heard.
#include <string>
#include <utility>
#include <vector>

constexpr double kBpm = 120.0;
constexpr double kSecondsPerRow = 60.0 / kBpm / 4.0;
constexpr int kRowsPerBeat = 4;

enum class Voice {
    Kick,
    Snare,
    Clap,
    HatClosed,
    HatOpen,
    Crash,
    Bass,
    Pad,     // sustained chord note
    Stab,    // short chord note
    Pluck,   // arpeggio and the sixteenth figure
    Lead,    // sung syllables
    Bell,
    Boom,    // impacts and the drop
    Clank,   // metallic hit for the cubes
    Burst,   // the finale's burst
    Riser,   // rising noise and tone, `length` rows long
    Swell,   // reversed-cymbal swell, `length` rows long, ends with the row after it
    Drone,
    Thump,   // soft low hit
};

struct NoteEvent {
    double row = 0;      // start
    Voice voice = Voice::Kick;
    int pitch = 0;       // MIDI note number, where the voice has a pitch
    double length = 1;   // rows
    float velocity = 1;  // 0 to 1
    int syllable = -1;   // lead only: index into syllableNames()
};

struct Section {
    int row;
    std::string name;
};

struct Score {
    int totalRows = 0;                 // length of the music in rows
    std::vector<NoteEvent> notes;      // in no particular order
    std::vector<Section> sections;     // ascending rows
    std::vector<int> accents;          // rows with an accent the picture hits
    std::vector<float> filterPerBeat;  // bass filter opening, 0 to 1, one per beat
    std::vector<std::pair<int, int>> chords;  // (row, root MIDI note) where the harmony changes
    std::vector<std::pair<double, float>> masterGain;  // (row, gain) breakpoints, linear in between
};

const std::vector<std::string>& syllableNames();  // "DO", "DE", "DU", "DI"

Score composeScore();
