#pragma once
// Where a video is written: a temporary file beside the target, renamed onto
// it once ffmpeg has finished. A failed or interrupted capture removes only
// that temporary file, so whatever was at the target before is left as it
// was, and an existing target is replaced only by a complete new video.
#include <string>

// Whether `target` may be written as a video: its folder can be made and
// written, and it is no folder nor anything but a regular file (a FIFO or a
// device would be replaced by the rename). False with the reason.
bool checkVideoTarget(const std::string& target, std::string& why);

class VideoPart {
public:
    VideoPart() = default;
    ~VideoPart();  // removes the temporary file unless it was committed
    VideoPart(const VideoPart&) = delete;
    VideoPart& operator=(const VideoPart&) = delete;

    // Makes ".<stem>.XXXXXX<extension>" beside `target`: the same extension,
    // so that ffmpeg picks the format it would for the target. False with
    // the reason.
    bool create(const std::string& target, std::string& why);
    // The temporary file's name, as ffmpeg takes it (never read as a protocol
    // or an option, whatever characters the name holds).
    std::string ffmpegName() const;
    // Renames the finished video onto the target; false with the reason.
    bool commit(std::string& why);
    // Removes the temporary file (again harmless).
    void discard();
    // Whether the target existed when the capture began.
    bool targetExisted() const { return existed_; }

private:
    std::string target_, path_;
    bool existed_ = false;
};
