#include "textures/pngheader.h"

#include <cstring>

namespace {

const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

PngHeader invalid(std::string why) {
    PngHeader header;
    header.why = std::move(why);
    return header;
}

}  // namespace

PngHeader readPngHeader(const unsigned char* bytes, std::size_t length) {
    if (!bytes || length < sizeof pngSignature || std::memcmp(bytes, pngSignature, sizeof pngSignature) != 0) {
        return invalid(length == 0 ? "the file is empty" : "not a PNG file (no PNG signature)");
    }
    if (length < pngHeaderBytes) return invalid("the file ends inside the PNG header");
    if (bigEndian32(bytes + 8) != 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0) {
        return invalid("the PNG file does not begin with its IHDR header");
    }
    PngHeader header;
    header.width = bigEndian32(bytes + 16);
    header.height = bigEndian32(bytes + 20);
    if (header.width == 0 || header.height == 0) {
        return invalid("the PNG header declares a size of " + std::to_string(header.width) + " x " +
                       std::to_string(header.height) + " pixels");
    }
    header.valid = true;
    return header;
}

std::uint32_t pictureSideLimit(long glMaxTextureSize) {
    if (glMaxTextureSize <= 0 || glMaxTextureSize >= static_cast<long>(pictureSideBound)) return pictureSideBound;
    return static_cast<std::uint32_t>(glMaxTextureSize);
}

std::string pictureSizeProblem(const PngHeader& header, std::uint32_t sideLimit) {
    if (header.width <= sideLimit && header.height <= sideLimit) return {};
    return std::to_string(header.width) + " x " + std::to_string(header.height) + " pixels, larger than the " +
           std::to_string(sideLimit) + " x " + std::to_string(sideLimit) + " that textures can have here";
}
