// What reaches the device: SDL's disk driver writes every buffer it is given
// to a file, so the test can listen to it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/audiotest.h"
#include "support/support.h"

namespace {

struct Fit {
    int lag = 0;
    double amplitude = 0;
};

// Finds the shift (in frames) at which `channel` of the interleaved stereo
// output from `start` on best matches a sine of `freq` whose phase is that of
// `t0` seconds into the tone, and the sine's amplitude there.
Fit fitTone(const std::vector<float>& out, std::size_t start, int channel, double freq, double t0) {
    const std::size_t n = 4800;
    Fit best;
    double bestScore = -1e9;
    for (int lag = -60; lag <= 60; ++lag) {
        double dot = 0;
        for (std::size_t j = 0; j < n; ++j) {
            double t = t0 + (static_cast<double>(j) + lag) / 48000.0;
            dot += out[(start + j) * 2 + channel] * std::sin(2.0 * M_PI * freq * t);
        }
        if (dot > bestScore) {
            bestScore = dot;
            best.lag = lag;
            best.amplitude = 2.0 * dot / n;
        }
    }
    return best;
}

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (audiotest::toneFiles().empty()) GTEST_SKIP() << "no MP3 encoder";
        rawFile = audiotest::scratchDir() + "/device-output.raw";
        std::remove(rawFile.c_str());
        previousDriver = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", rawFile.c_str(), 1);
        testing::internal::CaptureStderr();  // the disk driver announces itself
        audiotest::useClock(audio::Clock::Device);
        testing::internal::GetCapturedStderr();
        if (audio::activeClock() != audio::Clock::Device) GTEST_SKIP() << "SDL has no disk audio driver";
    }
    void TearDown() override {
        audio::freeOutput();
        if (previousDriver.empty()) unsetenv("SDL_AUDIODRIVER");
        else setenv("SDL_AUDIODRIVER", previousDriver.c_str(), 1);
    }

    // Plays `file` from `seconds` at `volume` for a moment and returns what
    // the device received, with the index of the frame where the stream's
    // sound begins.
    std::vector<float> play(const audiotest::ToneFile& file, double seconds, float volume, std::size_t& start) {
        std::string why;
        audio::StreamHandle h = audio::createFileStream(file.path, why);
        EXPECT_NE(h, 0u) << why;
        audio::setVolume(h, volume);
        audio::setPosition(h, audio::secondsToBytes(h, seconds));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        audio::playChannel(h, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        audio::freeOutput();  // closes the file
        std::string bytes = testsupport::readFile(rawFile);
        std::vector<float> out(bytes.size() / sizeof(float));
        std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
        // Sound starts with a device buffer: the first one that is not silent.
        start = out.size() / 2;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] != 0.0f) {
                start = (i / 2) / 1024 * 1024;
                break;
            }
        }
        return out;
    }

    std::string rawFile, previousDriver;
};

// A 48 kHz stereo tone needs no conversion: after a seek the sound continues
// at exactly the frame sought, scaled by the volume.
TEST_F(OutputTest, SeekLandsOnTheExactFrameAndVolumeScales) {
    const audiotest::ToneFile* file = audiotest::findToneFile(48000, 2);
    if (!file) GTEST_SKIP();
    std::size_t start = 0;
    std::vector<float> out = play(*file, 1.7, 0.5f, start);
    ASSERT_GE(out.size() / 2, start + 4800) << "too little output";
    double t0 = 81600.0 / 48000.0;  // 1.7 s
    Fit left = fitTone(out, start, 0, 440.0, t0), right = fitTone(out, start, 1, 660.0, t0);
    EXPECT_EQ(left.lag, 0);
    EXPECT_EQ(right.lag, 0);
    EXPECT_NEAR(left.amplitude, 0.25, 0.02);
    EXPECT_NEAR(right.amplitude, 0.25, 0.02);
}

// A 44.1 kHz mono tone is converted to the device's 48 kHz stereo.
TEST_F(OutputTest, OtherRatesAndChannelCountsAreConverted) {
    const audiotest::ToneFile* file = audiotest::findToneFile(44100, 1);
    if (!file) GTEST_SKIP();
    std::size_t start = 0;
    std::vector<float> out = play(*file, 0.9, 1.0f, start);
    ASSERT_GE(out.size() / 2, start + 4800) << "too little output";
    for (int channel = 0; channel < 2; ++channel) {
        Fit fit = fitTone(out, start, channel, 440.0, 0.9);
        EXPECT_LE(std::abs(fit.lag), 4) << "channel " << channel;  // the resampler's own delay
        EXPECT_NEAR(fit.amplitude, 0.5, 0.05) << "channel " << channel;
    }
}

}  // namespace
