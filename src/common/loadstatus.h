#pragma once
// How loading went. The loaders print nothing: they set loadFailed and hand
// up what went wrong, and the program that called them prints it under its
// own name (tarnwick, tarnwick-capture, tarnwick-sync).
#include <cstdio>
#include <string>
#include <vector>

// Set when the music or an image fails to load; the entry routine examines it
// once the start-up has run, and ends the run before the first frame.
extern bool loadFailed;

// What the loaders and the audio set-up found wrong, oldest first, one line
// each without a program name ("PATH: reason", "PATH:LINE: warning").
extern std::vector<std::string> loadMessages;
// Prints every message as "PROGRAM: message" and empties the list.
void printLoadMessages(std::FILE* out, const char* program);
