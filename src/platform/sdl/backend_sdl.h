#pragma once
// The desktop backend's state in one record, and what its files (window,
// signals, pacing, X11 errors) offer each other. Only src/platform/sdl/
// includes this.
#include <SDL.h>

#include <csignal>
#include <cstdint>

namespace platform::sdl {

struct Backend {
    // Set by the signal handler: the program was asked to end.
    volatile std::sig_atomic_t interrupted = 0;
    // Set by the X error handler: the window system refused a request, which
    // for this program means its window is gone (destroyed from outside).
    volatile std::sig_atomic_t windowLost = 0;
    unsigned long xWindow = 0;    // the demo's X window, to match DestroyNotify
    void* xDisplay = nullptr;     // SDL's X connection (Display*) while a window exists on it
    // Whether a display refresh paces the swaps; until swap control is known
    // to work, frames are finished at every swap.
    bool swapsArePaced = false;
    // Where no refresh paces the swaps, when the next one is due (steady
    // clock, nanoseconds; 0 before the first).
    std::int64_t nextSwapNs = 0;
};

// Constant-initialised, so that a signal handler may write to it at any time.
extern Backend backendState;
inline Backend& backend() { return backendState; }

// x11errors_sdl.cpp: X errors end the run in order instead of the process.
void watchX11Errors();                       // once the x11 driver has started
void rememberXWindow(SDL_Window* window);    // a window was made
void forgetXWindow();                        // it is about to be destroyed
void flushX11Errors();                       // before the video subsystem quits
bool isOurWindowDestroyed(const SDL_Event& event);

// pacing_sdl.cpp: sleeps until the display's next refresh slot.
void paceSwap(SDL_Window* window);

}  // namespace platform::sdl
