// The demo at home on any X desktop: fullscreen over screens of any shape
// without a mode change, on a chosen display, paced without swap control,
// and ended in order when the window system takes its window away or a
// signal comes while it asks its question.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>
#include <string>

#include "support/demodata.h"
#include "support/support.h"
#include "x11/xharness.h"

namespace {

using namespace xtest;

class X11Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_X_TOOLS();
        // Two minutes of music at 60 bpm: only the test ends a run.
        ASSERT_TRUE(testsupport::makeDemoData(data.path(), {120.0, 60.0, true}));
    }
    void endWithEscape(DemoOnX& demo) {
        ASSERT_TRUE(demo.pressKey("Escape"));
        ASSERT_TRUE(demo.waitForEnd()) << "Escape did not end the run";
        EXPECT_EQ(demo.finish().exitCode, 0) << demo.finish().err;
    }
    TempDir data;
};

// Whether every pixel of the rows [y0, y1) and columns [x0, x1) is black.
bool black(const Picture& p, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const unsigned char* px = &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
            if (px[0] + px[1] + px[2] > 0) return false;
        }
    }
    return true;
}

// On a 16:10 screen the picture fills the width with bars above and below;
// on a 4:3 one likewise, taller bars. (The bars are worked out by hand: the
// 16:9 picture at the screen's width.)
TEST_F(X11Desktop, DesktopFullscreenCoversTheScreenWithTheLetterboxedPicture) {
    struct Screen {
        int width, height, bar;
    };
    TempDir wheels;
    // 200 s at 60 bpm: the schedule's last rows come after 150 s.
    ASSERT_TRUE(testsupport::makeDemoData(wheels.path(), {200.0, 60.0, true}));
    for (const Screen& s : {Screen{1920, 1200, 60}, Screen{1024, 768, 96}}) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        XServer x(s.width, s.height);
        ASSERT_TRUE(x.running()) << "Xvfb did not start";
        // The closing wheels' backdrop spans the picture's width.
        DemoOnX demo(x, wheels.path(), {"--desktop-fullscreen", "--start-row", "640"});
        ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
        ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
        Geometry g = demo.geometry();
        EXPECT_EQ(g.x, 0);
        EXPECT_EQ(g.y, 0);
        EXPECT_EQ(g.width, s.width);
        EXPECT_EQ(g.height, s.height);
        demo.waitForFramesAbove(demo.frames());
        Picture p = demo.screenshot();
        ASSERT_EQ(p.width, s.width);
        ASSERT_EQ(p.height, s.height);
        EXPECT_TRUE(black(p, 0, 0, p.width, s.bar)) << "the top bar is not black";
        EXPECT_TRUE(black(p, 0, p.height - s.bar, p.width, p.height)) << "the bottom bar is not black";
        const int middle = p.height / 2;
        EXPECT_FALSE(black(p, 0, middle, 8, middle + 1)) << "nothing drawn at the picture's left end";
        EXPECT_FALSE(black(p, p.width - 8, middle, p.width, middle + 1)) << "nor at its right end";
        endWithEscape(demo);
        EXPECT_EQ(demo.finish().err, "");
    }
}

// Two displays: --display 1 sizes the whole-screen window to the second and
// centres a window on it; a display that is not there is refused.
TEST_F(X11Desktop, TheChosenDisplayGetsTheWindow) {
    XServer x(std::vector<std::string>{"1280x720", "1024x768"});
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    struct Case {
        const char* mode;
        Geometry expected;
    };
    // The window is centred on the second display, kept on it where it is
    // wider than the display.
    for (const Case& c : {Case{"--desktop-fullscreen", {0, 0, 1024, 768}}, Case{"--windowed", {0, 24, 1280, 720}}}) {
        SCOPED_TRACE(c.mode);
        DemoOnX demo(x, data.path(), {c.mode, "--display", "1"});
        ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
        ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
        Geometry g = demo.geometry();
        EXPECT_EQ(g.x, c.expected.x);
        EXPECT_EQ(g.y, c.expected.y);
        EXPECT_EQ(g.width, c.expected.width);
        EXPECT_EQ(g.height, c.expected.height);
        // (The keyboard of a second X screen is out of xdotool's reach.)
        kill(demo.findPid(), SIGTERM);
        ASSERT_TRUE(demo.waitForEnd());
        EXPECT_EQ(demo.finish().exitCode, 0);
    }
    DemoOnX none(x, data.path(), {"--windowed", "--display", "2"});
    const auto& run = none.finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--display 2: there is no such display"), std::string::npos) << run.err;
}

// A window destroyed by another client (as `xdotool windowclose` does) ends
// the run at once with one line and a failure, fullscreen or not.
TEST_F(X11Desktop, AWindowDestroyedFromOutsideEndsTheRunWithOneLine) {
    for (const char* mode : {"", "--windowed", "--desktop-fullscreen"}) {
        SCOPED_TRACE(mode);
        XServer x(1280, 720);
        ASSERT_TRUE(x.running()) << "Xvfb did not start";
        std::vector<std::string> options = {"--start-row", "64"};
        if (*mode) options.push_back(mode);
        DemoOnX demo(x, data.path(), options);
        ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
        ASSERT_GT(demo.waitForFramesAbove(0), 0) << demo.title();
        ASSERT_TRUE(demo.command("windowclose " + demo.window()));
        ASSERT_TRUE(demo.waitForEnd()) << "the run went on without its window";
        const auto& run = demo.finish();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "tarnwick: the window system took the window away; ending the run\n");
    }
}

// SIGTERM while the question is shown ends the run as at any other time:
// exit 0, and the box goes with it. SIGKILL takes the box down too.
TEST_F(X11Desktop, ASignalWhileTheQuestionIsShownEndsTheRunAndTheBox) {
    for (int sig : {SIGTERM, SIGINT, SIGKILL}) {
        SCOPED_TRACE(sig);
        XServer x(1024, 768);
        ASSERT_TRUE(x.running()) << "Xvfb did not start";
        DemoOnX demo(x, data.path(), {});
        unsigned long box = waitForTopLevel(x, demo, "Vexo GL");
        if (demo.done() && demo.finish().err.find("no message box could be shown") != std::string::npos) {
            GTEST_SKIP() << "SDL's X11 message box needs a core X font (Debian: xfonts-base)";
        }
        ASSERT_NE(box, 0u) << "no question was asked: " << demo.finish().err;
        pid_t pid = demo.findPid();
        ASSERT_GT(pid, 0);
        ASSERT_GT(demoProcessesOn(x.display()).size(), 1u) << "the box is not shown by a process of its own";
        kill(pid, sig);
        ASSERT_TRUE(demo.waitForEnd()) << "the signal did not end the run";
        if (sig != SIGKILL) {
            EXPECT_EQ(demo.finish().exitCode, 0) << demo.finish().err;
        }
        EXPECT_TRUE(waitUntil([&] { return demoProcessesOn(x.display()).empty(); })) << "a process outlived the demo";
        EXPECT_EQ(waitForTopLevel(x, demo, "Vexo GL"), 0u) << "the box outlived the demo";
    }
}

// Xvfb offers no swap control: the demo sleeps between frames so that they
// come no faster than the display's refresh (60 Hz, unknown here).
TEST_F(X11Desktop, WithoutSwapControlFramesComeNoFasterThanTheRefresh) {
    XServer x(1280, 720);
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    MiniWindowManager wm(x.display());
    ASSERT_TRUE(wm.running());
    // The arc bands draw in a few milliseconds: unpaced, hundreds a second.
    DemoOnX demo(x, data.path(), {"--windowed", "--start-row", "64"});
    ASSERT_TRUE(demo.findWindow()) << demo.finish().err;
    long frames = demo.waitForFramesAbove(0);
    std::smatch m;
    int titles = 0;
    // The first titles count the start-up; the next ones a whole second each.
    for (int i = 0; i < 5; ++i) {
        frames = demo.waitForFramesAbove(frames);
        std::string title = demo.title();
        if (!std::regex_match(title, m, titlePattern) || i < 2) continue;
        EXPECT_LE(std::stol(m[1].str()), 66) << title;
        ++titles;
    }
    EXPECT_GT(titles, 0);
    endWithEscape(demo);
}

}  // namespace
