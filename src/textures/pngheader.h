#pragma once
// A PNG file's picture size, read from its header before anything is decoded,
// and the largest picture the demo takes.
#include <cstddef>
#include <cstdint>
#include <string>

// What the first bytes of a PNG file say: the 8-byte signature, then the
// IHDR chunk (length 13, "IHDR", width and height big-endian).
struct PngHeader {
    bool valid = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string why;  // when not valid: the reason, in words a person can act on
};

// Bytes a header needs: signature, chunk length and type, width and height.
inline constexpr std::size_t pngHeaderBytes = 24;

// Reads the header from the file's first `length` bytes. Never reads past
// `length`; a size of 0 in either direction is not valid.
PngHeader readPngHeader(const unsigned char* bytes, std::size_t length);

// Pictures never exceed this side, however large the GL textures may be:
// 8192 x 8192 RGBA is already 256 MiB decoded.
inline constexpr std::uint32_t pictureSideBound = 8192;

// The largest side a picture may have when the GL implementation takes
// textures of up to `glMaxTextureSize` pixels a side: the smaller of that and
// pictureSideBound. A limit of 0 or less (the implementation did not say)
// leaves pictureSideBound.
std::uint32_t pictureSideLimit(long glMaxTextureSize);

// Empty when a picture of the header's size fits `sideLimit`; otherwise the
// reason, naming both sizes ("30000 x 30000 pixels, larger than the 8192 x
// 8192 that textures can have here").
std::string pictureSizeProblem(const PngHeader& header, std::uint32_t sideLimit);
