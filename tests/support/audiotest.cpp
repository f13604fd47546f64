#include "support/audiotest.h"

#include "support/mp3fixtures.h"
#include "support/support.h"

namespace audiotest {

const std::string& scratchDir() {
    static testsupport::TempDir dir;
    return dir.path();
}

const std::vector<ToneFile>& toneFiles() {
    static const std::vector<ToneFile> files = [] {
        using testsupport::Mp3Encoder;
        struct Tone {
            int rate, channels;
            bool vbr;
            Mp3Encoder encoder;
            const char* name;
        };
        const Tone tones[] = {
            {44100, 1, false, Mp3Encoder::Lame, "lame"},   {44100, 2, true, Mp3Encoder::Lame, "lame"},
            {48000, 1, true, Mp3Encoder::Lame, "lame"},    {48000, 2, false, Mp3Encoder::Lame, "lame"},
            {44100, 2, false, Mp3Encoder::Ffmpeg, "ffmpeg"}, {48000, 1, true, Mp3Encoder::Ffmpeg, "ffmpeg"},
        };
        std::vector<ToneFile> made;
        for (const Tone& s : tones) {
            std::string path = testsupport::cachedToneMp3(s.rate, s.channels, 3.3, s.vbr, s.encoder);
            if (!path.empty()) made.push_back({path, s.rate, s.channels, s.vbr, s.name});
        }
        return made;
    }();
    return files;
}

const std::string& longTone() {
    static const std::string path = testsupport::cachedToneMp3(44100, 2, 7.0, false);
    return path;
}

const ToneFile* findToneFile(int rate, int channels) {
    const ToneFile* found = nullptr;
    for (const auto& f : toneFiles())
        if (f.rate == rate && f.channels == channels) found = &f;
    return found;
}

}  // namespace audiotest
