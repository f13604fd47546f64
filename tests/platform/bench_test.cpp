// Opening the music must stay quick and small whatever its length. Prints the
// figures for a 100 s MP3:
//   build/tests/audio_tests --gtest_filter='AudioBench.*'
#include <gtest/gtest.h>
#include <malloc.h>
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/audiotest.h"
#include "support/mp3fixtures.h"

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point t) { return std::chrono::duration<double, std::milli>(Steady::now() - t).count(); }

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// For comparison: decoding the whole file up front, as a full-decode open would.
double fullDecodeMs(const std::string& path) {
    auto start = Steady::now();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::vector<unsigned char> buffer(1 << 16);
    std::size_t done = 0;
    int r = mpg123_open(mh, path.c_str());
    while (r == MPG123_OK || r == MPG123_NEW_FORMAT) r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
    mpg123_delete(mh);
    return msSince(start);
}

TEST(AudioBench, OpenHundredSecondMp3) {
    audiotest::useClock(audio::Clock::Manual);
    const std::string path = testsupport::cachedToneMp3(44100, 2, 100.0, false);
    if (path.empty()) GTEST_SKIP() << "no MP3 encoder";

    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        auto start = Steady::now();
        std::string why;
        audio::StreamHandle h = audio::createFileStream(path, why);
        times.push_back(msSince(start));
        ASSERT_NE(h, 0u) << why;
        EXPECT_EQ(audio::length(h), 4410000ull * 8);
        audio::freeStream(h);
    }
    const double first = times.front();
    std::sort(times.begin(), times.end());

    malloc_trim(0);
    // Both the heap proper and the blocks malloc maps on its own.
    auto allocated = [] {
        struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const std::size_t heapBefore = allocated();
    const long rssBefore = residentKiB();
    std::string why;
    audio::StreamHandle h = audio::createFileStream(path, why);
    const std::size_t heapHeld = allocated() - heapBefore;
    const long rssGrowth = residentKiB() - rssBefore;
    ASSERT_NE(h, 0u);

    std::printf("open 100 s MP3 (44.1 kHz stereo, 128 kbit/s): first %.2f ms, median of 5 %.2f ms, worst %.2f ms\n",
                first, times[2], times[4]);
    std::printf("held by the open stream: %.1f KiB allocated, resident set grew %ld KiB\n", heapHeld / 1024.0, rssGrowth);
    std::printf("for comparison, decoding the whole file: %.1f ms\n", fullDecodeMs(path));
    EXPECT_LT(times[2], 50.0) << "opening must stay quick";
    EXPECT_LT(heapHeld, 4u << 20) << "the stream must not hold the decoded music";
    audio::freeStream(h);
    audio::freeOutput();
}

}  // namespace
