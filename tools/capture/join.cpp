#include "join.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "output.h"
#include "outputlock.h"
#include "segments.h"
#include "videofile.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "tarnwick-capture: %s\n", message.c_str());
    return 1;
}

// Runs argv, waits, and returns its standard output in `out` (stderr goes
// through); false with the reason when it could not run or failed.
bool runForOutput(const std::vector<std::string>& args, std::string& out, std::string& why) {
    int pipeOut = -1;
    const pid_t pid = spawnPiped(args, false, pipeOut, why);
    if (pid < 0) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeOut, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
        if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    close(pipeOut);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = args[0] + (WIFEXITED(status) ? " failed with exit status " + std::to_string(WEXITSTATUS(status))
                                       : " was ended by signal " + std::to_string(WTERMSIG(status)));
    return false;
}

// The value of "key=" on a line of ffprobe's output; "" when none.
std::string field(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key + "=");
    if (at == std::string::npos || (at > 0 && text[at - 1] != '\n')) return "";
    const std::size_t begin = at + key.size() + 1;
    return text.substr(begin, text.find('\n', begin) - begin);
}

// Reads a segment's tag and counts its frames; false with the reason.
bool probeSegment(const std::string& ffprobe, const std::string& file, SegmentInfo& info, std::string& why) {
    std::string out;
    if (!runForOutput({ffprobe, "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                       "stream=nb_read_packets:format_tags=comment", "-of", "default=noprint_wrappers=1",
                       "file:" + file},
                      out, why)) {
        why = file + ": not a video ffprobe can read (" + why + ")";
        return false;
    }
    if (!parseSegmentTag(field(out, "TAG:comment"), info)) {
        why = file + ": not a segment made by tarnwick-capture --segment (its comment tag does not say which)";
        return false;
    }
    const std::string packets = field(out, "nb_read_packets");
    if (packets != std::to_string(info.frames.count())) {
        why = file + ": holds " + (packets.empty() ? "no" : packets) + " frames where segment " +
              std::to_string(info.k) + "/" + std::to_string(info.n) + " has " + std::to_string(info.frames.count()) +
              " (cut short?)";
        return false;
    }
    return true;
}

// The concat demuxer's list: each file by its absolute, quoted path, with
// its exact length in frames: the demuxer would otherwise place the next file
// after the container's length, rounded to the millisecond, and the joins
// would drift.
bool writeList(const std::string& path, const std::vector<std::string>& files, const std::vector<SegmentInfo>& infos,
               std::string& why) {
    std::ofstream list(path);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string quoted;
        for (char c : std::filesystem::absolute(files[i]).string())
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        char duration[64];
        std::snprintf(duration, sizeof duration, "%.9f", static_cast<double>(infos[i].frames.count()) / infos[i].fps);
        list << "file '" << quoted << "'\nduration " << duration << "\n";
    }
    list.close();
    if (!list) why = path + ": " + std::strerror(errno);
    return static_cast<bool>(list);
}

}  // namespace

int joinSegments(const JoinJob& job) {
    const std::string ffmpeg = findOnPath("ffmpeg"), ffprobe = findOnPath("ffprobe");
    if (ffmpeg.empty() || ffprobe.empty()) return fail("--join needs ffmpeg and ffprobe on PATH (the ffmpeg package)");
    std::string why;
    std::vector<SegmentInfo> infos(job.segments.size());
    for (std::size_t i = 0; i < job.segments.size(); ++i)
        if (!probeSegment(ffprobe, job.segments[i], infos[i], why)) return fail(why);
    std::vector<std::size_t> order;
    if (!checkSegments(job.segments, infos, order, why)) return fail(why);
    if (!checkVideoTarget(job.output, why)) return fail(job.output + ": " + why);
    OutputLock lock;
    if (!claimOutput(job.output, true, false, lock, why)) return fail(why);
    VideoPart part, list;
    if (!part.create(job.output, why) || !list.create(job.output + ".txt", why)) {
        return fail(job.output + ": cannot make a temporary file beside it: " + why);
    }
    std::vector<std::string> files;
    std::vector<SegmentInfo> ordered;
    for (std::size_t i : order) {
        files.push_back(job.segments[i]);
        ordered.push_back(infos[i]);
    }
    // The list's own path, without the "file:" that ffmpeg is given.
    if (!writeList(list.ffmpegName().substr(5), files, ordered, why)) return fail(why);
    const SegmentInfo& whole = infos[0];
    const std::int64_t frames = whole.whole.count();
    const double seconds = static_cast<double>(frames) / whole.fps;
    char start[32], length[32];
    std::snprintf(start, sizeof start, "%.6f", whole.musicStart);
    std::snprintf(length, sizeof length, "%.6f", seconds);
    std::string out;
    if (!runForOutput({ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "concat", "-safe", "0",
                       "-i", list.ffmpegName(), "-ss", start, "-t", length, "-i", "file:" + job.music, "-map", "0:v:0",
                       "-map", "1:a:0", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart",
                       part.ffmpegName()},
                      out, why) ||
        !part.commit(why)) {
        return fail(job.output + ": " + why + "; " + job.output +
                    (part.targetExisted() ? " is left as it was" : " is not written"));
    }
    std::printf("%s: joined %zu segments, frames %" PRId64 " to %" PRId64 " (%" PRId64 " frames, %.3f s at %d fps)\n",
                job.output.c_str(), files.size(), whole.whole.first, whole.whole.end - 1, frames, seconds, whole.fps);
    return 0;
}
