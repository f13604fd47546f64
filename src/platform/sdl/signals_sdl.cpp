// SIGINT, SIGTERM and SIGHUP as a request to end, which the event queue
// reports as Quit and the tools poll.
#include <signal.h>

#include <cstring>
#include <initializer_list>

#include "platform/interrupts.h"
#include "platform/sdl/backend_sdl.h"

namespace platform {
namespace {

void onInterrupt(int) { sdl::backend().interrupted = 1; }

}  // namespace

void catchInterrupts() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

bool interruptRequested() { return sdl::backend().interrupted != 0; }

void setInterruptRequested(bool requested) { sdl::backend().interrupted = requested ? 1 : 0; }

}  // namespace platform
