// Our GL 1.1 subset as the program's OpenGL in a browser: WebGL 1 is OpenGL
// ES 2, whose entry points Emscripten hands out by name.
#include <emscripten/html5_webgl.h>

#include "platform/glbinding.h"
#include "platform/glsubset.h"

namespace platform::glbinding {

bool requestContext() { return true; }

bool contextMade(std::string& why) { return glsubset::start(emscripten_webgl_get_proc_address, why); }

void beforeSwap() { glsubset::flushBatch(); }

void contextGone() { glsubset::stop(); }

}  // namespace platform::glbinding
