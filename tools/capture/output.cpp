#include "output.h"

#include <fcntl.h>
#include <lodepng.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "yuv.h"

bool writePng(const std::string& path, const std::vector<unsigned char>& bottomUp, int width, int height,
              std::string& why) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    std::vector<unsigned char> upright(bottomUp.size());
    for (int y = 0; y < height; ++y) {
        std::memcpy(&upright[static_cast<std::size_t>(y) * stride],
                    &bottomUp[static_cast<std::size_t>(height - 1 - y) * stride], stride);
    }
    unsigned char* png = nullptr;
    std::size_t size = 0;
    unsigned error = lodepng_encode24(&png, &size, upright.data(), static_cast<unsigned>(width),
                                      static_cast<unsigned>(height));
    if (error) {
        why = lodepng_error_text(error);
        std::free(png);
        return false;
    }
    // Beside the file, so that the rename stays within one file system.
    const std::filesystem::path target(path);
    const std::string part = (target.parent_path() / ("." + target.filename().string() + ".part")).string();
    std::FILE* f = std::fopen(part.c_str(), "wb");
    bool ok = f && std::fwrite(png, 1, size, f) == size;
    if (f && std::fclose(f) != 0) ok = false;
    if (ok && std::rename(part.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        why = std::strerror(errno);
        std::remove(part.c_str());
    }
    std::free(png);
    return ok;
}

bool prepareFolder(const std::string& dir, std::string& why) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        why = ec ? ec.message() : "not a folder";
        return false;
    }
    if (access(dir.c_str(), W_OK) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return "";
    std::string dirs = path;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t colon = dirs.find(':', begin);
        std::string dir = dirs.substr(begin, colon == std::string::npos ? std::string::npos : colon - begin);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + program;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string::npos) return "";
        begin = colon + 1;
    }
}

pid_t spawnPiped(const std::vector<std::string>& args, bool toChild, int& ourEnd, std::string& why) {
    int fds[2];  // [0] reads, [1] writes
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return -1;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        if (toChild) {
            dup2(fds[0], 0);
        } else {
            dup2(fds[1], 1);
            const int null = open("/dev/null", O_RDONLY);
            if (null >= 0) dup2(null, 0);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        std::fprintf(stderr, "tarnwick-capture: %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    close(toChild ? fds[0] : fds[1]);
    ourEnd = toChild ? fds[1] : fds[0];
    return pid;
}

bool startVideo(const VideoJob& job, VideoEncoder& encoder, std::string& why) {
    char size[32], rate[16], start[32], length[32];
    std::snprintf(size, sizeof size, "%dx%d", job.width, job.height);
    std::snprintf(rate, sizeof rate, "%d", job.fps);
    std::snprintf(start, sizeof start, "%.6f", job.audioStart);
    std::snprintf(length, sizeof length, "%.6f", job.seconds);
    std::vector<std::string> args = {
        job.ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
        // the frames, as they come, already in the encoder's 4:2:0 (converted
        // on our writer thread: in ffmpeg it took a fifth of all the CPU)
        "-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size", size, "-framerate", rate, "-i", "pipe:0"};
    if (!job.music.empty()) {
        // the music from the first frame's position, as long as the frames
        args.insert(args.end(), {"-ss", start, "-t", length, "-i", job.music, "-map", "0:v:0", "-map", "1:a:0"});
    }
    args.insert(args.end(), {
        // superfast at CRF 19 costs a quarter less CPU than veryfast at 18 and
        // comes out closer to the frames (SSIM and PSNR) in a larger file.
        "-c:v", "libx264", "-preset", "superfast", "-crf", "19", "-pix_fmt", "yuv420p",
        "-colorspace", "smpte170m", "-color_primaries", "smpte170m", "-color_trc", "smpte170m", "-color_range", "tv"});
    // Past 1920 x 1080, x264's frame threads each hold frames of their own:
    // at 3840 x 2160 ffmpeg peaked at 724 MB with them and 468 MB with the
    // threads sharing each frame in slices, in about the same time.
    if (static_cast<long>(job.width) * job.height > 1920L * 1080) {
        args.insert(args.end(), {"-x264-params", "sliced-threads=1"});
    }
    if (!job.music.empty()) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
    if (!job.comment.empty()) args.insert(args.end(), {"-metadata", "comment=" + job.comment});
    args.insert(args.end(), {"-movflags", "+faststart", job.output});
    int pipeIn = -1;
    const pid_t pid = spawnPiped(args, true, pipeIn, why);
    if (pid < 0) return false;
    // A larger pipe lets ffmpeg take a whole frame while the next one renders.
    fcntl(pipeIn, F_SETPIPE_SZ, 1 << 20);
    // Writes that never block: a full pipe is waited on with poll, so that a
    // stop request is seen while ffmpeg takes nothing.
    fcntl(pipeIn, F_SETFL, fcntl(pipeIn, F_GETFL) | O_NONBLOCK);
    encoder.pid = pid;
    encoder.pipe = pipeIn;
    encoder.width = job.width;
    encoder.height = job.height;
    return true;
}

bool writeVideoFrame(VideoEncoder& encoder, const std::vector<unsigned char>& bottomUpRgba,
                     const std::function<bool()>& stop, std::string& why) {
    rgbaToYuv420(bottomUpRgba, encoder.width, encoder.height, encoder.planes);
    const std::vector<unsigned char>& frame = encoder.planes;
    std::size_t done = 0;
    while (done < frame.size()) {
        ssize_t n = write(encoder.pipe, frame.data() + done, frame.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (stop()) {
                why = "stopped";
                return false;
            }
            pollfd ready{encoder.pipe, POLLOUT, 0};
            poll(&ready, 1, 50);
            continue;
        }
        why = n < 0 && errno == EPIPE ? "ffmpeg stopped taking frames" : std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

// Waits for ffmpeg up to `ms` milliseconds (for ever when negative, asking
// `stop` every 50 ms). True once it has ended, with its status.
bool waitForEncoder(VideoEncoder& encoder, int ms, const std::function<bool()>& stop, int& status) {
    for (int waited = 0; ms < 0 || waited < ms; waited += 50) {
        pid_t done = waitpid(encoder.pid, &status, WNOHANG);
        if (done == encoder.pid || (done < 0 && errno != EINTR)) {
            encoder.pid = -1;
            return true;
        }
        if (stop && stop()) return false;
        usleep(50 * 1000);
    }
    return false;
}

}  // namespace

bool finishVideo(VideoEncoder& encoder, const std::function<bool()>& stop, std::string& why) {
    if (encoder.pipe >= 0) close(encoder.pipe);
    encoder.pipe = -1;
    if (encoder.pid < 0) return true;
    int status = 0;
    if (!waitForEncoder(encoder, -1, stop, status)) {
        abortVideo(encoder);
        why = "stopped";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = WIFEXITED(status) ? "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status))
                            : "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}

void abortVideo(VideoEncoder& encoder) {
    if (encoder.pipe >= 0) close(encoder.pipe);
    encoder.pipe = -1;
    if (encoder.pid < 0) return;
    int status = 0;
    kill(encoder.pid, SIGTERM);
    // ffmpeg blocked on its output ignores a polite request.
    if (waitForEncoder(encoder, 2000, nullptr, status)) return;
    kill(encoder.pid, SIGKILL);
    waitForEncoder(encoder, -1, nullptr, status);
}

FrameWriter::FrameWriter(std::size_t depth, std::function<bool()> interrupted)
    : depth_(depth < 1 ? 1 : depth), interrupted_(std::move(interrupted)), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
    cancel();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool FrameWriter::push(std::vector<unsigned char>& pixels, Job job) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (failed_ || cancelled_) return false;
        if (queue_.size() + (busy_ ? 1 : 0) < depth_) break;
        // Woken by the writer, or every 50 ms to look for an interrupt.
        changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (interrupted_ && interrupted_()) return false;
    }
    queue_.push_back({std::move(pixels), std::move(job)});
    if (spare_.empty()) {
        pixels = {};
    } else {
        pixels = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
    return true;
}

bool FrameWriter::finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
    return !failed_;
}

void FrameWriter::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    queue_.clear();
    changed_.notify_all();
}

bool FrameWriter::stopping() const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cancelled_) return true;
    }
    return interrupted_ && interrupted_();
}

std::string FrameWriter::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

std::int64_t FrameWriter::written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

void FrameWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;  // closing, nothing left
        Item item = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        std::string why;
        const bool ok = item.job(item.pixels, why);
        lock.lock();
        busy_ = false;
        if (ok) {
            ++written_;
        } else if (!failed_) {
            failed_ = true;
            failure_ = why;
            queue_.clear();
        }
        spare_.push_back(std::move(item.pixels));
        changed_.notify_all();
    }
}

Progress::Progress(std::int64_t total)
    : total_(total), terminal_(isatty(2) != 0), start_(std::chrono::steady_clock::now()), last_(start_) {}

double Progress::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::update(std::int64_t done, int row) {
    auto now = std::chrono::steady_clock::now();
    double sinceLast = std::chrono::duration<double>(now - last_).count();
    if (sinceLast < (terminal_ ? 0.25 : 5.0) && done < total_) return;
    last_ = now;
    double elapsed = seconds();
    double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0;
    int percent = total_ > 0 ? static_cast<int>(100 * done / total_) : 100;
    if (terminal_) {
        char bar[31];
        int filled = percent * 30 / 100;
        for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
        bar[30] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%  frame %lld/%lld  row %d  %.1f fps  %d:%02d left ", bar, percent,
                     static_cast<long long>(done), static_cast<long long>(total_), row, rate,
                     static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    } else {
        std::fprintf(stderr, "tarnwick-capture: %3d%%, frame %lld of %lld, row %d, %.1f fps, %d:%02d left\n",
                     percent, static_cast<long long>(done), static_cast<long long>(total_), row, rate,
                     static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    }
}

void Progress::finish(const std::string& summary) {
    if (terminal_) std::fprintf(stderr, "\n");
    std::fprintf(stderr, "tarnwick-capture: %s\n", summary.c_str());
}
