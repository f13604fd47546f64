#pragma once
// Where captured frames go: PNG files, an ffmpeg process, and the progress
// line on stderr.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Writes RGB rows given bottom row first (as GL reads them) as a PNG, top row
// first. False with the reason on failure.
bool writePng(const std::string& path, const std::vector<unsigned char>& bottomUp, int width, int height,
              std::string& why);

// A folder that exists (made if need be) and can be written to; false with
// the reason otherwise.
bool prepareFolder(const std::string& dir, std::string& why);
// `path` made absolute against the current folder.
std::string absolutePath(const std::string& path);
// The full path of a program found on PATH, or "" when there is none.
std::string findOnPath(const std::string& program);

// An ffmpeg process that encodes raw RGB frames from a pipe into H.264 with
// the music muxed in. It encodes in its own process while the caller renders.
struct VideoEncoder {
    pid_t pid = -1;
    int pipe = -1;
};

struct VideoJob {
    std::string ffmpeg;       // the program
    std::string output;       // the video file
    std::string music;        // the MP3
    int width = 0, height = 0, fps = 0;
    double audioStart = 0;    // music position of the first frame, seconds
    double seconds = 0;       // the video's length
};

bool startVideo(const VideoJob& job, VideoEncoder& encoder, std::string& why);
// One frame, bottom row first (ffmpeg turns it upright).
bool writeVideoFrame(VideoEncoder& encoder, const std::vector<unsigned char>& bottomUp, std::string& why);
// Closes the pipe and waits for ffmpeg; false with its complaint when it failed.
bool finishVideo(VideoEncoder& encoder, std::string& why);

// Progress on stderr: a bar redrawn in place on a terminal, otherwise a line
// every few seconds; then one summary line.
class Progress {
public:
    explicit Progress(std::int64_t total);
    void update(std::int64_t done, int row);
    void finish(const std::string& summary);
    double seconds() const;

private:
    std::int64_t total_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_, last_;
};
