// Message boxes, each shown by a child process of its own (see messageBox in
// messagebox.h): the program waits for the answer without blocking its signals,
// and takes the box down with it however it ends.
#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/interrupts.h"
#include "platform/messagebox.h"

namespace platform {
namespace {

// The box itself, shown by this process: 'O', 'Y' or 'N', or 'F' followed by
// SDL's reason when no box could be shown.
std::string showBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon) {
    Uint32 flags = icon == BoxIcon::Information ? SDL_MESSAGEBOX_INFORMATION
                   : icon == BoxIcon::Stop      ? SDL_MESSAGEBOX_ERROR
                                                : SDL_MESSAGEBOX_WARNING;
    const SDL_MessageBoxButtonData yesNo[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    const SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"},
    };
    const bool isYesNo = buttons == BoxButtons::YesNo;
    SDL_MessageBoxData data{flags, nullptr, caption, text, isYesNo ? 2 : 1, isYesNo ? yesNo : ok, nullptr};
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) return std::string("F") + SDL_GetError();
    if (!isYesNo) return "O";
    return pressed == 1 ? "Y" : "N";
}

// In the box's process: a signal (the program's death included, see below)
// takes down this process and whatever SDL started to show the box.
void endBoxGroup(int) { kill(0, SIGKILL); }

// Shows the box from a child process in a process group of its own, and
// waits for its answer, or for a signal to this program. Empty when no child
// could be started. (The child shares SDL's X connection but never uses it:
// SDL opens a connection of its own for a box, and the demo shows its boxes
// only while it has no window.)
std::string showBoxInChild(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return "";
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return "";
    }
    if (child == 0) {
        close(fds[0]);
        setpgid(0, 0);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, endBoxGroup);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // the program's end, even by SIGKILL
        if (getppid() != parent) _exit(0);
        const std::string answer = showBox(text, caption, buttons, icon);
        ssize_t written = write(fds[1], answer.data(), answer.size());
        (void)written;
        _exit(0);
    }
    setpgid(child, child);  // also here: either may run first
    close(fds[1]);
    std::string answer;
    bool interrupted = false;
    for (;;) {
        if (interruptRequested()) {
            interrupted = true;
            kill(-child, SIGKILL);
            kill(child, SIGKILL);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buffer[512];
        ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (interrupted) return "I";
    return answer.empty() ? "Fthe message box ended without an answer" : answer;
}

}  // namespace

BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (interruptRequested()) return BoxAnswer::Interrupted;
    std::string answer = showBoxInChild(text, caption, buttons, icon);
    if (answer.empty()) answer = showBox(text, caption, buttons, icon);
    switch (answer[0]) {
        case 'I': return BoxAnswer::Interrupted;
        case 'Y': return BoxAnswer::Yes;
        case 'O': return BoxAnswer::Ok;
        case 'N': return BoxAnswer::No;
        default: break;
    }
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;  // its text is on stderr
    std::fprintf(stderr, "%s: no message box could be shown (%s); answering No\n", caption, answer.c_str() + 1);
    return BoxAnswer::No;
}

}  // namespace platform
