#include <gtest/gtest.h>

#include <GL/glu.h>

#include <cmath>

#include "gldouble/gl_double.h"
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

SDL_Event windowEvent(Uint8 which, int data1 = 0, int data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    e.window.data1 = data1;
    e.window.data2 = data2;
    return e;
}

SDL_Event keyEvent(Uint32 type, SDL_Keycode key) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    return e;
}

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
    EXPECT_EQ(handleWindowEvent(windowEvent(SDL_WINDOWEVENT_MINIMIZED)), WindowAction::None);
    EXPECT_FALSE(isActive);
    handleWindowEvent(windowEvent(SDL_WINDOWEVENT_RESTORED));
    EXPECT_TRUE(isActive);
    handleWindowEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_TRUE(isActive);
}

TEST_F(WindowTest, CloseAndQuitEndTheLoop) {
    EXPECT_EQ(handleWindowEvent(windowEvent(SDL_WINDOWEVENT_CLOSE)), WindowAction::Quit);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(handleWindowEvent(quit), WindowAction::Quit);
}

TEST_F(WindowTest, KeysAreKeptByVirtualKeyCode) {
    handleWindowEvent(keyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
    EXPECT_TRUE(keys[0x1B]);
    handleWindowEvent(keyEvent(SDL_KEYDOWN, SDLK_a));
    EXPECT_TRUE(keys['A']);
    handleWindowEvent(keyEvent(SDL_KEYUP, SDLK_ESCAPE));
    EXPECT_FALSE(keys[0x1B]);
    EXPECT_TRUE(keys['A']);
}

TEST_F(WindowTest, SizeChangeSetsTheViewport) {
    handleWindowEvent(windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600));
    EXPECT_EQ(gldouble::viewport(), (std::array<GLint, 4>{0, 0, 800, 600}));
    EXPECT_EQ(gldouble::calls()[3].args[1], 800.0 / 600.0);
}

TEST_F(WindowTest, BaseStateIsTheDemosFixedState) {
    EXPECT_TRUE(applyBaseGLState());
    EXPECT_TRUE(gldouble::isEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(gldouble::clearColor(), (std::array<float, 4>{0, 0, 0, 0.5f}));
}

}  // namespace
