#include "platform/desktop/offscreen_gl.h"

#include <SDL.h>

#include <cstdlib>

namespace platform {

OffscreenGl::OffscreenGl(int width, int height, const char* title) {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fail(Failure::videoDriver);
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    window_ = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ == nullptr) {
        fail(Failure::window);
        return;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
        fail(Failure::context);
        return;
    }
    SDL_GL_MakeCurrent(window_, context_);
}

OffscreenGl::~OffscreenGl() {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool OffscreenGl::setSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void OffscreenGl::swap() {
    if (window_ != nullptr) SDL_GL_SwapWindow(window_);
}

void OffscreenGl::fail(Failure failure) {
    failure_ = failure;
    reason_ = SDL_GetError();
}

}  // namespace platform
