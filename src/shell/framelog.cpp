#include "shell/framelog.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/counter.h"

namespace {
std::FILE* logFile = nullptr;
}

bool openFrameLog(const std::string& path, std::string& why) {
    closeFrameLog();
    logFile = std::fopen(path.c_str(), "w");
    if (!logFile) {
        why = "cannot write the frame log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool frameLogOpen() { return logFile != nullptr; }

void logFrame(double shownSeconds) {
    if (!logFile) return;
    std::fprintf(logFile, "%" PRId64 " %.6f\n", platform::monotonicNanoseconds(), shownSeconds);
    // Each line whole as soon as the frame is shown: the log is read while
    // the run goes on (the page reads it from its own file system).
    std::fflush(logFile);
}

void closeFrameLog() {
    if (!logFile) return;
    std::fclose(logFile);
    logFile = nullptr;
}
