// Video start-up: SDL's video comes up with the first window class, and only on a
// display somebody can see.
#include <SDL_syswm.h>

#include <cstdio>
#include <cstring>

#include "platform/desktop/system_desktop.h"

// Last: Xlib's macros (None, Status, True...) are not for the headers above.
#include <X11/Xlib.h>

namespace platform {

namespace {

// SDL falls back to a driver that shows nothing when there is no display; a show that
// nobody can see or stop is not a run. Those drivers count only when asked for by name.
bool onRealDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return true;
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return asked != nullptr && std::strcmp(asked, driver) == 0;
}

}  // namespace

namespace sdl {

bool videoDriverIs(const char* name) {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, name) == 0;
}

void* x11DisplayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

bool x11FocusElsewhere(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    ::Window focus = 0;
    int revertTo = 0;
    XGetInputFocus(info.info.x11.display, &focus, &revertTo);
    return focus != None && focus != PointerRoot && focus != info.info.x11.window;
}

}  // namespace sdl

bool SystemDesktop::registerClass(const WindowClass& windowClass) {
    if (windowClass.className == nullptr || windowClass.proc == nullptr) return false;
    if (classes_.count(windowClass.className) != 0) return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        sdl::reportSdlError("video");
        return false;
    }
    if (!onRealDisplay()) {
        std::fprintf(stderr, "video: no display (only SDL's %s driver started)\n", SDL_GetCurrentVideoDriver());
        std::fflush(stderr);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    classes_[windowClass.className] = windowClass;
    return true;
}

void SystemDesktop::unregisterClass(const char* className, Instance) {
    if (className == nullptr) return;
    if (classes_.erase(className) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace platform
