// tarnwick-capture: the demo rendered offline, frame-exact, to PNG frames, a
// video with its music, single shots of chosen rows, or a timing table.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench.h"
#include "join.h"
#include "common/datafolder.h"
#include "common/exitstatus.h"
#include "common/loadstatus.h"
#include "common/warnings.h"
#include "music/musicsync.h"
#include "options.h"
#include "output.h"
#include "outputlock.h"
#include "segments.h"
#include "supersample.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/capture.h"
#include "shell/shotplan.h"
#include "shell/startup.h"
#include "videofile.h"
#include "yardstick.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "tarnwick-capture: %s\n", message.c_str());
    return 1;
}

void printBench(const CaptureOptions& o, const std::string& renderer, const std::vector<SceneTimes>& times,
                const std::vector<double>& yardstick, std::int64_t frames, double totalMs) {
    const double fps = totalMs > 0 ? static_cast<double>(frames) * 1000.0 / totalMs : 0;
    const double yardMean = mean(yardstick), yardP95 = percentile(yardstick, 0.95);
    if (o.json) {
        const BenchReport report{renderer,     o.settings.width, o.settings.height, o.settings.fps, startupTimes,
                                 times,        fps,              yardstickBoxes,    yardstick};
        std::fputs(benchJson(report).c_str(), stdout);
        return;
    }
    std::printf("renderer   %s\n", renderer.c_str());
    std::printf("size       %dx%d, %d frames per second of music time\n", o.settings.width, o.settings.height,
                o.settings.fps);
    std::printf("start-up   textures %.1f ms, music %.1f ms, sync %.1f ms\n", startupTimes.texturesMs,
                startupTimes.musicMs, startupTimes.syncMs);
    std::printf("yardstick  %d textured boxes in immediate mode, drawn %zu times among the frames:\n"
                "           mean %.2f ms, p95 %.2f ms; the ratios below are to these\n",
                yardstickBoxes, yardstick.size(), yardMean, yardP95);
    std::printf("\n%-16s %-9s %7s %9s %9s %9s %8s %8s\n", "scene", "rows", "frames", "mean ms", "p95 ms", "max ms",
                "mean x", "p95 x");
    for (int i = 0; i < scheduleRangeCount; ++i) {
        const std::vector<double>& ms = times[i].ms;
        const double p95 = percentile(ms, 0.95);
        char rows[24];
        std::snprintf(rows, sizeof rows, "%d-%d", scheduleRanges[i].firstRow, scheduleRanges[i].lastRow);
        std::printf("%-16s %-9s %7zu %9.2f %9.2f %9.2f %8.2f %8.2f\n", scheduleRanges[i].name, rows, ms.size(),
                    mean(ms), p95, ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()),
                    ratio(mean(ms), yardMean), ratio(p95, yardP95));
    }
    std::printf("\n%lld frames drawn in %.1f s of drawing: %.1f frames per second\n", static_cast<long long>(frames),
                totalMs / 1000.0, fps);
}

// One yardstick frame among this many of the demo's: 118 in a whole run.
constexpr std::int64_t yardstickEvery = 48;

double msBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// One run of the tool: what the steps below share.
struct Run {
    CaptureOptions o;
    std::string ffmpeg;  // for --video
    Capture capture;
    ShownFrames shown;
    std::int64_t first = 0, end = 0;     // frames first .. end - 1 are kept; 0 .. end - 1 run
    FrameRange whole;                    // with --segment, the frames of all the segments
    std::vector<std::int64_t> shotFrames;  // for --shot, one per row
    VideoEncoder encoder;
    VideoPart videoPart;  // the video's temporary file, renamed onto its name when whole
    OutputLock lock;      // keeps a second capture out of the same output
    // --bench: frame times per schedule range and of the yardstick.
    std::vector<SceneTimes> times = std::vector<SceneTimes>(scheduleRangeCount);
    std::vector<double> yardstick;
    double timedMs = 0;
    std::int64_t kept = 0;     // frames written or timed
    std::int64_t skipped = 0;  // frames run through without drawing
    std::string why;        // why the run failed
};

// The data, and every output, checked before anything is rendered; the
// failure's message, or "".
std::string checkOutputs(Run& run) {
    CaptureOptions& o = run.o;
    std::string why;
    if (!chooseDataFolder(o.dataDir, why)) return why;
    if (o.mode == CaptureMode::Frames) {
        if (!prepareFolder(o.framesDir, why)) return o.framesDir + ": cannot write frames there: " + why;
    } else if (o.mode == CaptureMode::Shots) {
        if (!prepareFolder(o.outDir, why)) return o.outDir + ": cannot write shots there: " + why;
    } else if (o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly) {
        run.ffmpeg = findOnPath("ffmpeg");
        if (run.ffmpeg.empty()) {
            return "--video needs ffmpeg, and there is none on PATH (install the ffmpeg package, or write "
                   "PNG frames with --frames)";
        }
        if (!checkVideoTarget(o.videoFile, why)) return o.videoFile + ": " + why;
    }
    if (o.mode != CaptureMode::Bench) {
        const bool video = o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly;
        const std::string& output = video ? o.videoFile : o.mode == CaptureMode::Frames ? o.framesDir : o.outDir;
        if (!claimOutput(output, video, o.mode == CaptureMode::Frames, run.lock, why)) {
            return why;
        }
    }
    return "";
}

// --segment: only the K-th of N parts of the frames chosen is kept.
std::string planSegment(Run& run) {
    const CaptureOptions& o = run.o;
    run.whole = {run.first, run.end};
    const FrameRange part = segmentOf(run.whole, o.segmentK, o.segmentN);
    if (part.count() == 0) {
        return "segment " + std::to_string(o.segmentK) + "/" + std::to_string(o.segmentN) + " holds no frame: rows " +
               std::to_string(o.fromRow) + " to " + std::to_string(o.toRow) + " have only " +
               std::to_string(run.whole.count()) + " frames";
    }
    run.first = part.first;
    run.end = part.end;
    return "";
}

// Which frames are kept (written or timed), and how far to render; the
// failure's message, or "".
std::string planFrames(Run& run) {
    const CaptureOptions& o = run.o;
    const int lastRow = lastShownRow(run.shown);
    run.first = run.shown.firstAtOrAfter(o.fromRow);
    run.end = run.shown.firstAtOrAfter(o.toRow + 1);
    if (o.mode == CaptureMode::Shots) {
        ShotPlan plan;
        std::string why;
        if (!planShots(run.shown, o.shotRows, plan, why)) return why;
        run.shotFrames = plan.frames;
        run.end = plan.end;
    } else if (run.first >= run.end) {
        return "no frame is drawn from row " + std::to_string(o.fromRow) + " to row " + std::to_string(o.toRow);
    } else if (o.toRowGiven && lastRow < o.toRow) {
        return neverDrawn("rows " + std::to_string(lastRow + 1) + " to " + std::to_string(o.toRow) + " are", run.shown);
    } else if (lastRow < lastDemoRow) {
        std::fprintf(stderr, "tarnwick-capture: the music ends the demo after row %d, before row %d\n", lastRow,
                     lastDemoRow);
    }
    return o.segmentN ? planSegment(run) : "";
}

std::string startVideoOf(Run& run) {
    const CaptureOptions& o = run.o;
    const int fps = o.settings.fps;
    std::string why;
    if (!run.videoPart.create(o.videoFile, why)) return o.videoFile + ": cannot make a temporary file beside it: " + why;
    VideoJob job{run.ffmpeg,
                 run.videoPart.ffmpegName(),
                 o.mode == CaptureMode::Video ? "file:" + dataFile(musicPath) : "",
                 "",
                 o.settings.width,
                 o.settings.height,
                 fps,
                 frameSeconds(run.capture, run.first),
                 static_cast<double>(run.end - run.first) / fps};
    if (o.segmentN) {
        job.comment = segmentTag({o.segmentK, o.segmentN, {run.first, run.end}, run.whole, o.settings.width,
                                  o.settings.height, fps, o.supersample, frameSeconds(run.capture, run.whole.first)});
    }
    return startVideo(job, run.encoder, why) ? "" : "cannot start ffmpeg: " + why;
}

// --bench: the time of frame k, just drawn since `start`, and now and then a
// yardstick frame.
void timeFrame(Run& run, std::int64_t k, int row, std::chrono::steady_clock::time_point start) {
    glFinish();
    const double ms = msBetween(start, std::chrono::steady_clock::now());
    run.times[static_cast<std::size_t>(scheduleRangeOf(row))].ms.push_back(ms);
    run.timedMs += ms;
    ++run.kept;
    // Spread over the run, so that the yardstick meets the same load from
    // elsewhere on the machine as the scenes do.
    if (k % yardstickEvery == yardstickEvery / 2) {
        start = std::chrono::steady_clock::now();
        drawYardstickFrame();
        glFinish();
        run.yardstick.push_back(msBetween(start, std::chrono::steady_clock::now()));
    }
}

// What writes frame k, at `row`: into the video, as a frame file, or as the
// shots of the rows it shows.
FrameWriter::Job writeJob(Run& run, FrameWriter& writer, std::int64_t k, int row) {
    const CaptureOptions& o = run.o;
    if (o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly) {
        return [&encoder = run.encoder, &writer](const std::vector<unsigned char>& p, std::string& w) {
            return writeVideoFrame(encoder, p, [&writer] { return writer.stopping(); }, w);
        };
    }
    if (o.mode == CaptureMode::Frames) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(k));
        return [path = o.framesDir + name, &o](const std::vector<unsigned char>& p, std::string& w) {
            if (writePng(path, p, o.settings.width, o.settings.height, w)) return true;
            w = path + ": " + w;
            return false;
        };
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < run.shotFrames.size(); ++i) {
        if (run.shotFrames[i] != k) continue;
        std::string text = o.shotText[i];
        while (text.size() < 3) text = "0" + text;
        paths.push_back(o.outDir + "/row_" + text + ".png");
    }
    // Each shot's line is printed once its file is whole.
    return [paths, &o, k, row](const std::vector<unsigned char>& p, std::string& w) {
        for (const std::string& path : paths) {
            if (!writePng(path, p, o.settings.width, o.settings.height, w)) {
                w = path + ": " + w;
                return false;
            }
            std::printf("%s: frame %lld, music row %d\n", path.c_str(), static_cast<long long>(k), row);
            std::fflush(stdout);
        }
        return true;
    };
}

// With --supersample, `job` given the frame scaled down to the output size
// first (on the writer thread, as the job runs).
FrameWriter::Job supersampled(const Run& run, FrameWriter::Job job, int channels) {
    const CaptureOptions& o = run.o;
    if (o.supersample == 1) return job;
    return [job, &o, channels, small = std::vector<unsigned char>()](const std::vector<unsigned char>& p,
                                                                     std::string& w) mutable {
        boxDownsample(p, o.settings.width, o.settings.height, channels, o.supersample, small);
        return job(small, w);
    };
}

// Runs frames 0 .. end - 1, drawing and timing or queuing the kept ones; the
// others go through the scenes with drawing switched off. False when an
// interrupt stopped it (`run.why` says where); a failed write also ends it
// early, which the writer reports.
bool drawFrames(Run& run, FrameWriter& writer, Progress& progress) {
    const CaptureOptions& o = run.o;
    std::vector<unsigned char> pixels;  // the frame being read back
    for (std::int64_t k = 0; k < run.end; ++k) {
        if (platform::interruptRequested()) {
            run.why = "interrupted at frame " + std::to_string(k);
            return false;
        }
        const int row = run.shown.rowOf(k);
        const bool keep = o.mode == CaptureMode::Shots
                              ? std::find(run.shotFrames.begin(), run.shotFrames.end(), k) != run.shotFrames.end()
                              : k >= run.first;
        const auto start = std::chrono::steady_clock::now();
        // Neither can end the demo before the counted end.
        if (!(keep ? drawNextFrame(run.capture) : skipNextFrame(run.capture))) break;
        if (!keep) ++run.skipped;
        if (keep && o.mode == CaptureMode::Bench) {
            timeFrame(run, k, row, start);
        } else if (keep) {
            // The encoder takes RGBA as fast as RGB, and GL hands it over faster.
            const bool video = o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly;
            readFrame(run.capture, pixels, video ? PixelLayout::Rgba : PixelLayout::Rgb);
            if (!writer.push(pixels, supersampled(run, writeJob(run, writer, k, row), video ? 4 : 3))) break;
            ++run.kept;
        }
        progress.update(k + 1, row);
    }
    return true;
}

// After the frames: the writer done, the video finished; 1 with `run.why`
// when anything failed or an interrupt came, with what a failed run leaves
// cleaned up: no unfinished video (the target as it was), and for frames and shots, each whole, the
// message says how many there are.
int finishOutputs(Run& run, FrameWriter& writer, bool interrupted) {
    const CaptureOptions& o = run.o;
    const bool video = o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly;
    int status = 0;
    // A failed write or an interrupt ends the loop early; either way the
    // frames queued by then are written or given up before anything is said.
    if (!interrupted && !writer.finish()) {
        run.why = writer.failure() == "stopped" ? "interrupted at frame " + std::to_string(run.capture.nextFrame)
                  : video ? o.videoFile + ": " + writer.failure()
                                                  : writer.failure();
        status = 1;
    } else if (interrupted || platform::interruptRequested()) {
        if (!interrupted) run.why = "interrupted at frame " + std::to_string(run.capture.nextFrame);
        status = 1;
    } else if (video) {
        std::string videoWhy;
        if (!finishVideo(run.encoder, platform::interruptRequested, videoWhy)) {
            run.why = videoWhy == "stopped" ? "interrupted while ffmpeg finished the video"
                                            : o.videoFile + ": " + videoWhy;
            status = 1;
        } else if (!run.videoPart.commit(videoWhy)) {
            run.why = o.videoFile + ": cannot put the finished video in place: " + videoWhy;
            status = 1;
        }
    }
    if (status == 0) return 0;
    writer.cancel();
    writer.finish();
    if (video) {
        abortVideo(run.encoder);
        run.videoPart.discard();
        run.why += "; " + o.videoFile + (run.videoPart.targetExisted() ? " is left as it was" : " is not written");
    } else if (o.mode == CaptureMode::Frames || o.mode == CaptureMode::Shots) {
        const bool frames = o.mode == CaptureMode::Frames;
        run.why += "; " + std::to_string(writer.written()) + (frames ? " whole frames" : " whole shots") +
                   " written before it are kept in " + (frames ? o.framesDir : o.outDir);
    }
    return status;
}

// The summary line, then what the mode reports on stdout.
int report(Run& run, Progress& progress, const std::string& renderer, int status) {
    const CaptureOptions& o = run.o;
    char summary[200];
    std::snprintf(summary, sizeof summary,
                  "%lld frames rendered (%lld of them without drawing), %lld %s, in %.1f s (%.1f frames per second)",
                  static_cast<long long>(run.end), static_cast<long long>(run.skipped),
                  static_cast<long long>(run.kept), o.mode == CaptureMode::Bench ? "timed" : "written",
                  progress.seconds(),
                  progress.seconds() > 0 ? static_cast<double>(run.end) / progress.seconds() : 0.0);
    progress.finish(status == 0 ? summary : run.why);
    if (status != 0) return status;
    if (o.mode == CaptureMode::Bench) printBench(o, renderer, run.times, run.yardstick, run.kept, run.timedMs);
    if (o.mode == CaptureMode::Video || o.mode == CaptureMode::VideoOnly) std::printf("%s\n", o.videoFile.c_str());
    return exitStatusAfterOutput("tarnwick-capture", 0);
}

}  // namespace

int main(int argc, char** argv) {
    Run run;
    std::string error;
    if (!parseCaptureOptions(argc, argv, run.o, error)) {
        std::fprintf(stderr, "tarnwick-capture: %s\n\n%s", error.c_str(), captureUsage);
        return 2;
    }
    if (run.o.help) {
        std::fputs(captureUsage, stdout);
        return exitStatusAfterOutput("tarnwick-capture", 0);
    }
    platform::catchInterrupts();
    std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a write error
    if (run.o.mode == CaptureMode::Join) {
        if (!chooseDataFolder(run.o.dataDir, run.why)) return fail(run.why);
        return joinSegments({run.o.joinFiles, run.o.videoFile, dataFile(musicPath)});
    }

    if (const std::string failure = checkOutputs(run); !failure.empty()) return fail(failure);
    CaptureSettings drawn = run.o.settings;
    drawn.width *= run.o.supersample;
    drawn.height *= run.o.supersample;
    const bool opened = openCapture(drawn, run.capture, run.why);
    printLoadMessages(stderr, "tarnwick-capture");
    if (!opened) return fail(run.why);
    const std::string renderer = rendererName();
    run.shown = shownFrames(run.capture, frameCount(run.capture));
    std::string failure = planFrames(run);
    const bool video = run.o.mode == CaptureMode::Video || run.o.mode == CaptureMode::VideoOnly;
    if (failure.empty() && video) failure = startVideoOf(run);
    if (!failure.empty()) {
        closeCapture(run.capture);
        return fail(failure);
    }

    // Frames are written while the next ones are drawn, two at most waiting.
    FrameWriter writer(2, platform::interruptRequested);
    Progress progress(run.end);
    const bool interrupted = !drawFrames(run, writer, progress);
    const int status = finishOutputs(run, writer, interrupted);
    closeCapture(run.capture);
    return report(run, progress, renderer, status);
}
