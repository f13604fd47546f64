// The system's OpenGL: SDL's default attributes already ask for a desktop
// context, and libGL draws every call as it comes.
#include "platform/glbinding.h"

namespace platform::glbinding {

bool requestContext() { return true; }
bool contextMade(std::string&) { return true; }
void beforeSwap() {}
void contextGone() {}

}  // namespace platform::glbinding
