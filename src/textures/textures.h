#pragma once
// Loading the demo's images into OpenGL textures, and the fixed texture set.
#include <GL/gl.h>

#include <cstdint>

struct Texture {
    unsigned char* pixels = nullptr;  // 8-bit RGBA, top row first; owned
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    GLuint glName = 0;
};

extern Texture bordTexture;
extern Texture endTexture;
extern Texture bakTexture;
extern Texture plimTexture;
extern Texture logoTexture;
extern Texture bord2Texture;
inline constexpr int greetTextureCount = 10;
extern Texture greetTextures[greetTextureCount];  // greets, greet1..greet8, krund

inline constexpr const char* bordPath = "data/Grafik/bord.png";
inline constexpr const char* endPath = "data/Grafik/end.png";
inline constexpr const char* bakPath = "data/Grafik/bak.png";
inline constexpr const char* plimPath = "data/Grafik/plim.png";
inline constexpr const char* logoPath = "data/Grafik/tarnwicklogo.png";
extern const char* const greetPaths[greetTextureCount];

// Decodes the PNG at `path` and uploads it. Returns the texture name, or 0
// when the file cannot be read or decoded: then loadFailed is set and one
// line naming the file and the reason goes to stderr. A record loaded before
// is emptied first (its pixels freed), whatever the outcome.
GLuint loadTexture(const char* path, Texture& texture);
