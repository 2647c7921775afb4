// Hints and signals: what SDL is told before its video starts, the quit signals, and
// the desktop's one instance.
#include <cstdio>

#include "platform/desktop/system_desktop.h"
#include "platform/process/quit_signal.h"

namespace platform {

Instance currentInstance() {
    static InstanceTag process;
    return &process;
}

SystemDesktop::SystemDesktop() {
    // Our own handlers turn SIGINT/SIGTERM into a quit request; SDL's would queue an
    // SDL_QUIT that the shell does not treat as one.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // What a window does when it loses the focus is ours to decide (events.cpp).
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The screen saver is refused only while the show's window has the focus
    // (events.cpp), not from video start-up on.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    installQuitSignalHandlers();
    quitEventType_ = SDL_RegisterEvents(1);
}

Desktop& systemDesktop() {
    static SystemDesktop desktop;
    return desktop;
}

namespace sdl {

void reportSdlError(const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
    std::fflush(stderr);
}

}  // namespace sdl

}  // namespace platform
