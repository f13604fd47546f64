#pragma once
// A diagnostic log of the frames shown (off unless asked for): one line per
// frame, "SWAP_NS MUSIC_SECONDS", the monotonic clock (CLOCK_MONOTONIC, in
// nanoseconds) just after the frame was swapped to the screen and the music
// position its picture shows. The sync measurement (tools/avsync) compares
// it with what the sound server played at that time.
#include <string>

// False, with the reason naming the file, when it cannot be written.
bool openFrameLog(const std::string& path, std::string& why);
bool frameLogOpen();
void logFrame(double shownSeconds);
void closeFrameLog();
