// X errors under the x11 driver. Xlib's default handler prints and exits, and
// SDL's own one restores display modes from inside the handler, where Xlib
// may not be called (it hangs). Ours only notes that the window is gone; the
// frame loop then ends the run through the normal shutdown.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/sdl/backend_sdl.h"

namespace platform::sdl {
namespace {

int onXError(Display*, XErrorEvent*) {
    backend().windowLost = 1;
    return 0;
}

}  // namespace

void watchX11Errors() {
    XSetErrorHandler(onXError);
    // DestroyNotify of the demo's window comes through as a system event.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void rememberXWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    backend().xWindow = 0;
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        backend().xWindow = info.info.x11.window;
        backend().xDisplay = info.info.x11.display;
    }
}

void forgetXWindow() { backend().xWindow = 0; }

void flushX11Errors() {
    // Errors still on their way (requests on a window destroyed from outside)
    // come to our handler now: SDL puts Xlib's own back before it closes the
    // connection, and that one would end the process.
    if (backend().xDisplay) XSync(static_cast<Display*>(backend().xDisplay), False);
    backend().xDisplay = nullptr;
}

bool isOurWindowDestroyed(const SDL_Event& e) {
    if (e.type != SDL_SYSWMEVENT || !e.syswm.msg || e.syswm.msg->subsystem != SDL_SYSWM_X11) return false;
    if (backend().xWindow == 0) return false;
    const XEvent& x = e.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && x.xdestroywindow.window == backend().xWindow;
}

}  // namespace platform::sdl
