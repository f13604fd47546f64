#pragma once
// Helpers for running the real demo on a real X server: Xvfb started per
// test, a minimal window manager, xdotool, and screenshots of the window.
//
// Every wait polls with a generous bound: on a busy machine the demo may take
// many seconds to open its window or draw its first frame. Nothing here
// measures speed; the bounds only catch a hang.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/demodata.h"
#include "support/support.h"

namespace xtest {


using Clock = std::chrono::steady_clock;
using testsupport::TempDir;

inline constexpr double patience = 30.0;  // seconds any single step may take

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// Polls `done` every 100 ms for up to `limit` seconds.
inline bool waitUntil(const std::function<bool()>& done, double limit = patience) {
    auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > limit) return false;
        sleepSeconds(0.1);
    }
    return true;
}

inline std::string missingTools() {
    std::string missing;
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (!testsupport::haveCommand(tool)) missing += std::string(missing.empty() ? "" : ", ") + tool;
    }
    return missing;
}

#define SKIP_WITHOUT_X_TOOLS()                                                                                 \
    do {                                                                                                       \
        std::string missing = missingTools();                                                                 \
        if (!missing.empty())                                                                                  \
            GTEST_SKIP() << "needs " << missing << " (Debian: apt-get install xvfb xdotool) to run the demo " \
                         << "on an X server";                                                                  \
    } while (0)

// Xvfb on a display number it picks itself (-displayfd), ended with the test.
class XServer {
public:
    XServer(int width, int height) : XServer(std::vector<std::string>{std::to_string(width) + "x" + std::to_string(height)}) {}
    // One X screen per size ("WIDTHxHEIGHT"); SDL counts each as a display.
    // (Not joined with Xinerama: Xvfb would put every head at (0, 0), and
    // SDL, which reads displays through RandR, would see a single one.)
    explicit XServer(const std::vector<std::string>& screens) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            // Ends with the test process, whatever happens to it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            close(fds[0]);
            std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset"};
            for (std::size_t i = 0; i < screens.size(); ++i) {
                args.insert(args.end(), {"-screen", std::to_string(i), screens[i] + "x24"});
            }
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        auto start = Clock::now();
        while (pid_ > 0 && secondsSince(start) < patience) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

inline int ignoreXErrors(::Display*, XErrorEvent*) { return 0; }

// A window manager with only what these tests need: it maps windows that ask
// to be mapped, lets them place and size themselves, and iconifies (unmaps) a
// window that asks for it, as `xdotool windowminimize` does. On a bare X
// server a minimise request goes unanswered, and so would the one SDL makes
// when it minimises a fullscreen window that lost the focus.
class MiniWindowManager {
public:
    explicit MiniWindowManager(const std::string& display) {
        XSetErrorHandler(ignoreXErrors);
        dpy_ = XOpenDisplay(display.c_str());
        if (!dpy_) return;
        changeState_ = XInternAtom(dpy_, "WM_CHANGE_STATE", False);
        XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureRedirectMask | SubstructureNotifyMask);
        XSync(dpy_, False);
        thread_ = std::thread([this] { run(); });
    }
    ~MiniWindowManager() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (dpy_) XCloseDisplay(dpy_);
    }
    MiniWindowManager(const MiniWindowManager&) = delete;
    MiniWindowManager& operator=(const MiniWindowManager&) = delete;

    bool running() const { return dpy_ != nullptr; }

private:
    void run() {
        while (!stop_) {
            while (XPending(dpy_)) {
                XEvent e;
                XNextEvent(dpy_, &e);
                if (e.type == MapRequest) {
                    XMapWindow(dpy_, e.xmaprequest.window);
                } else if (e.type == ConfigureRequest) {
                    const XConfigureRequestEvent& r = e.xconfigurerequest;
                    XWindowChanges changes{r.x, r.y, r.width, r.height, r.border_width, r.above, r.detail};
                    XConfigureWindow(dpy_, r.window, static_cast<unsigned>(r.value_mask), &changes);
                } else if (e.type == ClientMessage && e.xclient.message_type == changeState_ &&
                           e.xclient.data.l[0] == IconicState) {
                    XUnmapWindow(dpy_, e.xclient.window);
                }
            }
            XFlush(dpy_);
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&p, 1, 20);
        }
    }

    ::Display* dpy_ = nullptr;
    Atom changeState_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// What the window manager sends when the user closes a window: WM_PROTOCOLS
// with WM_DELETE_WINDOW. (`xdotool windowclose` in Debian 12 destroys the
// window instead, and `windowkill` cuts the program's connection.)
inline bool sendCloseRequest(const std::string& display, unsigned long window) {
    ::Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    bool sent = XSendEvent(dpy, window, False, NoEventMask, &e) != 0;
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent;
}

// Runs a command with DISPLAY set; its standard output, trimmed. `ok` (if
// given) tells whether it exited 0.
inline std::string runOn(const XServer& x, const std::string& command, bool* ok = nullptr) {
    std::string full = "DISPLAY=" + x.display() + " " + command + " 2>/dev/null";
    FILE* pipe = popen(full.c_str(), "r");
    std::string out;
    if (pipe) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    }
    int status = pipe ? pclose(pipe) : -1;
    if (ok) *ok = status == 0;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

inline const std::regex titlePattern(R"(^Tarnwick - FPS: (\d+), time (\d+), Frames: (\d+), Delta: (\d+\.\d{6}) ms$)");

// The Frames count in a statistics title; -1 for any other title.
inline long framesIn(const std::string& title) {
    std::smatch m;
    return std::regex_match(title, m, titlePattern) ? std::stol(m[3].str()) : -1;
}

struct Geometry {
    int x = -1, y = -1, width = -1, height = -1;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// The processes of the demo's executable whose environment names `display`,
// each with its process group.
struct DemoProcess {
    pid_t pid = 0;
    pid_t group = 0;
};
inline std::vector<DemoProcess> demoProcessesOn(const std::string& display) {
    std::vector<DemoProcess> found;
    const std::string exe = std::filesystem::weakly_canonical(testsupport::demoExecutable()).string();
    const std::string wanted = "DISPLAY=" + display;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path() / "exe", error).string() != exe) continue;
        std::string environ = testsupport::readFile(entry.path().string() + "/environ");
        if (environ.find(std::string(1, '\0') + wanted + std::string(1, '\0')) == std::string::npos &&
            environ.rfind(wanted + std::string(1, '\0'), 0) != 0) {
            continue;
        }
        found.push_back({static_cast<pid_t>(std::stol(name)), getpgid(static_cast<pid_t>(std::stol(name)))});
    }
    return found;
}
inline pid_t demoProcessOn(const std::string& display) {
    for (const DemoProcess& p : demoProcessesOn(display)) {
        if (p.pid == p.group) return p.pid;
    }
    return -1;
}

// The demo running on the X server, started in the background.
class DemoOnX {
public:
    DemoOnX(const XServer& x, const std::string& workDir, std::vector<std::string> options, double timeLimit = 180)
        : x_(x) {
        std::vector<std::string> argv = {testsupport::demoExecutable()};
        argv.insert(argv.end(), options.begin(), options.end());
        std::vector<std::string> env = {"DISPLAY=" + x.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
        thread_ = std::thread([=] {
            result_ = testsupport::runProgram(argv, workDir, env, timeLimit);
            done_ = true;
        });
    }
    ~DemoOnX() {
        // A test that failed half-way leaves it running: end it.
        if (!done_ && pid_ > 0) kill(pid_, SIGKILL);
        if (thread_.joinable()) thread_.join();
    }
    DemoOnX(const DemoOnX&) = delete;
    DemoOnX& operator=(const DemoOnX&) = delete;

    bool done() const { return done_; }
    // The result once done (waits for the end, up to the time limit).
    const testsupport::RunResult& finish() {
        if (thread_.joinable()) thread_.join();
        return result_;
    }
    bool waitForEnd() { return waitUntil([this] { return done(); }); }

    // Waits for the demo's window (then window() is its id); false when none came.
    bool findWindow() {
        waitUntil([this] {
            window_ = runOn(x_, "xdotool search --name '^Tarnwick'");
            window_ = window_.substr(0, window_.find('\n'));
            return !window_.empty() || done();
        });
        if (window_.empty()) return false;
        pid_ = std::atoi(runOn(x_, "xdotool getwindowpid " + window_).c_str());
        return true;
    }
    const std::string& window() const { return window_; }
    std::string title() { return runOn(x_, "xdotool getwindowname " + window_); }
    bool viewable() {
        std::string listed = runOn(x_, "xdotool search --onlyvisible --name '^Tarnwick'");
        return listed.find(window_) != std::string::npos;
    }
    Geometry geometry() {
        std::string text = runOn(x_, "xdotool getwindowgeometry --shell " + window_);
        Geometry g;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string name = line.substr(0, eq);
            int value = std::atoi(line.c_str() + eq + 1);
            if (name == "X") g.x = value;
            if (name == "Y") g.y = value;
            if (name == "WIDTH") g.width = value;
            if (name == "HEIGHT") g.height = value;
        }
        return g;
    }
    // Frames drawn so far, as the title last told; -1 before the first title.
    long frames() { return framesIn(title()); }
    // Waits for the title to show more frames than `than`; the new count.
    long waitForFramesAbove(long than) {
        long now = -1;
        waitUntil([&] {
            now = frames();
            return now > than || done();
        });
        return now;
    }
    // The demo's process id, found without its window (for a demo that shows
    // only a message box): the process of the demo's executable that leads
    // its own process group and runs on this X server; -1 when none is.
    pid_t findPid() {
        waitUntil([this] {
            pid_ = demoProcessOn(x_.display());
            return pid_ > 0 || done();
        });
        return pid_;
    }
    // The demo's processor time so far, in seconds (user and system).
    double cpuSeconds() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        // After the name: state is field 3, utime 14, stime 15.
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14) ticks += std::atol(field.c_str());
        }
        return double(ticks) / double(sysconf(_SC_CLK_TCK));
    }
    Picture screenshot() {
        Picture p;
        std::string full = "DISPLAY=" + x_.display() + " import -window " + window_ + " -depth 8 ppm:- 2>/dev/null";
        FILE* pipe = popen(full.c_str(), "r");
        if (!pipe) return p;
        std::string bytes;
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.append(buffer, got);
        pclose(pipe);
        std::istringstream in(bytes);
        std::string magic;
        int maxval = 0;
        in >> magic >> p.width >> p.height >> maxval;
        in.get();
        size_t size = size_t(p.width) * size_t(p.height) * 3;
        if (magic != "P6" || maxval != 255 || p.width <= 0 || p.height <= 0 ||
            bytes.size() - size_t(in.tellg()) < size) {
            return Picture{};
        }
        p.rgb.assign(bytes.begin() + in.tellg(), bytes.begin() + in.tellg() + long(size));
        return p;
    }
    // Presses a key on the window and keeps it down. The demo looks at its
    // keys between frames, so a press and release that both arrive during
    // one long frame (a busy machine) go unseen, as they would on Windows.
    bool pressKey(const std::string& name) {
        bool ok = false;
        runOn(x_, "xdotool keydown --window " + window_ + " " + name, &ok);
        return ok;
    }
    bool command(const std::string& xdotoolArgs) {
        bool ok = false;
        runOn(x_, "xdotool " + xdotoolArgs, &ok);
        return ok;
    }

private:
    const XServer& x_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    testsupport::RunResult result_;
    std::string window_;
    pid_t pid_ = -1;
};

// Where the lit part of a picture lies, as fractions of its width and height.
struct Centre {
    double x = -1, y = -1;
    long lit = 0;
};
inline Centre litCentre(const Picture& p) {
    Centre c;
    double sx = 0, sy = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const unsigned char* px = &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
            if (px[0] + px[1] + px[2] < 96) continue;
            sx += x + 0.5;
            sy += y + 0.5;
            ++c.lit;
        }
    }
    if (c.lit > 0) {
        c.x = sx / double(c.lit) / p.width;
        c.y = sy / double(c.lit) / p.height;
    }
    return c;
}

// The top-level window whose name is `name`, waited for; 0 when none came.
// (Read here with Xlib: the demo's message boxes name themselves with a UTF-8
// property, which `xdotool search --name` does not match.)
inline unsigned long waitForTopLevel(const XServer& x, DemoOnX& demo, const std::string& name) {
    unsigned long found = 0;
    waitUntil([&] {
        ::Display* dpy = XOpenDisplay(x.display().c_str());
        if (!dpy) return demo.done();
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                XTextProperty text{};
                if (XGetWMName(dpy, children[i], &text) && text.value) {
                    if (std::string(reinterpret_cast<char*>(text.value), text.nitems) == name) found = children[i];
                    XFree(text.value);
                }
            }
            if (children) XFree(children);
        }
        XCloseDisplay(dpy);
        return found != 0 || demo.done();
    });
    return found;
}

}  // namespace xtest
