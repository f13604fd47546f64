#include "textures/textures.h"

#include <lodepng.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/datafile.h"
#include "common/loadstatus.h"
#include "textures/pngheader.h"

Texture bordTexture;
Texture endTexture;
Texture bakTexture;
Texture plimTexture;
Texture logoTexture;
Texture bord2Texture;
Texture greetTextures[greetTextureCount];

const char* const greetPaths[greetTextureCount] = {
    "data/Grafik/greets.png", "data/Grafik/greet1.png", "data/Grafik/greet2.png", "data/Grafik/greet3.png",
    "data/Grafik/greet4.png", "data/Grafik/greet5.png", "data/Grafik/greet6.png", "data/Grafik/greet7.png",
    "data/Grafik/greet8.png", "data/Grafik/krund.png",
};

namespace {

// One message per file, although a file may be loaded into more than one record.
void reportLoadFailure(const char* path, const std::string& reason) {
    static std::set<std::string> reported;
    if (reported.insert(path).second) loadMessages.push_back(std::string(path) + ": cannot load image: " + reason);
    loadFailed = true;
}

// The reason a file's first bytes rule out decoding it, or empty when it
// may be decoded.
std::string headerProblem(const std::vector<unsigned char>& bytes) {
    PngHeader header = readPngHeader(bytes.data(), std::min<std::size_t>(bytes.size(), pngHeaderBytes));
    if (!header.valid) return header.why;
    GLint glLimit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &glLimit);
    return pictureSizeProblem(header, pictureSideLimit(glLimit));
}

// The file's bytes, read once: the header is checked on the first of them,
// so that a picture too large to decode is refused before the rest is read.
// False with the reason when it cannot be read or decoded.
bool readPictureFile(const char* path, std::vector<unsigned char>& bytes, std::string& why) {
    std::FILE* f = openDataStream(path, why);
    if (!f) return false;
    bytes.clear();
    unsigned char chunk[1 << 16];
    std::size_t got = 0;
    bool headerChecked = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (!headerChecked && bytes.size() >= pngHeaderBytes) {
            headerChecked = true;
            if (!(why = headerProblem(bytes)).empty()) break;
        }
    }
    const int readError = std::ferror(f) ? errno : 0;
    std::fclose(f);
    if (readError != 0) why = std::strerror(readError);
    if (why.empty() && !headerChecked) why = headerProblem(bytes);
    return why.empty();
}

}  // namespace

GLuint loadTexture(const char* path, Texture& texture) {
    // A record that was loaded before (a second start-up in one process)
    // gives its picture back first. Its GL name is left alone: it belongs to
    // the context it was made in, which may be gone.
    std::free(texture.pixels);
    texture.pixels = nullptr;
    texture.width = 0;
    texture.height = 0;
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!readPictureFile(path, bytes, problem)) {
        reportLoadFailure(path, problem);
        return 0;
    }
    unsigned width = 0, height = 0;
    unsigned error = lodepng_decode32(&texture.pixels, &width, &height, bytes.data(), bytes.size());
    if (error != 0 && texture.pixels) {
        std::free(texture.pixels);
        texture.pixels = nullptr;
    }
    if (!texture.pixels) {
        reportLoadFailure(path, error ? lodepng_error_text(error) : "no image data");
        return 0;
    }
    texture.width = width;
    texture.height = height;

    glGenTextures(1, &texture.glName);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, texture.pixels);
    return texture.glName;
}
