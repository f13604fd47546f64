#include "common/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string openFailureReason(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return "no such file";
        case EACCES:
        case EPERM: return "permission denied";
        case EISDIR: return "is a directory";
        default: return std::strerror(error);
    }
}

int openDataFile(const std::string& path, std::string& why) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = openFailureReason(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        why = openFailureReason(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        why = S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file";
        ::close(fd);
        return -1;
    }
    // A regular file never blocks anyway; reads go on as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::FILE* openDataStream(const std::string& path, std::string& why) {
    const int fd = openDataFile(path, why);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        why = std::strerror(errno);
        ::close(fd);
    }
    return file;
}
