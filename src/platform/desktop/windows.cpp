// Windows: creation on the show's display, showing (with the frame fitted into an
// outer size), the user data slot, default processing, the size limits (the capture's
// size at least, the largest monitor's at most) and the cursor.
#include "platform/desktop/system_desktop.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <vector>

// Last: Xlib's macros (None, Status, True...) are not for the headers above.
#include <X11/Xlib.h>

namespace platform {

namespace {

// How long a window that must fit its frame into its size waits for the frame to be known.
constexpr int frameWaitMs = 500;

// A window that covers no monitor is no larger than the largest monitor: a drawable of
// 9000 x 9000 pixels takes seconds a frame to paint, and Escape as long to be seen.
// One that covers a monitor has that monitor's size.
rules::Size maximumClientSize(bool fullscreen) {
    if (fullscreen) return {};
    std::vector<rules::Rect> monitors;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(i, &bounds) == 0) monitors.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
    }
    return rules::largestMonitor(monitors);
}

}  // namespace

void SystemDesktop::showCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

Window* SystemDesktop::createWindow(const WindowSpec& request) {
    if (request.className == nullptr) return nullptr;
    const auto found = classes_.find(request.className);
    if (found == classes_.end()) return nullptr;

    // High DPI: on a scaled display the drawable gets every pixel of the window
    // instead of being drawn small and magnified by the compositor.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (request.frame == WindowFrame::overlapped) flags |= SDL_WINDOW_RESIZABLE;
    if (request.frame == WindowFrame::popup) flags |= SDL_WINDOW_BORDERLESS;
    if (request.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    if (request.fullscreen && modeSwitched_) flags |= fullscreenFlag_;

    // Attempts at a GL visual: the exact request first, then ever looser colour sizes,
    // so that a display without the asked format still gets the closest one it has.
    const sdl::ColourSizes attempts[] = {sdl::exactColour(request.pixelFormat.colorBits),
                                         sdl::exactColour(request.pixelFormat.colorBits <= 16 ? 32 : 16),
                                         sdl::ColourSizes{1, 1, 1}};
    // The window's rectangle lies on the show's display, so a fullscreen window
    // covers that display and no other.
    SDL_Rect display{0, 0, 0, 0};
    SDL_GetDisplayBounds(sdl::showDisplay, &display);
    SDL_Window* sdl = nullptr;
    for (const sdl::ColourSizes& colour : attempts) {
        sdl::setGlAttributes(request.pixelFormat, colour);
        sdl = SDL_CreateWindow(request.title != nullptr ? request.title : "", display.x + request.x,
                               display.y + request.y, request.width, request.height, flags);
        if (sdl != nullptr) break;
    }
    if (sdl == nullptr) {
        sdl::reportSdlError("window");
        return nullptr;
    }
    if ((flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowDisplayMode(sdl, &fullscreenMode_);
    }
    sdl::outliveMonitorErrors(sdl);
    if (request.minClientWidth > 0 || request.minClientHeight > 0) {
        SDL_SetWindowMinimumSize(sdl, std::max(request.minClientWidth, 1), std::max(request.minClientHeight, 1));
    }
    const rules::Size maximum = maximumClientSize((flags & SDL_WINDOW_FULLSCREEN) != 0);
    if (maximum.w > 0 && maximum.h > 0) SDL_SetWindowMaximumSize(sdl, maximum.w, maximum.h);

    auto* window = new Window;
    window->sdl = sdl;
    window->id = SDL_GetWindowID(sdl);
    window->proc = found->second.proc;
    window->dc.window = window;
    window->outerSize = !request.sizeIsClient && request.frame == WindowFrame::overlapped;
    window->outerWidth = request.width;
    window->outerHeight = request.height;
    window->askedWidth = request.width;
    window->askedHeight = request.height;
    window->minWidth = request.minClientWidth;
    window->minHeight = request.minClientHeight;
    window->maxWidth = maximum.w;
    window->maxHeight = maximum.h;
    window->topmost = request.topmost;
    window->above = request.topmost;
    windows_[window->id] = window;

    Message create;
    create.kind = MessageKind::create;
    create.window = window;
    create.createParam = request.createParam;
    window->proc(window, create);
    return window;
}

void SystemDesktop::destroyWindow(Window* window) {
    if (window == nullptr) return;
    windows_.erase(window->id);
    for (auto it = pending_.begin(); it != pending_.end();) {
        it = it->window == window ? pending_.erase(it) : it + 1;
    }
    SDL_DestroyWindow(window->sdl);
    delete window;
}

void SystemDesktop::showWindow(Window* window) {
    if (window == nullptr) return;
    SDL_ShowWindow(window->sdl);
    if (window->outerSize) {
        // The frame is known only once the window manager has taken the window on
        // and said so; the client then gives up what the frame needs of the outer
        // size. Without a frame (no window manager) the client keeps it all.
        // Wayland cannot tell the frame at all: the client keeps the whole size.
        int top = 0, left = 0, bottom = 0, right = 0;
        for (int waited = 0; waited < frameWaitMs; waited += 10) {
            SDL_PumpEvents();
            if (SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) != 0) {
                top = left = bottom = right = 0;
                break;
            }
            if (top + left + bottom + right > 0) break;
            SDL_Delay(10);
        }
        const int w = window->outerWidth - left - right;
        const int h = window->outerHeight - top - bottom;
        if (w > 0 && h > 0 && (w != window->outerWidth || h != window->outerHeight)) {
            SDL_SetWindowSize(window->sdl, w, h);
        }
    }
    SDL_RaiseWindow(window->sdl);
    // The shell's view starts at the size it asked for. A drawable of another size
    // (a scaled display, a fullscreen window that covers a monitor in its own mode)
    // may never send a size event of its own: tell it here, so that every pixel
    // is painted from the first frame on.
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window->sdl, &w, &h);
    if (w != window->askedWidth || h != window->askedHeight) queueSize(window, SizeKind::restored);
}

void SystemDesktop::setUserData(Window* window, void* data) {
    if (window != nullptr) window->userData = data;
}

void* SystemDesktop::userData(Window* window) { return window != nullptr ? window->userData : nullptr; }

std::intptr_t SystemDesktop::defaultWindowProc(Window* window, const Message& message) {
    if (window == nullptr) return 0;
    if (message.kind == MessageKind::sysCommand) {
        switch (static_cast<SysCommand>(message.command)) {
            case SysCommand::close: {
                Message close;
                close.kind = MessageKind::close;
                close.window = window;
                return window->proc(window, close);
            }
            case SysCommand::minimize:
                SDL_MinimizeWindow(window->sdl);
                return 0;
            case SysCommand::screenSave:
            case SysCommand::monitorPower:
                saverQueryDefaulted_ = true;  // let it run
                return 0;
        }
    }
    // A close request that nobody handles leaves the window as it is: it goes away
    // only through destroyWindow.
    return 0;
}

Window* SystemDesktop::windowFor(Uint32 id) const {
    const auto found = windows_.find(id);
    return found != windows_.end() ? found->second : nullptr;
}

void SystemDesktop::keepSizeLimits(Window* window) {
    // Monitors come and go: the largest one is looked for again.
    const rules::Size maximum = maximumClientSize((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) != 0);
    if (maximum.w > 0 && maximum.h > 0 && (maximum.w != window->maxWidth || maximum.h != window->maxHeight)) {
        SDL_SetWindowMaximumSize(window->sdl, maximum.w, maximum.h);
        window->maxWidth = maximum.w;
        window->maxHeight = maximum.h;
    }
    rules::Size now;
    SDL_GetWindowSize(window->sdl, &now.w, &now.h);
    const rules::Size kept = rules::keptClientSize(now, {window->minWidth, window->minHeight}, maximum);
    if (kept != now) SDL_SetWindowSize(window->sdl, kept.w, kept.h);
}

void SystemDesktop::queueSize(Window* window, SizeKind kind) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window->sdl, &w, &h);
    Message size;
    size.kind = MessageKind::size;
    size.window = window;
    size.sizeKind = kind;
    size.width = static_cast<std::uint16_t>(w);
    size.height = static_cast<std::uint16_t>(h);
    pending_.push_back(size);
}

void SystemDesktop::keepAbove(Window* window, bool above) {
    window->above = above;
    // SDL 2.26 leaves a fullscreen window's stacking alone: on X the window manager is
    // asked directly, as SDL asks it for other windows.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if ((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) == 0 || !SDL_GetWindowWMInfo(window->sdl, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
        SDL_SetWindowAlwaysOnTop(window->sdl, above ? SDL_TRUE : SDL_FALSE);
        return;
    }
    Display* display = info.info.x11.display;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = info.info.x11.window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = above ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
    XFlush(display);
}

}  // namespace platform
