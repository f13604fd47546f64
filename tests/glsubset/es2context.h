#pragma once
// A hidden window with an OpenGL ES 2 context and the GL subset started on
// it, for the tests that draw through the subset; stopped and closed at the
// end of the scope.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/glsubset.h"

class Es2Context {
public:
    explicit Es2Context(int side) {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            why_ = SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        window_ = SDL_CreateWindow("es2", 0, 0, side, side, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window_) context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            why_ = SDL_GetError();
            return;
        }
        started_ = glsubset::start(SDL_GL_GetProcAddress, why_);
    }
    ~Es2Context() {
        glsubset::stop();
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    Es2Context(const Es2Context&) = delete;
    Es2Context& operator=(const Es2Context&) = delete;

    bool started() const { return started_; }
    const std::string& why() const { return why_; }

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    bool started_ = false;
    std::string why_;
};
