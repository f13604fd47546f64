#pragma once
// Reading the sync file.
//
// The reader takes the file's bytes as they are (up to the first NUL), cuts
// them into CR LF lines and separator-delimited fields, reads the header
// (tempo and offset), the patterns and the channels, and then lays every
// channel out on one common grid of sync rows that covers the whole song.
//
// A file inside the format's limits loads without any warning. Outside them
// the reader never reads past what exists, never divides by zero and never
// loops without end; it keeps the defaults or skips the faulty part, and
// records one warning per problem with the line it was found on (the list
// keeps the first few of each kind and counts the rest). Its memory stays
// within a few times the file's size: lines are kept as places in the text,
// and fields are cut from a line only when it is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sync/syncmodel.h"
#include "sync/timeline.h"

// Larger sync files are not read.
inline constexpr std::int64_t maxSyncFileBytes = std::int64_t(64) << 20;

inline constexpr const char* syncPath = "data/sync/sync.csv";

// Reads `path`, parses it and lays it out on a song of `lengthSeconds`. A
// file that cannot be read is parsed as empty text, which leaves the
// defaults, with one warning naming the reason.
void loadSync(const std::string& path, char separator, float lengthSeconds, SyncFile& file, SyncTimeline& timeline,
              SyncWarnings* warnings);

// The whole file into `buffer`; true when all of it was read. `why`, when
// given, receives the reason for a failure.
bool readTextFile(const std::string& path, std::vector<char>& buffer, std::string* why = nullptr);

// Builds the patterns and channels from the bytes and lays them out on a
// song of `lengthSeconds`. Bytes past maxSyncFileBytes are not read.
void parseSync(const char* bytes, std::size_t length, char separator, float lengthSeconds, SyncFile& file,
               SyncTimeline& timeline, SyncWarnings* warnings = nullptr);

// The steps of the reader, exposed for tests and the checker.
// Numbers as atof and atoi read them, the double rounded to float.
float readSyncFloat(const std::string& text);
std::int32_t readSyncInt(const std::string& text);
