#include "music.h"

#include <mpg123.h>

namespace avsync {

bool decodeMusic(const std::string& path, std::vector<float>& mono, long& rate, std::string& why) {
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        why = mpg123_plain_strerror(err);
        return false;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    int channels = 0, encoding = 0;
    if (mpg123_open(mh, path.c_str()) != MPG123_OK || mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        why = path + ": " + mpg123_strerror(mh);
        mpg123_delete(mh);
        return false;
    }
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::vector<float> buffer(8192);
    mono.clear();
    for (;;) {
        std::size_t bytes = 0;
        int r = mpg123_read(mh, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(float), &bytes);
        const std::size_t n = bytes / sizeof(float) / static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < n; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c) sum += buffer[i * channels + c];
            mono.push_back(sum / channels);
        }
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK) break;
    }
    mpg123_delete(mh);
    if (mono.empty()) {
        why = path + ": no audio";
        return false;
    }
    return true;
}

}  // namespace avsync
