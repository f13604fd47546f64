#include <gtest/gtest.h>

#include <GL/glu.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/gldouble/gl_double.h"
#include "shell/window.h"

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gldouble::reset();
        isActive = true;
        keys.fill(false);
    }
};

platform::Event event(platform::EventType type, int key = 0, int width = 0, int height = 0) {
    platform::Event e;
    e.type = type;
    e.key = key;
    e.width = width;
    e.height = height;
    return e;
}

using platform::EventType;

TEST_F(WindowTest, ViewportAndProjectionFollowTheSize) {
    resizeViewport(1280, 720);
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 0, 1280, 720}));
    ASSERT_EQ(gldouble::countCalls("gluPerspective"), 1);
    const auto& call = gldouble::calls()[3];
    ASSERT_EQ(call.name, "gluPerspective");
    EXPECT_EQ(call.args[0], 45.0);
    EXPECT_EQ(call.args[1], 1280.0 / 720.0);
    EXPECT_EQ(call.args[2], 0.10000000149011612);
    EXPECT_EQ(call.args[3], 100.0);
    EXPECT_EQ(gldouble::matrixMode(), GLenum(GL_MODELVIEW));
    EXPECT_EQ(gldouble::modelview(), gldouble::identity());

    // A point on the view axis lands in the middle of the viewport; one at
    // the top of the 45 degree field lands on the top edge.
    auto centre = gldouble::toWindow(0, 0, -10);
    EXPECT_NEAR(centre[0], 640, 1e-9);
    EXPECT_NEAR(centre[1], 360, 1e-9);
    auto top = gldouble::toWindow(0, 10 * std::tan(22.5 * M_PI / 180), -10);
    EXPECT_NEAR(top[1], 720, 1e-6);
}

TEST_F(WindowTest, ZeroHeightBecomesOne) {
    resizeViewport(640, 0);
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 0, 640, 1}));
    EXPECT_EQ(gldouble::calls()[3].args[1], 640.0);
}

TEST_F(WindowTest, MinimiseAndRestoreDriveIsActiveAndFocusLossDoesNot) {
    EXPECT_EQ(handleWindowEvent(event(EventType::Minimised)), WindowAction::None);
    EXPECT_FALSE(isActive);
    handleWindowEvent(event(EventType::Restored));
    EXPECT_TRUE(isActive);
    handleWindowEvent(event(EventType::Other));  // a focus change
    EXPECT_TRUE(isActive);
}

// A minimised demo waits for events between its idle swaps; an active one
// never waits, and a focus loss alone does not make it wait.
TEST_F(WindowTest, OnlyAMinimisedWindowWaitsForEventsBetweenSwaps) {
    EXPECT_EQ(eventWaitMs(), 0);
    handleWindowEvent(event(EventType::Other));  // a focus change
    EXPECT_EQ(eventWaitMs(), 0);
    handleWindowEvent(event(EventType::Minimised));
    EXPECT_EQ(eventWaitMs(), 10);
    handleWindowEvent(event(EventType::Resized, 0, 200, 100));
    EXPECT_EQ(eventWaitMs(), 10);
    handleWindowEvent(event(EventType::Restored));
    EXPECT_EQ(eventWaitMs(), 0);
}

TEST_F(WindowTest, CloseAndQuitEndTheLoop) {
    EXPECT_EQ(handleWindowEvent(event(EventType::Quit)), WindowAction::Quit);
    EXPECT_EQ(handleWindowEvent(event(EventType::KeyDown, 'Q')), WindowAction::None);
}

TEST_F(WindowTest, KeysAreKeptByVirtualKeyCode) {
    handleWindowEvent(event(EventType::KeyDown, 0x1B));
    EXPECT_TRUE(keys[0x1B]);
    handleWindowEvent(event(EventType::KeyDown, 'A'));
    EXPECT_TRUE(keys['A']);
    handleWindowEvent(event(EventType::KeyUp, 0x1B));
    EXPECT_FALSE(keys[0x1B]);
    EXPECT_TRUE(keys['A']);
    // The first and last codes are kept; keys without a code, or past the
    // table, change nothing.
    for (int code : {1, 255}) {
        handleWindowEvent(event(EventType::KeyDown, code));
        EXPECT_TRUE(keys[static_cast<std::size_t>(code)]) << code;
    }
    auto before = keys;
    for (int code : {0, 256, -1}) handleWindowEvent(event(EventType::KeyDown, code));
    EXPECT_EQ(keys, before);
}

TEST_F(WindowTest, SizeChangeSetsTheViewport) {
    handleWindowEvent(event(EventType::Resized, 0, 800, 600));
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 0, 800, 600}));
    EXPECT_EQ(gldouble::calls()[3].args[1], 800.0 / 600.0);
}

// The picture keeps its shape on any surface: the largest 16:9 rectangle,
// centred, bars on the two other sides.
TEST_F(WindowTest, LetterboxKeepsThePictureAt16By9Centred) {
    struct Case {
        int width, height;
        ViewportRect expected;
    };
    const Case cases[] = {
        {1280, 720, {0, 0, 1280, 720}},   {1920, 1200, {0, 60, 1920, 1080}}, {1024, 768, {0, 96, 1024, 576}},
        {2560, 1080, {320, 0, 1920, 1080}}, {1366, 768, {0, 0, 1365, 768}},  {720, 1280, {0, 437, 720, 405}},
        {0, 768, {0, 0, 0, 0}},           {1024, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ViewportRect r = letterbox(c.width, c.height, 1280, 720);
        EXPECT_EQ((std::array<int, 4>{r.x, r.y, r.width, r.height}),
                  (std::array<int, 4>{c.expected.x, c.expected.y, c.expected.width, c.expected.height}));
    }
    // A picture of one pixel fills a square window; a window one pixel wide
    // still gets its one-pixel picture.
    const ViewportRect dot = letterbox(100, 100, 1, 1);
    EXPECT_EQ((std::array<int, 4>{dot.x, dot.y, dot.width, dot.height}), (std::array<int, 4>{0, 0, 100, 100}));
    // A picture without width or height has no rectangle.
    for (auto [pw, ph] : {std::pair{0, 720}, std::pair{1280, 0}}) {
        const ViewportRect none = letterbox(1280, 720, pw, ph);
        EXPECT_EQ((std::array<int, 4>{none.x, none.y, none.width, none.height}), (std::array<int, 4>{0, 0, 0, 0}));
    }
    gldouble::reset();
    letterboxViewport(1, 720);
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 359, 1, 1}));
    gldouble::reset();
    letterboxViewport(1920, 1200);
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 60, 1920, 1080}));
    EXPECT_EQ(gldouble::calls()[3].args[1], 1280.0 / 720.0);  // the picture's aspect, not the screen's
}

TEST_F(WindowTest, AWindowTakenAwayEndsTheLoopAsAFailure) {
    EXPECT_EQ(handleWindowEvent(event(EventType::WindowLost)), WindowAction::WindowLost);
}

TEST_F(WindowTest, BaseStateIsTheDemosFixedState) {
    EXPECT_TRUE(applyBaseGLState());
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(gldouble::clearColor(), (std::array<float, 4>{0, 0, 0, 0.5f}));
}

}  // namespace

// Where the windowed demo opens, for the displays people have.
TEST(WindowedPosition, StaysAt1400Where1280x720FitsOnAUsableArea) {
    auto at = [](std::vector<platform::Rect> areas) {
        WindowPosition p = windowedPosition(areas, 1280, 720);
        return std::array<int, 2>{p.x, p.y};
    };
    using A = std::array<int, 2>;
    // Wide enough: 1400 + 1280 = 2680 <= 2680 (the edge itself fits).
    EXPECT_EQ(at({{0, 0, 2680, 720}}), (A{1400, 0}));
    EXPECT_EQ(at({{0, 0, 3840, 2160}}), (A{1400, 0}));
    // A second display to the right of a 1280-wide one holds it.
    EXPECT_EQ(at({{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}}), (A{1400, 0}));
    // No display known: the place it always had.
    EXPECT_EQ(at({}), (A{1400, 0}));

    // An area that begins one pixel right of the place does not hold it.
    EXPECT_EQ(at({{1401, 0, 1280, 720}}), (A{1401, 0}));
    // One pixel too narrow, or too short: centred on the primary display.
    EXPECT_EQ(at({{0, 0, 2679, 1440}}), (A{699, 360}));
    EXPECT_EQ(at({{0, 0, 3000, 719}}), (A{860, 0}));
    // Single 1920- and 1280-wide displays; a panel at the top keeps the
    // window below it.
    EXPECT_EQ(at({{0, 0, 1920, 1080}}), (A{320, 180}));
    EXPECT_EQ(at({{0, 0, 1280, 720}}), (A{0, 0}));
    EXPECT_EQ(at({{0, 32, 1920, 1048}}), (A{320, 196}));
    // Straddling two displays does not count as fitting; the primary is the
    // first, wherever it lies on the desktop.
    EXPECT_EQ(at({{1920, 0, 1920, 1080}, {0, 0, 1920, 1080}}), (A{2240, 180}));
    // Smaller than the window: its top-left corner stays on the area.
    EXPECT_EQ(at({{0, 0, 1024, 768}}), (A{0, 24}));
    EXPECT_EQ(at({{-800, -600, 800, 600}}), (A{-800, -600}));
    // Absurd sizes do not overflow.
    const int most = std::numeric_limits<int>::max();
    EXPECT_EQ(at({{0, 0, most, most}}), (A{1400, 0}));
    EXPECT_EQ(at({{most - 1000, 0, 1000, 720}}), (A{most - 1000, 0}));
    EXPECT_EQ(at({{most - 1000, 0, most, 720}}), (A{most, 0}));
}
