#include "support/mp3fixtures.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/support.h"

namespace testsupport {
namespace {

void put16(std::ofstream& out, std::uint16_t v) {
    char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(b, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

}  // namespace

bool writeToneWav(const std::string& path, int rate, int channels, std::uint64_t frames) {
    if (rate <= 0 || channels < 1 || channels > 2) return false;
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(channels));
    put32(out, static_cast<std::uint32_t>(rate));
    put32(out, static_cast<std::uint32_t>(rate * channels * 2));
    put16(out, static_cast<std::uint16_t>(channels * 2));
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    std::vector<char> block;
    block.reserve(4096 * channels * 2);
    const double freqs[2] = {440.0, 660.0};
    for (std::uint64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            double v = 0.5 * std::sin(2.0 * M_PI * freqs[c] * static_cast<double>(i) / rate);
            auto sample = static_cast<std::int16_t>(std::lround(v * 32767.0));
            block.push_back(static_cast<char>(sample & 0xff));
            block.push_back(static_cast<char>((sample >> 8) & 0xff));
        }
        if (block.size() >= 4096 * 2 * 2) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    return static_cast<bool>(out);
}

bool makeToneMp3(const std::string& path, int rate, int channels, double seconds, bool vbr, Mp3Encoder encoder) {
    if (encoder == Mp3Encoder::Any) encoder = haveCommand("lame") ? Mp3Encoder::Lame : Mp3Encoder::Ffmpeg;
    const char* tool = encoder == Mp3Encoder::Lame ? "lame" : "ffmpeg";
    if (!haveCommand(tool)) {
        std::fprintf(stderr, "makeToneMp3: %s is not installed\n", tool);
        return false;
    }
    const std::string wav = path + ".tone.wav";
    auto frames = static_cast<std::uint64_t>(std::llround(seconds * rate));
    if (!writeToneWav(wav, rate, channels, frames)) {
        std::fprintf(stderr, "makeToneMp3: cannot write %s\n", wav.c_str());
        return false;
    }
    std::string command;
    if (encoder == Mp3Encoder::Lame) {
        // --resample keeps lame from lowering the rate at low bit rates.
        char khz[32];
        std::snprintf(khz, sizeof khz, "%g", rate / 1000.0);
        command = std::string("lame --quiet --resample ") + khz + (channels == 1 ? " -m m" : " -m j") +
                  (vbr ? " -V 4" : " --cbr -b 128") + " " + quoted(wav) + " " + quoted(path);
    } else {
        // The format is named: the file is made under a temporary name
        // whose extension ffmpeg cannot read it from.
        command = "ffmpeg -nostdin -loglevel error -y -i " + quoted(wav) + " -ar " + std::to_string(rate) +
                  " -ac " + std::to_string(channels) + " -c:a libmp3lame " + (vbr ? "-q:a 4" : "-b:a 128k") + " -f mp3 " +
                  quoted(path);
    }
    bool ok = shell(command + " 2>&1");
    std::remove(wav.c_str());
    if (!ok) std::fprintf(stderr, "makeToneMp3: failed: %s\n", command.c_str());
    return ok;
}

std::string cachedToneMp3(int rate, int channels, double seconds, bool vbr, Mp3Encoder encoder) {
    if (encoder == Mp3Encoder::Any) encoder = haveCommand("lame") ? Mp3Encoder::Lame : Mp3Encoder::Ffmpeg;
    char name[128];
    std::snprintf(name, sizeof name, "tone-%s-%d-%d-%gs-%s.mp3", encoder == Mp3Encoder::Lame ? "lame" : "ffmpeg", rate,
                  channels, seconds, vbr ? "vbr" : "cbr");
    const std::filesystem::path dir = std::filesystem::path(binaryDir()) / "fixtures" / "mp3";
    const std::filesystem::path path = dir / name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path.string();
    std::filesystem::create_directories(dir, ec);
    // Made under a name of its own and renamed, so that a process running
    // beside this one never sees half a file.
    const std::string partial = path.string() + ".part" + std::to_string(getpid());
    if (!makeToneMp3(partial, rate, channels, seconds, vbr, encoder)) {
        std::remove(partial.c_str());
        return "";
    }
    std::filesystem::rename(partial, path, ec);
    if (ec) {
        std::remove(partial.c_str());
        return std::filesystem::is_regular_file(path) ? path.string() : "";
    }
    return path.string();
}

std::int64_t ffmpegDecodedFrames(const std::string& path, int channels) {
    if (!haveCommand("ffmpeg") || channels <= 0) return -1;
    const std::string raw = path + ".f32";
    bool ok = shell("ffmpeg -nostdin -loglevel error -y -i " + quoted(path) + " -f f32le " + quoted(raw));
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::int64_t bytes = ok && in ? static_cast<std::int64_t>(in.tellg()) : -1;
    std::remove(raw.c_str());
    return bytes < 0 ? -1 : bytes / (4LL * channels);
}

}  // namespace testsupport
