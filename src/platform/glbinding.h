#pragma once
// The OpenGL behind the program's GL 1.1 calls, chosen when a program is
// linked, never at run time:
//
//   sdl/glbinding_desktop.cpp  the system's OpenGL (libGL): a desktop context,
//                              nothing to load
//   sdl/glbinding_es2.cpp      our GL 1.1 subset over OpenGL ES 2 (glsubset.h): an
//                              ES 2 context, whose entry points the subset loads
//                              once it exists
//   web/glbinding_web.cpp      the same subset over the browser's WebGL 1 (the web build)
//
// The window layer asks it which context to make, and tells it when one has
// been made, when a frame is about to be shown and when the context goes.
// Nothing above the platform layer knows which GL it draws through.
#include <string>

namespace platform::glbinding {

// Sets the context attributes this GL needs. Called after the video subsystem
// has started and before the window is made.
bool requestContext();
// The context just made is current. False, with the reason, when this GL
// cannot draw with it.
bool contextMade(std::string& why);
// Everything drawn so far must reach the back buffer: it is about to be shown.
void beforeSwap();
// The context is about to be deleted (it may no longer be current).
void contextGone();

}  // namespace platform::glbinding
