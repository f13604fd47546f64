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
#include "common/datafolder.h"
#include "common/exitstatus.h"
#include "common/loadstatus.h"
#include "common/warnings.h"
#include "music/musicsync.h"
#include "options.h"
#include "output.h"
#include "outputlock.h"
#include "platform/window.h"
#include "scenes/schedule.h"
#include "shell/capture.h"
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
        return exitStatusAfterOutput("tarnwick-capture", 0);
    }
    platform::catchInterrupts();
    std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a write error

    // The data, and every output, are checked before anything is rendered.
    std::string why, ffmpeg;
    if (!chooseDataFolder(o.dataDir, why)) return fail(why);
    if (o.mode == CaptureMode::Frames) {
        if (!prepareFolder(o.framesDir, why)) return fail(o.framesDir + ": cannot write frames there: " + why);
    } else if (o.mode == CaptureMode::Shots) {
        if (!prepareFolder(o.outDir, why)) return fail(o.outDir + ": cannot write shots there: " + why);
    } else if (o.mode == CaptureMode::Video) {
        ffmpeg = findOnPath("ffmpeg");
        if (ffmpeg.empty()) {
            return fail("--video needs ffmpeg, and there is none on PATH (install the ffmpeg package, or write "
                        "PNG frames with --frames)");
        }
        if (!checkVideoTarget(o.videoFile, why)) return fail(o.videoFile + ": " + why);
    }
    OutputLock lock;
    if (o.mode != CaptureMode::Bench) {
        const std::string& output = o.mode == CaptureMode::Video    ? o.videoFile
                                    : o.mode == CaptureMode::Frames ? o.framesDir
                                                                    : o.outDir;
        if (!claimOutput(output, o.mode == CaptureMode::Video, o.mode == CaptureMode::Frames, lock, why)) {
            return fail(why);
        }
    }

    Capture capture;
    const bool opened = openCapture(o.settings, capture, why);
    printLoadMessages(stderr, "tarnwick-capture");
    if (!opened) return fail(why);
    const std::string renderer = rendererName();
    const std::int64_t count = frameCount(capture);
    const int fps = o.settings.fps;

    // Which frames are kept (written or timed), and how far to render.
    const int lastRow = count > 0 ? frameRow(capture, count - 1) : 0;
    // Past the last row drawn, the next frame's row says why: the music
    // ended there, or the frames step over the demo's last row.
    const int rowAfterLast = frameRow(capture, count);
    auto neverDrawn = [&](const std::string& rows) {
        closeCapture(capture);
        if (rowAfterLast > lastDemoRow) {
            return fail(rows + " never drawn at --fps " + std::to_string(fps) + ": one frame shows row " +
                        std::to_string(lastRow) + " and the next row " + std::to_string(rowAfterLast) +
                        ", past the demo's last row " + std::to_string(lastDemoRow) + "; a higher --fps draws it");
        }
        return fail(rows + " never drawn: the music ends the demo after row " + std::to_string(lastRow));
    };
    std::int64_t first = firstFrameAtRow(capture, count, o.fromRow);
    std::int64_t end = firstFrameAtRow(capture, count, o.toRow + 1);
    std::vector<std::int64_t> shotFrames;
    if (o.mode == CaptureMode::Shots) {
        end = 0;
        for (int row : o.shotRows) {
            std::int64_t k = firstFrameAtRow(capture, count, row);
            if (k >= count) return neverDrawn("row " + std::to_string(row) + " is");
            shotFrames.push_back(k);
            end = std::max(end, k + 1);
        }
    } else if (first >= end) {
        closeCapture(capture);
        return fail("no frame is drawn from row " + std::to_string(o.fromRow) + " to row " + std::to_string(o.toRow));
    } else if (o.toRowGiven && lastRow < o.toRow) {
        return neverDrawn("rows " + std::to_string(lastRow + 1) + " to " + std::to_string(o.toRow) + " are");
    } else if (lastRow < lastDemoRow) {
        std::fprintf(stderr, "tarnwick-capture: the music ends the demo after row %d, before row %d\n", lastRow,
                     lastDemoRow);
    }

    VideoEncoder encoder;
    VideoPart videoPart;
    if (o.mode == CaptureMode::Video) {
        if (!videoPart.create(o.videoFile, why)) {
            closeCapture(capture);
            return fail(o.videoFile + ": cannot make a temporary file beside it: " + why);
        }
        VideoJob job{ffmpeg,
                     videoPart.ffmpegName(),
                     "file:" + dataFile(musicPath),
                     o.settings.width,
                     o.settings.height,
                     fps,
                     frameSeconds(capture, first),
                     static_cast<double>(end - first) / fps};
        if (!startVideo(job, encoder, why)) {
            closeCapture(capture);
            return fail("cannot start ffmpeg: " + why);
        }
    }

    std::vector<SceneTimes> times(scheduleRangeCount);
    std::vector<double> yardstick;  // ms per yardstick frame
    double timedMs = 0;
    std::int64_t kept = 0;
    std::vector<unsigned char> pixels;  // the frame being read back
    // Frames are written while the next ones are drawn, two at most waiting.
    FrameWriter writer(2, platform::interruptRequested);
    const std::function<bool()> stopping = [&writer] { return writer.stopping(); };
    Progress progress(end);
    int status = 0;
    bool interrupted = false;
    for (std::int64_t k = 0; k < end; ++k) {
        if (platform::interruptRequested()) {
            interrupted = true;
            why = "interrupted at frame " + std::to_string(k);
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
            // Spread over the run, so that the yardstick meets the same
            // load from elsewhere on the machine as the scenes do.
            if (k % yardstickEvery == yardstickEvery / 2) {
                start = std::chrono::steady_clock::now();
                drawYardstickFrame();
                glFinish();
                yardstick.push_back(msBetween(start, std::chrono::steady_clock::now()));
            }
        } else if (keep) {
            // The encoder takes RGBA as fast as RGB, and GL hands it over faster.
            readFrame(capture, pixels, o.mode == CaptureMode::Video ? PixelLayout::Rgba : PixelLayout::Rgb);
            FrameWriter::Job job;
            if (o.mode == CaptureMode::Video) {
                job = [&encoder, &stopping](const std::vector<unsigned char>& p, std::string& w) {
                    return writeVideoFrame(encoder, p, stopping, w);
                };
            } else if (o.mode == CaptureMode::Frames) {
                char name[32];
                std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(k));
                job = [path = o.framesDir + name, &o](const std::vector<unsigned char>& p, std::string& w) {
                    if (writePng(path, p, o.settings.width, o.settings.height, w)) return true;
                    w = path + ": " + w;
                    return false;
                };
            } else {
                std::vector<std::string> paths;
                for (std::size_t i = 0; i < shotFrames.size(); ++i) {
                    if (shotFrames[i] != k) continue;
                    std::string text = o.shotText[i];
                    while (text.size() < 3) text = "0" + text;
                    paths.push_back(o.outDir + "/row_" + text + ".png");
                }
                // Each shot's line is printed once its file is whole.
                job = [paths, &o, k, row](const std::vector<unsigned char>& p, std::string& w) {
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
            if (!writer.push(pixels, std::move(job))) break;  // a write failed, or an interrupt
            ++kept;
        }
        progress.update(k + 1, row);
    }

    // A failed write or an interrupt ends the loop early; either way the
    // frames queued by then are written or given up before anything is said.
    if (!interrupted && !writer.finish()) {
        why = writer.failure() == "stopped" ? "interrupted at frame " + std::to_string(capture.nextFrame)
              : o.mode == CaptureMode::Video ? o.videoFile + ": " + writer.failure()
                                              : writer.failure();
        status = 1;
    } else if (interrupted || platform::interruptRequested()) {
        if (!interrupted) why = "interrupted at frame " + std::to_string(capture.nextFrame);
        status = 1;
    } else if (o.mode == CaptureMode::Video) {
        std::string videoWhy;
        if (!finishVideo(encoder, platform::interruptRequested, videoWhy)) {
            why = videoWhy == "stopped" ? "interrupted while ffmpeg finished the video" : o.videoFile + ": " + videoWhy;
            status = 1;
        } else if (!videoPart.commit(videoWhy)) {
            why = o.videoFile + ": cannot put the finished video in place: " + videoWhy;
            status = 1;
        }
    }
    if (status != 0) {
        writer.cancel();
        writer.finish();
        // What a failed run leaves: no unfinished video (the target as it
        // was); frames and shots are each whole, and the message says how
        // many there are.
        if (o.mode == CaptureMode::Video) {
            abortVideo(encoder);
            videoPart.discard();
            why += "; " + o.videoFile + (videoPart.targetExisted() ? " is left as it was" : " is not written");
        } else if (o.mode == CaptureMode::Frames || o.mode == CaptureMode::Shots) {
            why += "; " + std::to_string(writer.written()) + (o.mode == CaptureMode::Frames ? " whole frames" : " whole shots") +
                   " written before it are kept in " + (o.mode == CaptureMode::Frames ? o.framesDir : o.outDir);
        }
    }
    closeCapture(capture);
    char summary[160];
    std::snprintf(summary, sizeof summary, "%lld frames rendered, %lld %s, in %.1f s (%.1f frames per second)",
                  static_cast<long long>(end), static_cast<long long>(kept),
                  o.mode == CaptureMode::Bench ? "timed" : "written", progress.seconds(),
                  progress.seconds() > 0 ? static_cast<double>(end) / progress.seconds() : 0.0);
    progress.finish(status == 0 ? summary : why);
    if (status != 0) return status;
    if (o.mode == CaptureMode::Bench) printBench(o, renderer, times, yardstick, kept, timedMs);
    if (o.mode == CaptureMode::Video) std::printf("%s\n", o.videoFile.c_str());
    return exitStatusAfterOutput("tarnwick-capture", 0);
}
