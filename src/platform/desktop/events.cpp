// Events: SDL's events turned into window messages, the quit marker queued behind
// them, the waits, what a window does when it loses the focus, and the screen saver,
// which the focused window is asked about and which runs again once the focus leaves.
#include "platform/desktop/system_desktop.h"
#include "platform/desktop/tick_clock.h"
#include "platform/process/quit_signal.h"

// Last: Xlib's macros (None, Status, True...) are not for the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace platform {

namespace {

// Lets the screen saver run again. SDL 2.26 refuses it through the session bus where
// there is one, else by suspending the X server's own saver; but without a session bus
// its way back ends before the X server is told, and the saver would stay suspended
// after the focus left, until the show ends. The X server counts each client's
// suspensions: lifting one that SDL never made is no change.
void allowScreenSaver(SDL_Window* window) {
    SDL_EnableScreenSaver();
    auto* display = static_cast<Display*>(sdl::x11DisplayOf(window));
    int event = 0, error = 0, major = 0, minor = 0;
    if (display == nullptr || !XScreenSaverQueryExtension(display, &event, &error) ||
        !XScreenSaverQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 1)) {
        return;
    }
    XScreenSaverSuspend(display, False);
    XFlush(display);
}

}  // namespace

void SystemDesktop::postQuit(Window* window) {
    // Whatever the window system has already sent goes into the queue first.
    SDL_PumpEvents();
    SDL_Event event{};
    event.type = quitEventType_;
    event.user.windowID = window != nullptr ? window->id : 0;
    SDL_PushEvent(&event);
}

bool SystemDesktop::peekMessage(Message& message) {
    while (pending_.empty()) {
        SDL_Event event;
        if (SDL_PollEvent(&event) == 0) {
            noticeUnheardFocusLoss();
            return false;
        }
        translate(event);
    }
    message = pending_.front();
    pending_.pop_front();
    return true;
}

void SystemDesktop::dispatchMessage(const Message& message) {
    Window* window = message.window;
    if (window == nullptr || windows_.count(window->id) == 0) return;
    const bool saverQuery = message.kind == MessageKind::sysCommand &&
                            (message.command == static_cast<std::uint32_t>(SysCommand::screenSave) ||
                             message.command == static_cast<std::uint32_t>(SysCommand::monitorPower));
    saverQueryDefaulted_ = false;
    window->proc(window, message);
    if (saverQuery && !saverQueryDefaulted_) SDL_DisableScreenSaver();
}

void SystemDesktop::waitMessage() {
    // Short waits, so that a quit signal is seen within a tenth of a second even
    // when SDL restarts its own wait after the interruption.
    while (pending_.empty() && !quitSignalPending()) {
        if (SDL_WaitEventTimeout(nullptr, 100) != 0) return;
    }
}

bool SystemDesktop::takeQuitSignal() { return platform::takeQuitSignal(); }
bool SystemDesktop::quitSignalPending() { return platform::quitSignalPending(); }

std::uint32_t SystemDesktop::tickCount() { return platform::tickCount(); }

void SystemDesktop::translate(const SDL_Event& event) {
    Message message;
    if (event.type == quitEventType_) {
        message.kind = MessageKind::quit;
        message.window = windowFor(event.user.windowID);
        pending_.push_back(message);
        return;
    }
    if (event.type == SDL_KEYDOWN && event.key.repeat == 0) {
        const std::uint8_t code = keyCodeForScancode(event.key.keysym.scancode);
        if (code != 0) tapped_[code] = true;
    }
    if (event.type != SDL_WINDOWEVENT) {
        pending_.push_back(message);  // kind other: keys, mouse and the like
        return;
    }
    Window* window = windowFor(event.window.windowID);
    message.window = window;
    if (window == nullptr) {
        pending_.push_back(message);
        return;
    }
    const Uint32 flags = SDL_GetWindowFlags(window->sdl);
    switch (event.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
            queueSize(window, SizeKind::minimized);
            return;
        case SDL_WINDOWEVENT_MAXIMIZED:
            queueSize(window, SizeKind::maximized);
            return;
        case SDL_WINDOWEVENT_RESTORED:
            queueSize(window, SizeKind::restored);
            return;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:  // another monitor may have another scale
            if ((flags & SDL_WINDOW_MINIMIZED) == 0) {
                keepSizeLimits(window);
                queueSize(window, (flags & SDL_WINDOW_MAXIMIZED) != 0 ? SizeKind::maximized : SizeKind::restored);
                return;
            }
            break;
        case SDL_WINDOWEVENT_CLOSE:
            message.kind = MessageKind::close;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (window->topmost && !window->above) keepAbove(window, true);
            // The screen saver and monitor power-down ask the focused window first.
            message.kind = MessageKind::sysCommand;
            message.command = static_cast<std::uint32_t>(SysCommand::screenSave);
            pending_.push_back(message);
            message.command = static_cast<std::uint32_t>(SysCommand::monitorPower);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            loseFocus(window);
            break;
        default:
            break;
    }
    pending_.push_back(message);
}

void SystemDesktop::loseFocus(Window* window) {
    allowScreenSaver(window->sdl);
    tapped_.fill(false);
    const bool minimised = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MINIMIZED) != 0;
    const rules::FocusLoss loss = rules::onFocusLoss(fullscreenOf(window), window->above, minimised);
    if (loss.leaveTop) keepAbove(window, false);
    // SDL gives the desktop its mode back as the window minimises, and switches again
    // when it is restored.
    if (loss.minimise) SDL_MinimizeWindow(window->sdl);
}

void SystemDesktop::noticeUnheardFocusLoss() {
    for (const auto& [id, window] : windows_) {
        const Uint32 flags = SDL_GetWindowFlags(window->sdl);
        const bool minimised = (flags & SDL_WINDOW_MINIMIZED) != 0;
        const bool sdlFocused = (flags & SDL_WINDOW_INPUT_FOCUS) != 0;
        const rules::Fullscreen fullscreen = fullscreenOf(window);
        // The X server is asked only where SDL's answer may be wrong to the user's cost.
        const bool elsewhere = fullscreen == rules::Fullscreen::switchedMode && !minimised && !sdlFocused &&
                               sdl::x11FocusElsewhere(window->sdl);
        const Uint32 now = platform::tickCount();
        if (elsewhere && !window->focusElsewhere) window->focusElsewhereSince = now;
        window->focusElsewhere = elsewhere;
        if (rules::unheardFocusLoss(fullscreen, minimised, sdlFocused, elsewhere, now - window->focusElsewhereSince)) {
            window->focusElsewhere = false;
            loseFocus(window);
        }
    }
}

}  // namespace platform
