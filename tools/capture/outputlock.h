#pragma once
// One capture at a time per output: a lock file beside the video, or in the
// folder of frames or shots, held with flock for the whole run. A second
// capture into the same output is refused instead of mixing its frames in.
#include <string>

// The lock file for an output: "<folder>/.tarnwick-capture.lock" for a folder
// of frames or shots, "<folder>/.<name>.lock" beside a video.
std::string folderLockPath(const std::string& folder);
std::string videoLockPath(const std::string& video);

class OutputLock {
public:
    OutputLock() = default;
    ~OutputLock();  // releases the lock and removes its file
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    // Takes the lock at `path` without waiting, writing this process's id
    // into it. False with the reason when another capture holds it ("...
    // another capture (process N) is writing there; it holds PATH") or the
    // file cannot be made.
    bool acquire(const std::string& path, std::string& why);

private:
    int fd_ = -1;
    std::string path_;
};

// The frames of another run that `folder` holds already (frame_NNNNNN.png):
// how many there are and the first of their names; 0 when there are none.
int earlierFrames(const std::string& folder, std::string& example);

// Takes the lock for a capture's output before anything is written: a video
// (`isVideo`) or a folder of frames or shots. For frames, a folder that holds
// frames of an earlier run is refused too, since the two runs' frames would
// mix. False with the message.
bool claimOutput(const std::string& output, bool isVideo, bool isFrames, OutputLock& lock, std::string& why);
