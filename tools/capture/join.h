#pragma once
// --join: video segments made with --segment joined into one video without
// encoding the picture again (ffmpeg's concat demuxer, the streams copied),
// with the music of the whole range encoded once, so there is no click at a
// join. Every segment is checked first (its comment tag names its place in
// the whole, ffprobe counts its frames): one that is missing, given twice,
// cut short, or from other settings or another range is refused.
#include <string>
#include <vector>

struct JoinJob {
    std::vector<std::string> segments;  // as given, in any order
    std::string output;                 // the joined video
    std::string music;                  // the MP3 of the data folder
};

// Joins; 0 on success with one line on stdout saying what was joined
// (segments, frames, seconds), else 1 with the reason on stderr under the
// tool's name. The output is written as --video writes it: under a temporary
// name beside it, renamed onto it when whole, and locked against a second run.
int joinSegments(const JoinJob& job);
