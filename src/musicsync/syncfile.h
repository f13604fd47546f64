#pragma once
// Reading the sync file and preparing its timeline.
//
// The reader takes the file's bytes as they are (up to the first NUL), cuts
// them into CR LF lines and separator-delimited fields, reads the header
// (tempo and offset), the patterns and the channels, and then lays every
// channel out on one common grid of sync rows that covers the whole song.
//
// A file inside the format's limits loads without any warning. Outside them
// the reader never reads past what exists, never divides by zero and never
// loops without end; it keeps the defaults or skips the faulty part, and
// records one warning per problem with the line it was found on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "musicsync/musicsync.h"

struct SyncWarning {
    int line = 0;  // line of the file, counted from 1; 0 for the file as a whole
    std::string message;
};

// Where the file's own limits end and ours begin: beyond these a file is
// treated as faulty (with a warning) rather than exhausting memory. The fuzz
// build runs the same checks at smaller sizes, so that each input stays fast.
#ifndef TARNWICK_SYNC_SMALL_LIMITS
inline constexpr std::int32_t maxRowsPerBeat = 65536;
// Rows held by all patterns together after re-gridding.
inline constexpr std::int64_t maxPatternRows = std::int64_t(1) << 24;
// Rows covered by all channels together (channels x song length).
inline constexpr std::int64_t maxChannelRows = std::int64_t(1) << 24;
#else
inline constexpr std::int32_t maxRowsPerBeat = 256;
inline constexpr std::int64_t maxPatternRows = std::int64_t(1) << 16;
inline constexpr std::int64_t maxChannelRows = std::int64_t(1) << 16;
#endif
// Larger sync files are not read.
inline constexpr std::int64_t maxSyncFileBytes = std::int64_t(64) << 20;

inline constexpr const char* syncPath = "data/sync/sync.csv";

// Reads `path`, parses it and prepares the timeline. A file that cannot be
// read is parsed as empty text, which leaves the defaults. When `warnings` is
// null each warning is written to stderr as "tarnwick: PATH:LINE: message";
// otherwise they are appended there for the caller to report.
void loadSync(const std::string& path, char separator, MusicSync& ms = musicSync,
              std::vector<SyncWarning>* warnings = nullptr);

// The whole file into `buffer`; true when all of it was read. `why`, when
// given, receives the reason for a failure.
bool readTextFile(const std::string& path, std::vector<char>& buffer, std::string* why = nullptr);

// Builds the patterns and channels from the bytes and prepares the timeline;
// asks ms.stream for the song length (no stream: a song of 0 s).
void parseSync(const char* bytes, std::size_t length, char separator, MusicSync& ms = musicSync,
               std::vector<SyncWarning>* warnings = nullptr);

// Re-grids a pattern in place to `resolution` rows per beat.
void resamplePattern(Pattern& p, float resolution);

// The steps of the reader, exposed for tests and the checker.
// Lines of the text (already cut at the first NUL), by the CR LF scan.
std::vector<std::string> splitSyncLines(const std::string& text);
// Fields of one line; an empty line has none.
std::vector<std::string> splitSyncFields(const std::string& line, char separator);
// Numbers as atof and atoi read them, the double rounded to float.
float readSyncFloat(const std::string& text);
std::int32_t readSyncInt(const std::string& text);

// The timeline preparation that ends parseSync: common resolution, song
// length, re-gridding, placements and filling, the row bitset and the output
// slots.
void prepareSyncTimeline(MusicSync& ms, std::vector<SyncWarning>* warnings = nullptr);
