// tarnwick-capture: the demo rendered offline, frame-exact, to PNG frames, a
// video with its music, single shots of chosen rows, or a timing table.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "common/loadstatus.h"
#include "common/warnings.h"
#include "music/musicsync.h"
#include "options.h"
#include "output.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/capture.h"
#include "shell/startup.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "tarnwick-capture: %s\n", message.c_str());
    return 1;
}

// The first frame drawn at or after `row`; `count` when no shown frame is.
std::int64_t firstFrameAtRow(const Capture& capture, std::int64_t count, int row) {
    std::int64_t lo = 0, hi = count;
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        if (frameRow(capture, mid) >= row) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

void printBench(const CaptureOptions& o, const std::string& renderer, const std::vector<SceneTimes>& times,
                std::int64_t frames, double totalMs) {
    const double fps = totalMs > 0 ? static_cast<double>(frames) * 1000.0 / totalMs : 0;
    if (o.json) {
        const BenchReport report{renderer, o.settings.width, o.settings.height, o.settings.fps, startupTimes, times, fps};
        std::fputs(benchJson(report).c_str(), stdout);
        return;
    }
    std::printf("renderer   %s\n", renderer.c_str());
    std::printf("size       %dx%d, %d frames per second of music time\n", o.settings.width, o.settings.height,
                o.settings.fps);
    std::printf("start-up   textures %.1f ms, music %.1f ms, sync %.1f ms\n", startupTimes.texturesMs,
                startupTimes.musicMs, startupTimes.syncMs);
    std::printf("\n%-16s %-9s %7s %9s %9s %9s\n", "scene", "rows", "frames", "mean ms", "p95 ms", "max ms");
    for (int i = 0; i < scheduleRangeCount; ++i) {
        const std::vector<double>& ms = times[i].ms;
        double mean = 0;
        for (double m : ms) mean += m / static_cast<double>(ms.size());
        char rows[24];
        std::snprintf(rows, sizeof rows, "%d-%d", scheduleRanges[i].firstRow, scheduleRanges[i].lastRow);
        std::printf("%-16s %-9s %7zu %9.2f %9.2f %9.2f\n", scheduleRanges[i].name, rows, ms.size(), mean,
                    percentile(ms, 0.95), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
    }
    std::printf("\n%lld frames drawn in %.1f s of drawing: %.1f frames per second\n", static_cast<long long>(frames),
                totalMs / 1000.0, fps);
}

double msBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions o;
    std::string error;
    if (!parseCaptureOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "tarnwick-capture: %s\n\n%s", error.c_str(), captureUsage);
        return 2;
    }
    if (o.help) {
        std::fputs(captureUsage, stdout);
        return 0;
    }
    platform::catchInterrupts();
    std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a write error

    // Every output is checked, and made absolute, before the run moves into
    // the data folder and before anything is rendered.
    const std::string dataFolder = o.dataDir + "/data";
    if (!std::filesystem::is_directory(dataFolder)) return fail(dataFolder + ": no data folder there");
    std::string why, ffmpeg;
    if (o.mode == CaptureMode::Frames) {
        o.framesDir = absolutePath(o.framesDir);
        if (!prepareFolder(o.framesDir, why)) return fail(o.framesDir + ": cannot write frames there: " + why);
    } else if (o.mode == CaptureMode::Shots) {
        o.outDir = absolutePath(o.outDir);
        if (!prepareFolder(o.outDir, why)) return fail(o.outDir + ": cannot write shots there: " + why);
    } else if (o.mode == CaptureMode::Video) {
        ffmpeg = findOnPath("ffmpeg");
        if (ffmpeg.empty()) {
            return fail("--video needs ffmpeg, and there is none on PATH (install the ffmpeg package, or write "
                        "PNG frames with --frames)");
        }
        o.videoFile = absolutePath(o.videoFile);
        const std::string parent = std::filesystem::path(o.videoFile).parent_path().string();
        if (std::filesystem::is_directory(o.videoFile)) return fail(o.videoFile + ": is a folder");
        if (!prepareFolder(parent, why)) return fail(o.videoFile + ": cannot write the video there: " + why);
    }
    if (chdir(o.dataDir.c_str()) != 0) return fail(o.dataDir + ": cannot enter the folder");

    Capture capture;
    const bool opened = openCapture(o.settings, capture, why);
    printLoadMessages(stderr, "tarnwick-capture");
    if (!opened) return fail(why);
    const std::string renderer = rendererName();
    const std::int64_t count = frameCount(capture);
    const int fps = o.settings.fps;

    // Which frames are kept (written or timed), and how far to render.
    std::int64_t first = firstFrameAtRow(capture, count, o.fromRow);
    std::int64_t end = firstFrameAtRow(capture, count, o.toRow + 1);
    std::vector<std::int64_t> shotFrames;
    if (o.mode == CaptureMode::Shots) {
        const int lastRow = count > 0 ? frameRow(capture, count - 1) : 0;
        end = 0;
        for (int row : o.shotRows) {
            std::int64_t k = firstFrameAtRow(capture, count, row);
            if (k >= count) {
                closeCapture(capture);
                return fail("row " + std::to_string(row) + " is never drawn: the music ends the demo after row " +
                            std::to_string(lastRow));
            }
            shotFrames.push_back(k);
            end = std::max(end, k + 1);
        }
    } else if (first >= end) {
        closeCapture(capture);
        return fail("no frame is drawn from row " + std::to_string(o.fromRow) + " to row " + std::to_string(o.toRow));
    }

    VideoEncoder encoder;
    if (o.mode == CaptureMode::Video) {
        VideoJob job{ffmpeg, o.videoFile, absolutePath(musicPath), o.settings.width, o.settings.height, fps,
                       frameSeconds(capture, first), static_cast<double>(end - first) / fps};
        if (!startVideo(job, encoder, why)) {
            closeCapture(capture);
            return fail("cannot start ffmpeg: " + why);
        }
    }

    std::vector<SceneTimes> times(scheduleRangeCount);
    double timedMs = 0;
    std::int64_t kept = 0;
    std::vector<unsigned char> pixels;  // one readback buffer for the whole run
    Progress progress(end);
    int status = 0;
    for (std::int64_t k = 0; k < end; ++k) {
        if (platform::interruptRequested()) {
            why = "interrupted at frame " + std::to_string(k);
            status = 1;
            break;
        }
        const int row = frameRow(capture, k);
        const bool keep = o.mode == CaptureMode::Shots
                              ? std::find(shotFrames.begin(), shotFrames.end(), k) != shotFrames.end()
                              : k >= first;
        auto start = std::chrono::steady_clock::now();
        if (!drawNextFrame(capture)) break;  // cannot happen before the counted end
        if (o.mode == CaptureMode::Bench) {
            glFinish();
            if (keep) {
                const double ms = msBetween(start, std::chrono::steady_clock::now());
                times[scheduleRangeOf(row)].ms.push_back(ms);
                timedMs += ms;
                ++kept;
            }
        } else if (keep) {
            readFrame(capture, pixels);
            bool ok = true;
            if (o.mode == CaptureMode::Video) {
                ok = writeVideoFrame(encoder, pixels, why);
            } else if (o.mode == CaptureMode::Frames) {
                char name[32];
                std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(k));
                ok = writePng(o.framesDir + name, pixels, o.settings.width, o.settings.height, why);
                if (!ok) why = o.framesDir + name + ": " + why;
            } else {
                for (std::size_t i = 0; i < shotFrames.size() && ok; ++i) {
                    if (shotFrames[i] != k) continue;
                    std::string text = o.shotText[i];
                    while (text.size() < 3) text = "0" + text;
                    const std::string path = o.outDir + "/row_" + text + ".png";
                    ok = writePng(path, pixels, o.settings.width, o.settings.height, why);
                    if (!ok) why = path + ": " + why;
                    std::printf("%s: frame %lld, music row %d\n", path.c_str(), static_cast<long long>(k), row);
                }
            }
            if (!ok) {
                status = 1;
                break;
            }
            ++kept;
        }
        progress.update(k + 1, row);
    }

    std::string videoWhy;
    if (o.mode == CaptureMode::Video && !finishVideo(encoder, videoWhy) && status == 0) {
        why = o.videoFile + ": " + videoWhy;
        status = 1;
    }
    closeCapture(capture);
    char summary[160];
    std::snprintf(summary, sizeof summary, "%lld frames rendered, %lld %s, in %.1f s (%.1f frames per second)",
                  static_cast<long long>(end), static_cast<long long>(kept),
                  o.mode == CaptureMode::Bench ? "timed" : "written", progress.seconds(),
                  progress.seconds() > 0 ? static_cast<double>(end) / progress.seconds() : 0.0);
    progress.finish(status == 0 ? summary : why);
    if (status != 0) return status;
    if (o.mode == CaptureMode::Bench) printBench(o, renderer, times, kept, timedMs);
    if (o.mode == CaptureMode::Video) std::printf("%s\n", o.videoFile.c_str());
    return 0;
}
