// sunmarrow-capture renderer: the GL renderer that the capture tool's offscreen context
// lands on (GL_RENDERER, one line on standard output), so that a caller can tell Mesa's
// llvmpipe from a GPU's driver or softpipe before comparing pictures.
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "capture_commands.h"

namespace {

int runRenderer(int argc, char**) {
    if (argc != 0) {
        std::fprintf(stderr, "usage: sunmarrow-capture renderer\n");
        return 2;
    }
    // The same driver and surface as the headless show's.
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "Cannot start the offscreen video driver: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    int status = 1;
    SDL_Window* window = SDL_CreateWindow("renderer", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    const GLubyte* renderer = context != nullptr ? glGetString(GL_RENDERER) : nullptr;
    if (renderer != nullptr) {
        std::printf("%s\n", reinterpret_cast<const char*>(renderer));
        status = 0;
    } else {
        std::fprintf(stderr, "Cannot create a GL context: %s\n", SDL_GetError());
    }
    if (context != nullptr) SDL_GL_DeleteContext(context);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return status;
}

capture::Command rendererCommand("renderer", "renderer", runRenderer);

}  // namespace
