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

#include <regex>
#include <set>
#include <string>

#include "support/demodata.h"
#include "support/support.h"
#include "x11/xharness.h"

namespace {

using namespace xtest;

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
