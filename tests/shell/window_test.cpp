#include <gtest/gtest.h>

#include <GL/glu.h>

#include <cmath>

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
    // Keys without a code change nothing.
    auto before = keys;
    handleWindowEvent(event(EventType::KeyDown, 0));
    EXPECT_EQ(keys, before);
}

TEST_F(WindowTest, SizeChangeSetsTheViewport) {
    handleWindowEvent(event(EventType::Resized, 0, 800, 600));
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 0, 800, 600}));
    EXPECT_EQ(gldouble::calls()[3].args[1], 800.0 / 600.0);
}

TEST_F(WindowTest, BaseStateIsTheDemosFixedState) {
    EXPECT_TRUE(applyBaseGLState());
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(gldouble::clearColor(), (std::array<float, 4>{0, 0, 0, 0.5f}));
}

}  // namespace
