// What the platform layer makes of SDL's events and of the signals that ask
// the program to end.
#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>

#include <chrono>

#include "platform/window.h"

namespace {

using platform::EventType;

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(platform::initVideo(why)) << why;
        platform::setInterruptRequested(false);
        platform::Event drain;
        for (int quiet = 0; quiet < 5;) quiet = platform::pollEvent(drain) ? 0 : quiet + 1;
    }
    void TearDown() override {
        platform::setInterruptRequested(false);
        platform::quitVideo();
    }
    platform::Event roundTrip(const SDL_Event& sdl) {
        SDL_Event copy = sdl;
        EXPECT_EQ(SDL_PushEvent(&copy), 1) << SDL_GetError();
        // SDL may answer "empty" once while it pumps its own queue.
        platform::Event e;
        bool got = false;
        for (int tries = 0; tries < 5 && !got; ++tries) got = platform::pollEvent(e);
        EXPECT_TRUE(got);
        return e;
    }
    platform::Event windowEvent(Uint8 which, int data1 = 0, int data2 = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = which;
        e.window.data1 = data1;
        e.window.data2 = data2;
        return roundTrip(e);
    }
    platform::Event keyEvent(Uint32 type, SDL_Keycode key) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.sym = key;
        return roundTrip(e);
    }
};

TEST_F(EventsTest, WindowEventsBecomeTheDemosOwn) {
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_MINIMIZED).type, EventType::Minimised);
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_RESTORED).type, EventType::Restored);
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_MAXIMIZED).type, EventType::Restored);
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST).type, EventType::Other);
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_CLOSE).type, EventType::Quit);
    platform::Event resized = windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600);
    EXPECT_EQ(resized.type, EventType::Resized);
    EXPECT_EQ(resized.width, 800);
    EXPECT_EQ(resized.height, 600);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(roundTrip(quit).type, EventType::Quit);
}

// SDL decides on focus loss, from this hint, whether a fullscreen window is
// minimised; unset, an exclusive fullscreen window would be. (The X-server
// tests show the demo drawing on after a focus loss.)
TEST_F(EventsTest, FocusLossIsNotToMinimiseAFullscreenWindow) {
    EXPECT_FALSE(SDL_GetHintBoolean(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, SDL_TRUE));
}

// The minimised demo's wait: an event already queued comes at once, an empty
// queue is waited on for the time-out (never for ever), and a signal during
// the wait is a Quit.
TEST_F(EventsTest, WaitingForAnEventEndsWithTheEventOrTheTimeOut) {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point from) {
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    };
    platform::Event e;
    auto start = Clock::now();
    EXPECT_FALSE(platform::waitEvent(e, 50));
    double waited = ms(start);
    EXPECT_GE(waited, 40.0) << "returned before the time-out with an empty queue";
    EXPECT_LT(waited, 10000.0);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1) << SDL_GetError();
    start = Clock::now();
    // A time-out far beyond any stall of a busy machine: returning well
    // before it shows the queued event was taken at once.
    ASSERT_TRUE(platform::waitEvent(e, 120000));
    EXPECT_EQ(e.type, EventType::Quit);
    EXPECT_LT(ms(start), 60000.0) << "a queued event must not wait for the time-out";

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&key), 1) << SDL_GetError();
    ASSERT_TRUE(platform::waitEvent(e, 10));
    EXPECT_EQ(e.type, EventType::KeyDown);
    EXPECT_EQ(e.key, platform::vkEscape);

    platform::catchInterrupts();
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(platform::waitEvent(e, 10000));
    EXPECT_EQ(e.type, EventType::Quit);
}

TEST_F(EventsTest, KeysCarryTheirVirtualKeyCode) {
    platform::Event esc = keyEvent(SDL_KEYDOWN, SDLK_ESCAPE);
    EXPECT_EQ(esc.type, EventType::KeyDown);
    EXPECT_EQ(esc.key, platform::vkEscape);
    platform::Event a = keyEvent(SDL_KEYUP, SDLK_a);
    EXPECT_EQ(a.type, EventType::KeyUp);
    EXPECT_EQ(a.key, 'A');
    EXPECT_EQ(keyEvent(SDL_KEYDOWN, SDLK_F1).key, 0x70);
    EXPECT_EQ(keyEvent(SDL_KEYDOWN, SDLK_CAPSLOCK).key, 0);
}

TEST_F(EventsTest, TerminatingSignalsComeOutAsQuit) {
    platform::catchInterrupts();
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        platform::setInterruptRequested(false);
        platform::Event e;
        EXPECT_FALSE(platform::pollEvent(e));
        ASSERT_EQ(raise(sig), 0);  // the process lives on
        EXPECT_TRUE(platform::interruptRequested());
        ASSERT_TRUE(platform::pollEvent(e));
        EXPECT_EQ(e.type, EventType::Quit);
    }
}

}  // namespace
