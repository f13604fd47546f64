// Our GL 1.1 subset as the program's OpenGL on the desktop: an OpenGL ES 2
// context from SDL (EGL on Mesa), whose entry points the subset reaches
// through SDL's loader. The subset defines the GL 1.1 names itself, so the ES 2
// functions of the same names can only be had as pointers.
#include <SDL.h>

#include "platform/glbinding.h"
#include "platform/glsubset.h"

namespace platform::glbinding {

bool requestContext() {
    return SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0) == 0;
}

bool contextMade(std::string& why) { return glsubset::start(SDL_GL_GetProcAddress, why); }

void beforeSwap() { glsubset::flushBatch(); }

void contextGone() { glsubset::stop(); }

}  // namespace platform::glbinding
