// Display modes: the fullscreen mode of the show's display, switched by SDL when the
// fullscreen window shows and switched back without it.
#include <vector>

#include "platform/desktop/desktop_rules.h"
#include "platform/desktop/system_desktop.h"

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

}  // namespace

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
