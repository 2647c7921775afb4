// The window's GL surface and context. An X window's visual is fixed when it is made,
// so the format is asked for at creation (windows.cpp) and confirmed here.
#include "platform/desktop/system_desktop.h"

namespace platform {

namespace sdl {

ColourSizes exactColour(std::int32_t bits) { return bits <= 16 ? ColourSizes{5, 6, 5} : ColourSizes{8, 8, 8}; }

void setGlAttributes(const PixelFormatRequest& request, ColourSizes colour) {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colour.red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colour.green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colour.blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, request.accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, request.accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, request.accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, request.accumBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, request.doubleBuffer ? 1 : 0);
}

}  // namespace sdl

DeviceContext* SystemDesktop::getDC(Window* window) { return window != nullptr ? &window->dc : nullptr; }

void SystemDesktop::releaseDC(Window*, DeviceContext*) {}

int SystemDesktop::choosePixelFormat(DeviceContext* dc, const PixelFormatRequest&) {
    if (dc == nullptr || dc->window == nullptr) return 0;
    // The window's visual was picked for the request when it was made.
    return (SDL_GetWindowFlags(dc->window->sdl) & SDL_WINDOW_OPENGL) != 0 ? 1 : 0;
}

bool SystemDesktop::setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request) {
    if (dc == nullptr || format != 1) return false;
    sdl::setGlAttributes(request, sdl::exactColour(request.colorBits));
    return true;
}

GlContext* SystemDesktop::createContext(DeviceContext* dc) {
    if (dc == nullptr) return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(dc->window->sdl);
    if (context == nullptr) {
        sdl::reportSdlError("GL context");
        return nullptr;
    }
    return new GlContext{context};
}

bool SystemDesktop::makeCurrent(DeviceContext* dc, GlContext* context) {
    if (context == nullptr) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    if (dc == nullptr) return false;
    if (SDL_GL_MakeCurrent(dc->window->sdl, context->sdl) != 0) {
        sdl::reportSdlError("GL make current");
        return false;
    }
    return true;
}

void SystemDesktop::deleteContext(GlContext* context) {
    if (context == nullptr) return;
    SDL_GL_DeleteContext(context->sdl);
    delete context;
}

void SystemDesktop::swapBuffers(DeviceContext* dc) {
    if (dc != nullptr) SDL_GL_SwapWindow(dc->window->sdl);
}

bool SystemDesktop::setSwapInterval(std::int32_t interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

std::int32_t SystemDesktop::swapInterval() { return SDL_GL_GetSwapInterval(); }

}  // namespace platform
