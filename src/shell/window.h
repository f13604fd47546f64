#pragma once
// The demo's one window and its OpenGL context.
#include <array>

#include "platform/window.h"

extern int screenWidth;
extern int screenHeight;
extern int screenBits;
extern bool isFullscreen;
extern bool isActive;                 // false while the window is minimised
extern std::array<bool, 256> keys;    // key state by virtual-key code
extern platform::Window* windowHandle;
extern platform::GLContext renderContext;

bool openWindow();
void closeWindow();
void resizeViewport(int width, int height);
bool applyBaseGLState();

enum class WindowAction { None, Quit };
// What the window does with one event from the queue.
WindowAction handleWindowEvent(const platform::Event& event);
