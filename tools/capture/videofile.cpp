#include "videofile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "output.h"

namespace fs = std::filesystem;

bool checkVideoTarget(const std::string& target, std::string& why) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            why = "is a folder";
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            why = "not a regular file: a video replaces only a regular file";
            return false;
        }
    }
    const fs::path parent = fs::path(target).parent_path();
    if (!prepareFolder(parent.empty() ? "." : parent.string(), why)) {
        why = "cannot write the video there: " + why;
        return false;
    }
    return true;
}

VideoPart::~VideoPart() { discard(); }

bool VideoPart::create(const std::string& target, std::string& why) {
    const fs::path t(target);
    const std::string extension = t.extension().string();
    const fs::path dir = t.parent_path();
    std::string name = (dir / ("." + t.stem().string() + ".XXXXXX" + extension)).string();
    std::vector<char> text(name.begin(), name.end());
    text.push_back('\0');
    const int fd = mkstemps(text.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    // mkstemps makes it private to its owner; the video gets the mode any new
    // file of this user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    struct stat info {};
    existed_ = ::stat(target.c_str(), &info) == 0;
    target_ = target;
    path_ = text.data();
    return true;
}

std::string VideoPart::ffmpegName() const { return "file:" + path_; }

bool VideoPart::commit(std::string& why) {
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        why = std::strerror(errno);
        return false;
    }
    path_.clear();
    return true;
}

void VideoPart::discard() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    path_.clear();
}
