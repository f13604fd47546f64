#include "common/exitstatus.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int exitStatusAfterOutput(const char* program, int status) {
    std::string reason;
    std::cout.flush();
    if (!std::cout) reason = "some of what was written to it was lost";
    errno = 0;
    if (std::fflush(stdout) != 0) {
        reason = std::strerror(errno);
    } else if (std::ferror(stdout) && reason.empty()) {
        reason = "some of what was written to it was lost";
    }
    if (reason.empty()) return status;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program, reason.c_str());
    return 1;
}
