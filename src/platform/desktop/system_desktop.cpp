// The real desktop: SDL2 for windows, GL, events, display mode, cursor and keyboard;
// notices and the settings form go to the form room (GTK 3, in a child process).
//
// On X11 and on Wayland (SDL_VIDEODRIVER=wayland). The show uses one display: SDL's
// first, which on X11 is the RandR primary output; its modes are checked, the mode is
// switched there and the window is placed there. Window sizes in size messages are the
// drawable's pixels (a scaled display has more than the window's desktop units), and
// the window keeps a minimum client area even where no window manager enforces it.
// Wayland differs: a minimised window cannot be detected, the compositor places the
// window and decides whether it stays above, and modes never really switch.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "platform/desktop/desktop.h"
#include "platform/desktop/key_codes.h"
#include "platform/process/quit_signal.h"
#include "platform/desktop/tick_clock.h"
#include "platform/form/form_apart.h"

namespace platform {

struct InstanceTag {
    int unused = 0;
};

Instance currentInstance() {
    static InstanceTag process;
    return &process;
}

struct DeviceContext {
    Window* window = nullptr;
};

struct Window {
    SDL_Window* sdl = nullptr;
    Uint32 id = 0;
    WindowProc proc = nullptr;
    void* userData = nullptr;
    DeviceContext dc;  // the window's own drawing context, valid as long as the window
    bool outerSize = false;  // width x height below is the outer size, frame included
    int outerWidth = 0;
    int outerHeight = 0;
    int minWidth = 0;  // the smallest client area, in window units
    int minHeight = 0;
    int askedWidth = 0;  // the size asked for; the shell's view starts at it
    int askedHeight = 0;
};

struct GlContext {
    SDL_GLContext sdl = nullptr;
};

struct Input {
    int unused = 0;
};

struct KeyboardDevice {
    Window* window = nullptr;
    bool formatSet = false;
    bool acquired = false;
};

namespace {

// Attempts at a GL visual: the exact request first, then ever looser colour sizes,
// so that a display without the asked format still gets the closest one it has.
struct ColourSizes {
    int red, green, blue;
};

// How long a window that must fit its frame into its size waits for the frame to be known.
constexpr int frameWaitMs = 500;

void reportSdlError(const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
    std::fflush(stderr);
}

// The display the show uses. SDL lists the RandR primary output first on X11; Wayland
// has no primary, and the first output stands in for it.
constexpr int showDisplay = 0;

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

// SDL falls back to a driver that shows nothing when there is no display; a show that
// nobody can see or stop is not a run. Those drivers count only when asked for by name.
bool onRealDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return true;
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return asked != nullptr && std::strcmp(asked, driver) == 0;
}

bool videoDriverIs(const char* name) {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, name) == 0;
}

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
    if (SDL_GetDisplayBounds(showDisplay, &show) != 0) return false;
    if (show.x == 0 && show.y == 0) return true;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(showDisplay, &desktop) != 0) return false;
    int right = 0, bottom = 0;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect other{};
        if (i == showDisplay || SDL_GetDisplayBounds(i, &other) != 0) continue;
        right = std::max(right, other.x + other.w);
        bottom = std::max(bottom, other.y + other.h);
    }
    const auto resizeRefused = [&](int w, int h) { return right > w || bottom > h; };
    return resizeRefused(width, height) && resizeRefused(desktop.w, desktop.h);
}

ColourSizes exactColour(std::int32_t bits) {
    return bits <= 16 ? ColourSizes{5, 6, 5} : ColourSizes{8, 8, 8};
}

class SystemDesktop final : public Desktop {
public:
    SystemDesktop() {
        // Our own handlers turn SIGINT/SIGTERM into a quit request; SDL's would queue an
        // SDL_QUIT that the shell does not treat as one.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // A fullscreen show stays up when another window takes the focus.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        installQuitSignalHandlers();
        quitEventType_ = SDL_RegisterEvents(1);
    }

    void messageBox(const char* text, const char* caption, MessageIcon icon) override {
        showNoticeApart(text, caption, icon);
    }

    std::intptr_t dialogBox(Instance, int templateId, DialogProc proc, std::intptr_t param) override {
        return runSettingsFormApart(templateId, proc, param);
    }

    bool registerClass(const WindowClass& windowClass) override {
        if (windowClass.className == nullptr || windowClass.proc == nullptr) return false;
        if (classes_.count(windowClass.className) != 0) return false;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            reportSdlError("video");
            return false;
        }
        if (!onRealDisplay()) {
            std::fprintf(stderr, "video: no display (only SDL's %s driver started)\n", SDL_GetCurrentVideoDriver());
            std::fflush(stderr);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        // SDL keeps the screen saver off from start-up; here it is off only while the
        // window has the focus and its procedure refuses it.
        SDL_EnableScreenSaver();
        classes_[windowClass.className] = windowClass;
        return true;
    }

    void unregisterClass(const char* className, Instance) override {
        if (className == nullptr) return;
        if (classes_.erase(className) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool changeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t) override {
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
        // A screen's depth is fixed when its server starts, so only the size is looked
        // for; the list runs from the highest refresh rate down for each size.
        const int count = SDL_GetNumDisplayModes(showDisplay);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode{};
            if (SDL_GetDisplayMode(showDisplay, i, &mode) != 0) continue;
            if (mode.w == width && mode.h == height) {
                // The switch itself happens when the fullscreen window shows: SDL ties
                // the mode to the window and returns to the desktop mode without it.
                // Where no mode really switches (Wayland), or switching would turn a
                // monitor off, the window covers the monitor at the mode it has, and
                // the show is drawn at that size.
                fullscreenMode_ = mode;
                modeSwitched_ = true;
                fullscreenFlag_ = !videoDriverIs("wayland") && modeSwitchIsSafe(width, height)
                                      ? SDL_WINDOW_FULLSCREEN
                                      : SDL_WINDOW_FULLSCREEN_DESKTOP;
                return true;
            }
        }
        return false;
    }

    void restoreDisplayMode() override {
        modeSwitched_ = false;
        for (auto& [id, window] : windows_) {
            if ((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) != 0) {
                SDL_SetWindowFullscreen(window->sdl, 0);
            }
        }
    }

    void showCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

    Window* createWindow(const WindowSpec& request) override {
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

        const ColourSizes attempts[] = {exactColour(request.pixelFormat.colorBits),
                                        exactColour(request.pixelFormat.colorBits <= 16 ? 32 : 16),
                                        ColourSizes{1, 1, 1}};
        // The window's rectangle lies on the show's display, so a fullscreen window
        // covers that display and no other.
        SDL_Rect display{0, 0, 0, 0};
        SDL_GetDisplayBounds(showDisplay, &display);
        SDL_Window* sdl = nullptr;
        for (const ColourSizes& colour : attempts) {
            setGlAttributes(request.pixelFormat, colour);
            sdl = SDL_CreateWindow(request.title != nullptr ? request.title : "", display.x + request.x,
                                   display.y + request.y, request.width, request.height, flags);
            if (sdl != nullptr) break;
        }
        if (sdl == nullptr) {
            reportSdlError("window");
            return nullptr;
        }
        if ((flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN) {
            SDL_SetWindowDisplayMode(sdl, &fullscreenMode_);
        }
        if (request.minClientWidth > 0 || request.minClientHeight > 0) {
            SDL_SetWindowMinimumSize(sdl, std::max(request.minClientWidth, 1), std::max(request.minClientHeight, 1));
        }

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
        windows_[window->id] = window;

        Message create;
        create.kind = MessageKind::create;
        create.window = window;
        create.createParam = request.createParam;
        window->proc(window, create);
        return window;
    }

    void destroyWindow(Window* window) override {
        if (window == nullptr) return;
        windows_.erase(window->id);
        for (auto it = pending_.begin(); it != pending_.end();) {
            it = it->window == window ? pending_.erase(it) : it + 1;
        }
        SDL_DestroyWindow(window->sdl);
        delete window;
    }

    void showWindow(Window* window) override {
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

    void setUserData(Window* window, void* data) override {
        if (window != nullptr) window->userData = data;
    }

    void* userData(Window* window) override { return window != nullptr ? window->userData : nullptr; }

    std::intptr_t defaultWindowProc(Window* window, const Message& message) override {
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

    DeviceContext* getDC(Window* window) override { return window != nullptr ? &window->dc : nullptr; }

    void releaseDC(Window*, DeviceContext*) override {}

    int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest&) override {
        if (dc == nullptr || dc->window == nullptr) return 0;
        // The window's visual was picked for the request when it was made.
        return (SDL_GetWindowFlags(dc->window->sdl) & SDL_WINDOW_OPENGL) != 0 ? 1 : 0;
    }

    bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request) override {
        if (dc == nullptr || format != 1) return false;
        setGlAttributes(request, exactColour(request.colorBits));
        return true;
    }

    GlContext* createContext(DeviceContext* dc) override {
        if (dc == nullptr) return nullptr;
        SDL_GLContext sdl = SDL_GL_CreateContext(dc->window->sdl);
        if (sdl == nullptr) {
            reportSdlError("GL context");
            return nullptr;
        }
        return new GlContext{sdl};
    }

    bool makeCurrent(DeviceContext* dc, GlContext* context) override {
        if (context == nullptr) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
        if (dc == nullptr) return false;
        if (SDL_GL_MakeCurrent(dc->window->sdl, context->sdl) != 0) {
            reportSdlError("GL make current");
            return false;
        }
        return true;
    }

    void deleteContext(GlContext* context) override {
        if (context == nullptr) return;
        SDL_GL_DeleteContext(context->sdl);
        delete context;
    }

    void swapBuffers(DeviceContext* dc) override {
        if (dc != nullptr) SDL_GL_SwapWindow(dc->window->sdl);
    }

    bool setSwapInterval(std::int32_t interval) override { return SDL_GL_SetSwapInterval(interval) == 0; }

    std::int32_t swapInterval() override { return SDL_GL_GetSwapInterval(); }

    void postQuit(Window* window) override {
        // Whatever the window system has already sent goes into the queue first.
        SDL_PumpEvents();
        SDL_Event event{};
        event.type = quitEventType_;
        event.user.windowID = window != nullptr ? window->id : 0;
        SDL_PushEvent(&event);
    }

    bool peekMessage(Message& message) override {
        while (pending_.empty()) {
            SDL_Event event;
            if (SDL_PollEvent(&event) == 0) return false;
            translate(event);
        }
        message = pending_.front();
        pending_.pop_front();
        return true;
    }

    void dispatchMessage(const Message& message) override {
        Window* window = message.window;
        if (window == nullptr || windows_.count(window->id) == 0) return;
        const bool saverQuery =
            message.kind == MessageKind::sysCommand &&
            (message.command == static_cast<std::uint32_t>(SysCommand::screenSave) ||
             message.command == static_cast<std::uint32_t>(SysCommand::monitorPower));
        saverQueryDefaulted_ = false;
        window->proc(window, message);
        if (saverQuery && !saverQueryDefaulted_) SDL_DisableScreenSaver();
    }

    void waitMessage() override {
        // Short waits, so that a quit signal is seen within a tenth of a second even
        // when SDL restarts its own wait after the interruption.
        while (pending_.empty() && !quitSignalPending()) {
            if (SDL_WaitEventTimeout(nullptr, 100) != 0) return;
        }
    }

    bool takeQuitSignal() override { return platform::takeQuitSignal(); }
    bool quitSignalPending() override { return platform::quitSignalPending(); }

    std::uint32_t tickCount() override { return platform::tickCount(); }

    InputResult createInput(Instance, Input** input) override {
        if (input == nullptr) return inputInvalidParam;
        *input = new Input;
        return inputOk;
    }

    InputResult createKeyboard(Input* input, KeyboardDevice** device) override {
        if (device == nullptr) return inputInvalidParam;
        *device = nullptr;
        if (input == nullptr) return inputInvalidParam;
        if (SDL_GetKeyboardState(nullptr) == nullptr) return inputGenericFailure;
        *device = new KeyboardDevice;
        return inputOk;
    }

    InputResult setKeyboardDataFormat(KeyboardDevice* device) override {
        if (device == nullptr) return inputInvalidParam;
        device->formatSet = true;
        return inputOk;
    }

    InputResult setCooperativeLevel(KeyboardDevice* device, Window* window, std::uint32_t flags) override {
        // Keys are read from SDL's state of the focused window: only foreground access
        // exists. Nothing else can take the keyboard from us, so exclusive is implied.
        if (device == nullptr || window == nullptr || (flags & cooperativeForeground) == 0) {
            return inputInvalidParam;
        }
        device->window = window;
        return inputOk;
    }

    InputResult acquire(KeyboardDevice* device) override {
        if (device == nullptr || !device->formatSet || device->window == nullptr) return inputInvalidParam;
        device->acquired = hasKeyboardFocus(device);
        return device->acquired ? inputOk : inputOtherAppHasPriority;
    }

    InputResult getDeviceState(KeyboardDevice* device, std::uint32_t size, void* state) override {
        if (device == nullptr || state == nullptr || size != keyboardStateSize) return inputInvalidParam;
        if (!device->acquired) return inputNotAcquired;
        if (!hasKeyboardFocus(device)) {
            device->acquired = false;
            return inputLost;
        }
        int count = 0;
        const Uint8* keys = SDL_GetKeyboardState(&count);
        auto* out = static_cast<std::uint8_t*>(state);
        fillKeyState(keys, count, out);
        // A tap that went down and up between two snapshots still shows once.
        for (std::size_t code = 0; code < tapped_.size(); ++code) {
            if (tapped_[code]) out[code] = keyDown;
        }
        tapped_.fill(false);
        return inputOk;
    }

    InputResult unacquire(KeyboardDevice* device) override {
        if (device == nullptr) return inputInvalidParam;
        device->acquired = false;
        return inputOk;
    }

    void releaseKeyboard(KeyboardDevice* device) override { delete device; }
    void releaseInput(Input* input) override { delete input; }

private:
    bool hasKeyboardFocus(const KeyboardDevice* device) const {
        return windows_.count(device->window->id) != 0 && SDL_GetKeyboardFocus() == device->window->sdl;
    }

    Window* windowFor(Uint32 id) const {
        const auto found = windows_.find(id);
        return found != windows_.end() ? found->second : nullptr;
    }

    // Gives the window back its minimum client area when something made it smaller:
    // without a window manager nothing else refuses a resize. Should the size read
    // afterwards still be the small one, the event of the correction follows.
    void keepMinimumSize(Window* window) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window->sdl, &w, &h);
        if (w >= window->minWidth && h >= window->minHeight) return;
        SDL_SetWindowSize(window->sdl, std::max(w, window->minWidth), std::max(h, window->minHeight));
    }

    void queueSize(Window* window, SizeKind kind) {
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

    void translate(const SDL_Event& event) {
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
                    keepMinimumSize(window);
                    queueSize(window, (flags & SDL_WINDOW_MAXIMIZED) != 0 ? SizeKind::maximized
                                                                         : SizeKind::restored);
                    return;
                }
                break;
            case SDL_WINDOWEVENT_CLOSE:
                message.kind = MessageKind::close;
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                // The screen saver and monitor power-down ask the focused window first.
                message.kind = MessageKind::sysCommand;
                message.command = static_cast<std::uint32_t>(SysCommand::screenSave);
                pending_.push_back(message);
                message.command = static_cast<std::uint32_t>(SysCommand::monitorPower);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                SDL_EnableScreenSaver();
                tapped_.fill(false);
                break;
            default:
                break;
        }
        pending_.push_back(message);
    }

    std::map<std::string, WindowClass> classes_;
    std::map<Uint32, Window*> windows_;
    std::deque<Message> pending_;
    Uint32 quitEventType_ = 0;
    SDL_DisplayMode fullscreenMode_{};
    bool modeSwitched_ = false;
    Uint32 fullscreenFlag_ = SDL_WINDOW_FULLSCREEN;  // or _DESKTOP: cover without switching
    bool saverQueryDefaulted_ = false;
    std::array<bool, keyboardStateSize> tapped_{};  // pressed since the last snapshot
};

}  // namespace

Desktop& systemDesktop() {
    static SystemDesktop desktop;
    return desktop;
}

}  // namespace platform
