#include "support/gl_context.h"

#include <SDL.h>
#include <cstdlib>

namespace testsupport {

GlContext::GlContext(int width, int height) {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        failure_ = std::string("video driver: ") + SDL_GetError();
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ == nullptr) {
        failure_ = std::string("window: ") + SDL_GetError();
        return;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
        failure_ = std::string("context: ") + SDL_GetError();
        return;
    }
    SDL_GL_MakeCurrent(window_, context_);
}

GlContext::~GlContext() {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlContext::swap() {
    if (window_ != nullptr) SDL_GL_SwapWindow(window_);
}

}  // namespace testsupport
