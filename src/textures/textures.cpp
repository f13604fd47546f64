#include "textures/textures.h"

#include <lodepng.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

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

// Why a file could not be loaded, in words a person can act on.
const char* loadFailureReason(const char* path, unsigned error) {
    if (FILE* f = std::fopen(path, "rb")) {
        std::fclose(f);
        return error ? lodepng_error_text(error) : "no image data";
    }
    return std::strerror(errno);
}

// One message per file, although a file may be loaded into more than one record.
void reportLoadFailure(const char* path, const std::string& reason) {
    static std::set<std::string> reported;
    if (reported.insert(path).second) loadMessages.push_back(std::string(path) + ": cannot load image: " + reason);
    loadFailed = true;
}

// The reason the file's header rules out decoding it, or empty when it may be
// decoded.
std::string headerProblem(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return std::strerror(errno);
    unsigned char bytes[pngHeaderBytes];
    std::size_t got = std::fread(bytes, 1, sizeof bytes, f);
    const int readError = std::ferror(f) ? errno : 0;
    std::fclose(f);
    if (readError != 0) return std::strerror(readError);
    PngHeader header = readPngHeader(bytes, got);
    if (!header.valid) return header.why;
    GLint glLimit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &glLimit);
    return pictureSizeProblem(header, pictureSideLimit(glLimit));
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
    const std::string problem = headerProblem(path);
    if (!problem.empty()) {
        reportLoadFailure(path, problem);
        return 0;
    }
    unsigned width = 0, height = 0;
    unsigned error = lodepng_decode32_file(&texture.pixels, &width, &height, path);
    if (error != 0 && texture.pixels) {
        std::free(texture.pixels);
        texture.pixels = nullptr;
    }
    if (!texture.pixels) {
        reportLoadFailure(path, loadFailureReason(path, error));
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
