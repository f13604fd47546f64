// The real demo on a real X server: Xvfb with a 1280x720 screen (so that the
// fullscreen mode exists), driven with xdotool as a user would drive it with
// the keyboard and a window manager.
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

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::TempDir;

constexpr double patience = 30.0;  // seconds any single step may take

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// Polls `done` every 100 ms for up to `limit` seconds.
bool waitUntil(const std::function<bool()>& done, double limit = patience) {
    auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > limit) return false;
        sleepSeconds(0.1);
    }
    return true;
}

std::string missingTools() {
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
    XServer(int width, int height) {
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
            std::string fd = std::to_string(fds[1]);
            std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
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

int ignoreXErrors(::Display*, XErrorEvent*) { return 0; }

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
bool sendCloseRequest(const std::string& display, unsigned long window) {
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
std::string runOn(const XServer& x, const std::string& command, bool* ok = nullptr) {
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

const std::regex titlePattern(R"(^Tarnwick - FPS: (\d+), time (\d+), Frames: (\d+), Delta: (\d+\.\d{6}) ms$)");

// The Frames count in a statistics title; -1 for any other title.
long framesIn(const std::string& title) {
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
Centre litCentre(const Picture& p) {
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

class X11Window : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_X_TOOLS(); }
    // Two minutes of music at 60 bpm (4 rows a second): only the test ends
    // such a run.
    bool makeLongData() { return testsupport::makeDemoData(data.path(), {120.0, 60.0, true}); }
    TempDir data;
};

// Fullscreen on a screen that has the mode: the window covers the screen,
// the title shows the statistics, and Escape ends the run normally.
TEST_F(X11Window, FullscreenRunShowsItsStatisticsAndEndsOnEscape) {
    ASSERT_TRUE(makeLongData());
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    DemoOnX demo(x, data.path(), {});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    long first = demo.waitForFramesAbove(0);
    ASSERT_GT(first, 0) << "no statistics title; the title is '" << demo.title() << "'";
    EXPECT_TRUE(std::regex_match(demo.title(), titlePattern)) << demo.title();
    Geometry g = demo.geometry();
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, 1280);
    EXPECT_EQ(g.height, 720);
    // The title keeps counting while the demo draws.
    EXPECT_GT(demo.waitForFramesAbove(first), first);

    // A key pressed on the keyboard (XTEST), to the window with the focus.
    ASSERT_TRUE(demo.command("windowfocus " + demo.window()));
    ASSERT_TRUE(demo.command("keydown Escape"));  // held: see pressKey
    ASSERT_TRUE(demo.waitForEnd()) << "Escape did not end the run";
    const auto& run = demo.finish();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

// Windowed, on a 1920x1080 screen where (1400, 0) would leave most of the
// window off the screen: it opens centred, and closing it ends the run.
TEST_F(X11Window, WindowedRunOpensOnTheScreenAndEndsOnACloseRequest) {
    ASSERT_TRUE(makeLongData());
    XServer x(1920, 1080);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, data.path(), {"--windowed"});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    Geometry g = demo.geometry();
    EXPECT_EQ(g.x, 320);
    EXPECT_EQ(g.y, 180);
    EXPECT_EQ(g.width, 1280);
    EXPECT_EQ(g.height, 720);

    ASSERT_TRUE(sendCloseRequest(x.display(), std::stoul(demo.window())));
    ASSERT_TRUE(demo.waitForEnd()) << "the close request did not end the run";
    const auto& run = demo.finish();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

// Where (1400, 0) fits, the window goes there.
TEST_F(X11Window, WindowedRunKeepsItsPlaceWhereTheWindowFits) {
    ASSERT_TRUE(makeLongData());
    XServer x(2680, 800);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, data.path(), {"--windowed"});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    Geometry g = demo.geometry();
    EXPECT_EQ(g.x, 1400);
    EXPECT_EQ(g.y, 0);
    ASSERT_TRUE(demo.pressKey("Escape"));
    ASSERT_TRUE(demo.waitForEnd());
    EXPECT_EQ(demo.finish().exitCode, 0);
}

// Minimised, the demo draws nothing and leaves the processor alone (it waits
// for events between its swaps); restored, it draws on.
TEST_F(X11Window, MinimisedDemoDrawsNothingIdlesAndDrawsAgainWhenRestored) {
    ASSERT_TRUE(makeLongData());
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, data.path(), {});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();

    ASSERT_TRUE(demo.command("windowminimize " + demo.window()));
    ASSERT_TRUE(waitUntil([&] { return !demo.viewable(); })) << "the window was not minimised";
    // A title changes at least once a second while frames are drawn.
    sleepSeconds(1.5);
    std::string minimised = demo.title();
    double cpuBefore = demo.cpuSeconds();
    auto start = Clock::now();
    sleepSeconds(4.0);
    double cpu = demo.cpuSeconds() - cpuBefore, wall = secondsSince(start);
    EXPECT_EQ(demo.title(), minimised) << "frames were drawn while minimised";
    EXPECT_FALSE(demo.done()) << "the run ended while minimised";
    // Swapping without a pause would keep a whole core busy; waiting for
    // events between swaps leaves it nearly idle. (Processor time, not speed:
    // a busier machine only lowers it.)
    EXPECT_LT(cpu, 0.5 * wall) << cpu << " s of processor time in " << wall << " s minimised";

    long before = framesIn(minimised);
    ASSERT_TRUE(demo.command("windowmap " + demo.window()));
    EXPECT_GT(demo.waitForFramesAbove(before), before) << "no frames after the restore";
    ASSERT_TRUE(demo.pressKey("Escape"));
    ASSERT_TRUE(demo.waitForEnd());
    EXPECT_EQ(demo.finish().exitCode, 0);
}

// The music plays on while the window is minimised: when it has ended by the
// time the window is restored, the frames after the restore see its end and
// the run ends normally, instead of playing on from where it was minimised.
// (What is heard lags a device buffer behind what has been played, so a
// frame or two may still be drawn.)
TEST_F(X11Window, MusicThatEndsWhileMinimisedEndsTheRunOnRestore) {
    TempDir shortMusic;
    // 6 s of music, a schedule of 188 s.
    ASSERT_TRUE(testsupport::makeDemoData(shortMusic.path(), {6.0, 60.0, true}));
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, shortMusic.path(), {});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    ASSERT_TRUE(demo.command("windowminimize " + demo.window()));
    ASSERT_TRUE(waitUntil([&] { return !demo.viewable(); })) << "the window was not minimised";
    sleepSeconds(1.5);
    std::string minimised = demo.title();
    // Five times the music's length: it has ended, even on a busy machine.
    sleepSeconds(30.0);
    ASSERT_FALSE(demo.done()) << "the run ended without a frame";
    EXPECT_EQ(demo.title(), minimised);

    ASSERT_TRUE(demo.command("windowmap " + demo.window()));
    // The whole seconds of the titles set after the restore: had the music
    // waited for the window, it would play on for seconds, and the title
    // would show them.
    std::set<long> seconds;
    ASSERT_TRUE(waitUntil([&] {
        std::smatch m;
        std::string now = demo.title();
        if (std::regex_match(now, m, titlePattern) && now != minimised) seconds.insert(std::stol(m[2].str()));
        return demo.done();
    })) << "the run went on after the music had ended";
    if (!seconds.empty()) {
        EXPECT_LE(*seconds.rbegin() - *seconds.begin(), 1) << "frames were drawn for seconds after the restore";
    }
    const auto& run = demo.finish();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

// Another window taking the focus leaves the fullscreen demo drawing.
TEST_F(X11Window, FocusLossLeavesTheFullscreenDemoDrawing) {
    ASSERT_TRUE(makeLongData());
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, data.path(), {});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    ASSERT_TRUE(demo.command("windowfocus " + demo.window()));
    ASSERT_TRUE(waitUntil([&] { return runOn(x, "xdotool getwindowfocus") == demo.window(); }));

    std::string root = runOn(x, "xdotool search --maxdepth 0 --name ''");
    ASSERT_FALSE(root.empty());
    ASSERT_TRUE(demo.command("windowfocus " + root));
    ASSERT_TRUE(waitUntil([&] { return runOn(x, "xdotool getwindowfocus") != demo.window(); }));
    // SDL acts on a focus loss a moment later; give it time to.
    sleepSeconds(2.0);
    EXPECT_TRUE(demo.viewable()) << "the window was minimised on focus loss";
    long now = demo.frames();
    EXPECT_GT(demo.waitForFramesAbove(now), now) << "no frames drawn after the focus loss";
    ASSERT_TRUE(demo.pressKey("Escape"));
    ASSERT_TRUE(demo.waitForEnd());
    EXPECT_EQ(demo.finish().exitCode, 0);
}

// Resizing the window rescales the picture to the new size: the lit part of
// the picture stays where it was, relative to the window. (Were the viewport
// left at 1280x720, a 640x360 window would show only the lower left quarter
// of the picture.)
TEST_F(X11Window, ResizingAWindowedRunRescalesThePicture) {
    TempDir slow;
    // 15 bpm: the opening scene (rows 0 to 43) lasts 44 s, moving slowly.
    ASSERT_TRUE(testsupport::makeDemoData(slow.path(), {60.0, 15.0, true}));
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    DemoOnX demo(x, slow.path(), {"--windowed"});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    sleepSeconds(1.0);
    Picture full = demo.screenshot();
    ASSERT_EQ(full.width, 1280);
    ASSERT_EQ(full.height, 720);

    ASSERT_TRUE(demo.command("windowsize " + demo.window() + " 640 360"));
    ASSERT_TRUE(waitUntil([&] {
        Geometry g = demo.geometry();
        return g.width == 640 && g.height == 360;
    }));
    long now = demo.frames();
    demo.waitForFramesAbove(now);  // frames drawn at the new size
    Picture small = demo.screenshot();
    ASSERT_EQ(small.width, 640);
    ASSERT_EQ(small.height, 360);

    Centre a = litCentre(full), b = litCentre(small);
    ASSERT_GT(a.lit, 1000) << "too little drawn to compare";
    ASSERT_GT(b.lit, 250) << "too little drawn to compare";
    EXPECT_NEAR(b.x, a.x, 0.08);
    EXPECT_NEAR(b.y, a.y, 0.08);
    ASSERT_TRUE(demo.pressKey("Escape"));
    ASSERT_TRUE(demo.waitForEnd());
    EXPECT_EQ(demo.finish().exitCode, 0);
}

// The top-level window whose name is `name`, waited for; 0 when none came.
// (Read here with Xlib: the demo's message boxes name themselves with a UTF-8
// property, which `xdotool search --name` does not match.)
unsigned long waitForTopLevel(const XServer& x, DemoOnX& demo, const std::string& name) {
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

class X11Question : public X11Window {
protected:
    void skipWithoutBoxes(DemoOnX& demo) {
        if (demo.done() && demo.finish().err.find("no message box could be shown") != std::string::npos) {
            GTEST_SKIP() << "SDL's X11 message box needs a core X font (Debian: xfonts-base); here: "
                         << demo.finish().err;
        }
    }
};

const char* const question =
    "Vexo GL: The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// A screen without a 1280x720 mode: the demo asks whether to run in a window;
// Yes (the Return key) opens the window, centred where (1400, 0) does not
// fit, and the demo runs.
TEST_F(X11Question, AnsweringYesRunsTheDemoInAWindow) {
    ASSERT_TRUE(makeLongData());
    XServer x(1024, 768);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    DemoOnX demo(x, data.path(), {});
    unsigned long box = waitForTopLevel(x, demo, "Vexo GL");
    skipWithoutBoxes(demo);
    ASSERT_NE(box, 0u) << "no question was asked: " << demo.finish().err;
    ASSERT_TRUE(demo.command("key --window " + std::to_string(box) + " Return"));

    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
    Geometry g = demo.geometry();
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 24);
    EXPECT_EQ(g.width, 1280);
    EXPECT_EQ(g.height, 720);
    ASSERT_TRUE(demo.pressKey("Escape"));
    ASSERT_TRUE(demo.waitForEnd());
    const auto& run = demo.finish();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, std::string(question) + "\n");
}

// No (the Escape key) is answered with "Program Will Now Close." and a failed
// run; no demo window opens.
TEST_F(X11Question, AnsweringNoEndsTheRunWithAFailure) {
    ASSERT_TRUE(makeLongData());
    XServer x(1024, 768);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    DemoOnX demo(x, data.path(), {});
    unsigned long box = waitForTopLevel(x, demo, "Vexo GL");
    skipWithoutBoxes(demo);
    ASSERT_NE(box, 0u) << "no question was asked: " << demo.finish().err;
    ASSERT_TRUE(demo.command("key --window " + std::to_string(box) + " Escape"));

    // The closing notice is a box of its own, answered with Return.
    unsigned long notice = waitForTopLevel(x, demo, "ERROR");
    ASSERT_NE(notice, 0u) << demo.finish().err;
    ASSERT_TRUE(demo.command("key --window " + std::to_string(notice) + " Return"));
    ASSERT_TRUE(demo.waitForEnd());
    const auto& run = demo.finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, std::string(question) + "\nERROR: Program Will Now Close.\n");
}

}  // namespace
