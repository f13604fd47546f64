// The shipped music, decoded: length, headroom, silence at the end, and
// accents where the pictures hit.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "accents.h"
#include "support/support.h"

namespace {

constexpr double kRowSeconds = 0.125;  // a quarter beat at 120 bpm

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> mono;  // (left + right) / 2
    float peak = 0;           // over both channels
    std::string error;
};

Decoded decodeMp3(const std::string& path) {
    Decoded d;
    mpg123_init();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        d.error = "mpg123_new failed";
        return d;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO | MPG123_MONO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
        d.error = "cannot open " + path;
        mpg123_delete(mh);
        return d;
    }
    int enc = 0;
    mpg123_getformat(mh, &d.rate, &d.channels, &enc);
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        size_t got = 0;
        int rc = mpg123_read(mh, buf.data(), buf.size(), &got);
        const float* f = reinterpret_cast<const float*>(buf.data());
        size_t n = got / sizeof(float);
        for (size_t i = 0; i + d.channels <= n; i += d.channels) {
            float sum = 0;
            for (int c = 0; c < d.channels; ++c) {
                sum += f[i + c];
                d.peak = std::max(d.peak, std::fabs(f[i + c]));
            }
            d.mono.push_back(sum / d.channels);
        }
        if (rc == MPG123_DONE) break;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            d.error = std::string("decode error: ") + mpg123_strerror(mh);
            break;
        }
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    return d;
}

// A plain energy-rise onset detector: short-time energy in 256-sample
// windows every 64 samples; an onset where a window holds at least four
// times (6 dB over) the mean energy of the windows 10 to 35 ms before it,
// above a floor, at most one per 50 ms. Times are window centres in seconds.
std::vector<double> detectOnsets(const std::vector<float>& x, double rate) {
    const int hop = 64, win = 256, refFrom = 24, refTo = 6;
    std::vector<double> energy;
    for (size_t s = 0; s + win <= x.size(); s += hop) {
        double e = 0;
        for (int i = 0; i < win; ++i) e += static_cast<double>(x[s + i]) * x[s + i];
        energy.push_back(e / win);
    }
    std::vector<double> onsets;
    double last = -1;
    for (size_t n = 0; n < energy.size(); ++n) {
        double ref = 0;
        for (int k = static_cast<int>(n) - refFrom; k <= static_cast<int>(n) - refTo; ++k) ref += k >= 0 ? energy[k] : 0.0;
        ref /= (refFrom - refTo + 1);
        double t = (n * hop + win / 2) / rate;
        if (energy[n] > 4 * ref + 1e-7 && energy[n] > 1e-5 && t - last > 0.05) {
            onsets.push_back(t);
            last = t;
        }
    }
    return onsets;
}

double nearest(const std::vector<double>& onsets, double t) {
    double best = 1e9;
    for (double o : onsets)
        if (std::fabs(o - t) < std::fabs(best)) best = o - t;
    return best;
}

class ShippedMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        music = new Decoded(decodeMp3(testsupport::sourceDir() + "/data/musik/musik.mp3"));
        if (music->error.empty()) onsets = new std::vector<double>(detectOnsets(music->mono, music->rate));
    }
    static void TearDownTestSuite() {
        delete music;
        delete onsets;
        music = nullptr;
        onsets = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(music->error.empty()) << music->error; }
    static Decoded* music;
    static std::vector<double>* onsets;
};
Decoded* ShippedMusic::music = nullptr;
std::vector<double>* ShippedMusic::onsets = nullptr;

}  // namespace

TEST_F(ShippedMusic, IsStereo44kAndLastsPastTheEndOfTheSchedule) {
    EXPECT_EQ(music->rate, 44100);
    EXPECT_EQ(music->channels, 2);
    double seconds = music->mono.size() / 44100.0;
    EXPECT_GT(seconds, 754 * kRowSeconds);
    EXPECT_NEAR(seconds, 100.0, 0.05);
}

TEST_F(ShippedMusic, PeaksBelowFullScaleAndIsSilentAfterRow752) {
    EXPECT_LT(music->peak, 0.95f);
    EXPECT_GT(music->peak, 0.3f) << "suspiciously quiet";
    float tail = 0;
    for (size_t i = static_cast<size_t>(752.5 * kRowSeconds * 44100); i < music->mono.size(); ++i)
        tail = std::max(tail, std::fabs(music->mono[i]));
    EXPECT_LT(tail, 0.002f);
}

TEST_F(ShippedMusic, EveryAccentRowHasAnOnsetWithin30Ms) {
    for (int row : accentRows()) {
        double off = nearest(*onsets, row * kRowSeconds);
        EXPECT_LT(std::fabs(off), 0.030) << "row " << row << ": nearest onset " << off * 1000 << " ms away";
    }
}

TEST_F(ShippedMusic, TheDetectorIsSelectiveSoTheAccentCheckMeansSomething) {
    // Onsets are sparse, and times half a row off the accents mostly find none.
    double seconds = music->mono.size() / 44100.0;
    EXPECT_LT(onsets->size() / seconds, 4.0);
    int hits = 0;
    std::vector<int> rows = accentRows();
    for (int row : rows)
        if (std::fabs(nearest(*onsets, (row + 0.5) * kRowSeconds)) < 0.030) ++hits;
    EXPECT_LT(hits, static_cast<int>(rows.size()) / 4);
}
