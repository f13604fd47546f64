#pragma once
// Opening a data file (music, sync file, picture) for reading. A FIFO or a
// device node in a data file's place would block open() for ever, or hand
// over bytes that never end; such a file is refused instead, by its kind.
#include <cstdio>
#include <string>

// An open descriptor of the regular file at `path` (close-on-exec, blocking
// reads), or -1 with the reason in words a person can act on: "no such
// file", "permission denied", "is a directory", "not a regular file", or the
// system's own text. The open itself never waits for a writer or a device.
int openDataFile(const std::string& path, std::string& why);

// The same as a stdio stream for reading; null with the reason.
std::FILE* openDataStream(const std::string& path, std::string& why);

// The reason for an errno from opening a file, in the same words.
std::string openFailureReason(int error);
