#pragma once
// Where captured frames go: PNG files, an ffmpeg process, and the progress
// line on stderr.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes RGB rows given bottom row first (as GL reads them) as a PNG, top row
// first. The file appears whole or not at all: the bytes go to a hidden name
// beside it, renamed when complete and removed on failure. False with the
// reason on failure.
bool writePng(const std::string& path, const std::vector<unsigned char>& bottomUp, int width, int height,
              std::string& why);

// A folder that exists (made if need be) and can be written to; false with
// the reason otherwise.
bool prepareFolder(const std::string& dir, std::string& why);
// The full path of a program found on PATH, or "" when there is none.
std::string findOnPath(const std::string& program);

// Starts the program args[0] (a full path) with args, and a pipe to its
// standard input (`toChild`: we write `ourEnd`) or from its standard output
// (its input then /dev/null; we read `ourEnd`). Its pid, or -1 with the reason.
// A program that cannot be started says so on stderr and exits 127.
pid_t spawnPiped(const std::vector<std::string>& args, bool toChild, int& ourEnd, std::string& why);

// An ffmpeg process that encodes raw 4:2:0 frames from a pipe into H.264 with
// the music muxed in. It encodes in its own process while the caller renders.
struct VideoEncoder {
    pid_t pid = -1;
    int pipe = -1;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> planes;  // the frame being handed over
};

struct VideoJob {
    std::string ffmpeg;       // the program
    std::string output;       // the video file
    std::string music;        // the MP3; "" for a video without sound
    std::string comment;      // the file's comment tag; "" for none
    int width = 0, height = 0, fps = 0;
    double audioStart = 0;    // music position of the first frame, seconds
    double seconds = 0;       // the video's length
};

bool startVideo(const VideoJob& job, VideoEncoder& encoder, std::string& why);
// One frame of RGBA bytes, bottom row first, as GL reads it: converted to
// 4:2:0 here, upright, and handed to ffmpeg. Never blocks for
// long: while ffmpeg takes nothing it asks `stop` every 50 ms, and gives up
// (false, "stopped") once that says so.
bool writeVideoFrame(VideoEncoder& encoder, const std::vector<unsigned char>& bottomUp,
                     const std::function<bool()>& stop, std::string& why);
// Closes the pipe and waits for ffmpeg; false with its complaint when it
// failed. Should `stop` say so while ffmpeg still runs, ends it as abortVideo.
bool finishVideo(VideoEncoder& encoder, const std::function<bool()>& stop, std::string& why);
// Ends ffmpeg without waiting for it to finish the video: closes the pipe,
// asks it to stop, kills it after 2 s if it has not.
void abortVideo(VideoEncoder& encoder);

// Writes frames on a thread of its own while the next ones are drawn. At most
// `depth` frames wait or are being written at any time, so memory stays
// bounded however slowly they are written; the jobs run in the order given.
class FrameWriter {
public:
    // Writes one frame; false with the reason. A job that may block for long
    // should ask stopping() now and then and give up when it says so.
    using Job = std::function<bool(const std::vector<unsigned char>& pixels, std::string& why)>;
    // `interrupted` is asked while push waits for room and by stopping().
    FrameWriter(std::size_t depth, std::function<bool()> interrupted);
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Queues the frame in `pixels` with its job; `pixels` gets back a spare
    // buffer (of an earlier frame's size once the queue is full). Waits while
    // `depth` frames are queued. False, queuing nothing, when a job has
    // failed or an interrupt came while waiting.
    bool push(std::vector<unsigned char>& pixels, Job job);
    // Waits until every queued frame is written; false when a job failed.
    bool finish();
    // Drops the frames not begun yet and makes stopping() true.
    void cancel();
    bool stopping() const;
    // The reason of the first job that failed; "" when none has.
    std::string failure() const;
    // Frames written so far.
    std::int64_t written() const;

private:
    struct Item {
        std::vector<unsigned char> pixels;
        Job job;
    };
    void run();

    const std::size_t depth_;
    std::function<bool()> interrupted_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::vector<std::vector<unsigned char>> spare_;
    bool busy_ = false, cancelled_ = false, closing_ = false, failed_ = false;
    std::string failure_;
    std::int64_t written_ = 0;
    std::thread thread_;
};

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
