// Display modes: the fullscreen mode of the show's display, switched by SDL when the
// fullscreen window shows and switched back without it, and the X errors of a monitor
// that went away under the show.
#include "platform/desktop/system_desktop.h"

#include <atomic>
#include <cstdio>
#include <vector>

// Last: Xlib's macros (None, Status, True...) are not for the headers above.
#include <X11/Xlib.h>

namespace platform {

namespace {

// The show's monitor, its desktop mode and the other monitors, as SDL sees them, for
// rules::modeSwitchIsSafe; false when SDL cannot tell.
bool modeSwitchIsSafe(int width, int height) {
    SDL_Rect show{};
    if (SDL_GetDisplayBounds(sdl::showDisplay, &show) != 0) return false;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(sdl::showDisplay, &desktop) != 0) return show.x == 0 && show.y == 0;
    std::vector<rules::Rect> others;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect other{};
        if (i == sdl::showDisplay || SDL_GetDisplayBounds(i, &other) != 0) continue;
        others.push_back({other.x, other.y, other.w, other.h});
    }
    return rules::modeSwitchIsSafe({show.x, show.y, show.w, show.h}, {desktop.w, desktop.h}, others,
                                   {width, height});
}

// The X server's RandR opcode and the error handler that was in place before ours
// (SDL's, which puts the modes back and hands the error to Xlib's own handler, which
// ends the process). Xlib has one handler per process.
std::atomic<int> randrOpcode{0};
XErrorHandler handlerBefore = nullptr;

// A monitor turned off or unplugged while SDL holds a mode switched on it: SDL 2.26's
// way back (on minimise, fullscreen off or the window's end) asks RandR about the
// monitor's CRTC, which is gone (BadRRCrtc in RRGetCrtcInfo). Xlib's handler would end
// the process with status 1 and SDL's first puts the modes back, which asks again. No
// mode can be put back on a monitor that is off, and the others were never switched:
// SDL gives up that one mode change and the show ends as it should.
int outliveMonitorError(Display* display, XErrorEvent* error) {
    if (rules::outlivesXError(error->request_code, randrOpcode.load())) {
        std::fprintf(stderr, "display: the X server refused a monitor request (RandR %d, error %d); a monitor went "
                             "away under the show, which carries on\n",
                     error->minor_code, error->error_code);
        std::fflush(stderr);
        return 0;
    }
    return handlerBefore != nullptr ? handlerBefore(display, error) : 0;
}

}  // namespace

namespace sdl {

void outliveMonitorErrors(SDL_Window* window) {
    auto* display = static_cast<Display*>(x11DisplayOf(window));
    if (display == nullptr) return;
    int opcode = 0, firstEvent = 0, firstError = 0;
    if (!XQueryExtension(display, "RANDR", &opcode, &firstEvent, &firstError)) return;
    randrOpcode = opcode;
    // SDL puts Xlib's own handler back when its video ends and its own in place when
    // it starts again: ours goes in front of whichever is there.
    const XErrorHandler current = XSetErrorHandler(outliveMonitorError);
    if (current != outliveMonitorError) handlerBefore = current;
}

}  // namespace sdl

rules::Fullscreen SystemDesktop::fullscreenOf(const Window* window) const {
    const Uint32 flags = SDL_GetWindowFlags(window->sdl);
    if ((flags & SDL_WINDOW_FULLSCREEN) == 0) return rules::Fullscreen::no;
    if ((flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP) return rules::Fullscreen::desktopMode;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(sdl::showDisplay, &desktop) == 0 && desktop.w == fullscreenMode_.w &&
        desktop.h == fullscreenMode_.h) {
        return rules::Fullscreen::desktopMode;
    }
    return rules::Fullscreen::switchedMode;
}

bool SystemDesktop::changeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
    // A screen's depth is fixed when its server starts, so only the size is looked
    // for; the list runs from the highest refresh rate down for each size.
    const int count = SDL_GetNumDisplayModes(sdl::showDisplay);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(sdl::showDisplay, i, &mode) != 0) continue;
        if (mode.w == width && mode.h == height) {
            // The switch itself happens when the fullscreen window shows: SDL ties
            // the mode to the window and returns to the desktop mode without it.
            // Where no mode really switches (Wayland), or switching would turn a
            // monitor off, the window covers the monitor at the mode it has, and
            // the show is drawn at that size.
            fullscreenMode_ = mode;
            modeSwitched_ = true;
            fullscreenFlag_ = !sdl::videoDriverIs("wayland") && modeSwitchIsSafe(width, height)
                                  ? SDL_WINDOW_FULLSCREEN
                                  : SDL_WINDOW_FULLSCREEN_DESKTOP;
            return true;
        }
    }
    return false;
}

void SystemDesktop::restoreDisplayMode() {
    modeSwitched_ = false;
    for (auto& [id, window] : windows_) {
        if ((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) != 0) {
            SDL_SetWindowFullscreen(window->sdl, 0);
        }
    }
}

}  // namespace platform
