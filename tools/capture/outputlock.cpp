#include "outputlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

std::string folderLockPath(const std::string& folder) { return (fs::path(folder) / ".tarnwick-capture.lock").string(); }

std::string videoLockPath(const std::string& video) {
    const fs::path target(video);
    return (target.parent_path() / ("." + target.filename().string() + ".lock")).string();
}

OutputLock::~OutputLock() {
    if (fd_ < 0) return;
    // Removed while still held: a capture waiting to take it finds the file
    // gone (another inode) and makes a new one.
    ::unlink(path_.c_str());
    ::close(fd_);
}

bool OutputLock::acquire(const std::string& path, std::string& why) {
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            why = path + ": cannot make the lock file: " + std::strerror(errno);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                char text[32] = {};
                const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
                const std::string pid = got > 0 ? std::string(text, static_cast<std::size_t>(got)) : "";
                why = "another capture" + (pid.empty() ? std::string() : " (process " + pid + ")") +
                      " is writing there; it holds " + path;
            } else {
                why = path + ": cannot lock: " + std::strerror(error);
            }
            ::close(fd);
            return false;
        }
        // The last holder may have removed the file between our open and
        // our lock: only the file still at the path counts.
        struct stat held {}, named {};
        if (fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            const std::string pid = std::to_string(::getpid());
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
                // The lock holds without the note of who holds it.
            }
            fd_ = fd;
            path_ = path;
            return true;
        }
        ::close(fd);
    }
}

int earlierFrames(const std::string& folder, std::string& example) {
    static const std::regex frameName("frame_[0-9]{6,}\\.png");
    int count = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!std::regex_match(name, frameName)) continue;
        if (count++ == 0 || name < example) example = name;
    }
    return count;
}

bool claimOutput(const std::string& output, bool isVideo, bool isFrames, OutputLock& lock, std::string& why) {
    if (!lock.acquire(isVideo ? videoLockPath(output) : folderLockPath(output), why)) {
        why = output + ": " + why;
        return false;
    }
    std::string example;
    const int earlier = isFrames ? earlierFrames(output, example) : 0;
    if (earlier > 0) {
        why = output + ": already holds " + std::to_string(earlier) + " frame" + (earlier == 1 ? "" : "s") + " (" +
              example + ", ...) of an earlier run, which this run's frames would mix with; remove them or " +
              "write the frames to another folder";
        return false;
    }
    return true;
}
