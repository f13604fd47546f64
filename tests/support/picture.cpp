#include "support/picture.h"

#include <lodepng.h>

#include <cstdlib>

namespace testsupport {

RgbPicture readPngRgb(const std::string& path) {
    RgbPicture p;
    unsigned char* data = nullptr;
    if (lodepng_decode24_file(&data, &p.width, &p.height, path.c_str()) == 0) {
        p.rgb.assign(data, data + static_cast<std::size_t>(p.width) * p.height * 3);
    }
    std::free(data);
    return p;
}

}  // namespace testsupport
