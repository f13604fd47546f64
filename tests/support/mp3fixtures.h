#pragma once
// MP3 files made at test time from generated tones, with lame or ffmpeg.
#include <cstdint>
#include <string>

namespace testsupport {

enum class Mp3Encoder { Any, Lame, Ffmpeg };

// Writes a 16-bit PCM WAV file of a sine tone (440 Hz left, 660 Hz right)
// with exactly `frames` sample frames. False when the file cannot be written.
bool writeToneWav(const std::string& path, int rate, int channels, std::uint64_t frames);

// Encodes a tone of round(seconds x rate) frames to an MP3 at `path`, at the
// given rate and channel count, constant (128 kbit/s) or variable bit rate.
// Any prefers lame and falls back to ffmpeg. False (with the reason on
// stderr) when no encoder is installed or encoding fails.
bool makeToneMp3(const std::string& path, int rate, int channels, double seconds, bool vbr,
                 Mp3Encoder encoder = Mp3Encoder::Any);

// The same tone, made once per build tree and kept under
// <build>/fixtures/mp3/ for later tests and test processes; the path, or ""
// when it cannot be made. Safe to call from test processes running at once.
std::string cachedToneMp3(int rate, int channels, double seconds, bool vbr, Mp3Encoder encoder = Mp3Encoder::Any);

// Frames that ffmpeg decodes from a file (`ffmpeg -i f -f f32le -`), or -1.
std::int64_t ffmpegDecodedFrames(const std::string& path, int channels);

}  // namespace testsupport
