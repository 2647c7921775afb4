// Display modes: the fullscreen mode of the show's display, switched by SDL when the
// fullscreen window shows and switched back without it.
#include <algorithm>

#include "platform/desktop/system_desktop.h"

namespace platform {

namespace {

// SDL 2.26 switches an X monitor's mode by turning the monitor off, resizing the whole
// X screen to the new mode's size and turning the monitor on again where it was; the
// way back does the same with the desktop's mode. Where the other monitors fit into
// that size the resize goes through, and a monitor away from the desktop's top-left
// corner lands outside the screen: it stays off, and SDL's next look at it ends the
// process (two equal monitors, the primary one on the right, are enough). The switch
// is safe only from the top-left corner, or where another monitor reaches beyond both
// sizes so that the X server refuses the resize.
bool modeSwitchIsSafe(int width, int height) {
    SDL_Rect show{};
    if (SDL_GetDisplayBounds(sdl::showDisplay, &show) != 0) return false;
    if (show.x == 0 && show.y == 0) return true;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(sdl::showDisplay, &desktop) != 0) return false;
    int right = 0, bottom = 0;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect other{};
        if (i == sdl::showDisplay || SDL_GetDisplayBounds(i, &other) != 0) continue;
        right = std::max(right, other.x + other.w);
        bottom = std::max(bottom, other.y + other.h);
    }
    const auto resizeRefused = [&](int w, int h) { return right > w || bottom > h; };
    return resizeRefused(width, height) && resizeRefused(desktop.w, desktop.h);
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
