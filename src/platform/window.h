#pragma once
// Window, GL context, message boxes, events and the performance counter.
//
// Stands in for the Windows platform calls the shell was written against,
// built on SDL2:
//
//   platform call                         here                    implemented
//   RegisterClass / UnregisterClass       initVideo / quitVideo   SDL video subsystem
//   ChangeDisplaySettings (1280x720x32)   displayOffersMode       the display must offer that exact mode
//   ChangeDisplaySettings (reset)         leaveFullscreen         back to the desktop mode
//   ShowCursor                            showCursor              yes
//   CreateWindowEx / DestroyWindow        createWindow/destroyWindow  OpenGL window; fullscreen or at (x, y)
//   pixel format (RGBA, 16-bit depth,     setPixelFormat          SDL GL attributes before the window
//     double buffer)
//   wglCreateContext / wglDeleteContext   createContext/deleteContext  yes
//   wglMakeCurrent                        makeCurrent / releaseCurrent  yes
//   ShowWindow / SetForeground / SetFocus showWindow              yes
//   MessageBox (OK, Yes/No)               messageBox              SDL message box; text also on stderr;
//                                                                  a box that cannot be shown answers No
//   PeekMessage                           pollEvent               SDL event queue
//   SetWindowText                         setWindowTitle          yes
//   SwapBuffers                           swapBuffers             yes
//   wglSwapIntervalEXT                    setSwapInterval         yes
//   SC_SCREENSAVE / SC_MONITORPOWER       (initVideo)             screen saver kept off
//   QueryPerformanceFrequency / Counter   counterFrequency / counterValue   SDL counter, or a manual one
#include <SDL.h>

#include <cstdint>
#include <string>

namespace platform {

bool initVideo();
void quitVideo();

bool displayOffersMode(int width, int height, int bitsPerPixel);
void leaveFullscreen(SDL_Window* window);
void showCursor(bool visible);

bool setPixelFormat(int colourBits, int depthBits);
SDL_Window* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen);
bool destroyWindow(SDL_Window* window);
SDL_GLContext createContext(SDL_Window* window);
bool deleteContext(SDL_GLContext context);
bool makeCurrent(SDL_Window* window, SDL_GLContext context);
bool releaseCurrent();
void showWindow(SDL_Window* window);

enum class BoxButtons { Ok, YesNo };
enum class BoxIcon { Exclamation, Stop, Information };
enum class BoxAnswer { Ok, Yes, No };
// Shows a modal box and writes "caption: text" to stderr. When no box can be
// shown the answer is No (Ok for an Ok box).
BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon);

bool pollEvent(SDL_Event& event);
void setWindowTitle(SDL_Window* window, const char* title);
void swapBuffers(SDL_Window* window);
bool setSwapInterval(int interval);

// The Windows virtual-key code for an SDL key, 0 when there is none.
int virtualKeyCode(SDL_Keycode key);
inline constexpr int vkEscape = 0x1B;

// High-resolution counter. A frequency of 0 means there is none. Tests may
// replace the counter by a manual one.
std::uint64_t counterFrequency();
std::int64_t counterValue();
void useManualCounter(std::uint64_t frequency, std::int64_t value);
void setManualCounter(std::int64_t value);
void useSystemCounter();
// A monotonic clock in nanoseconds, for when there is no counter. Follows the
// manual counter's value (as nanoseconds) while one is in use.
std::int64_t monotonicNanoseconds();

}  // namespace platform
