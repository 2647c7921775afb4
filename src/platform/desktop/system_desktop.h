// The real desktop's one record, private to this room: the handles' insides and the
// SystemDesktop class that desktop.h's systemDesktop() returns. Each concern lives in a
// file of its own, all over this state:
//   hints.cpp            SDL's hints, the quit signals, the desktop's one instance
//   form_handoff.cpp     notices and the settings form, handed to the form room
//   video_start.cpp      video start-up: a real display or none
//   display_modes.cpp    the fullscreen mode of the show's display and its way back,
//                        through monitors that go away under it
//   windows.cpp          windows: creation, showing, the size limits, the cursor
//   display_claim.cpp    one player per display
//   window_gl.cpp        the window's GL surface and context, swaps
//   events.cpp           window events as messages, the quit marker, focus loss and
//                        the screen saver
//   keyboard_device.cpp  the keyboard device over SDL's key state
//
// The decisions themselves are desktop_rules.h's, apart from SDL.
//
// On X11 and on Wayland (SDL_VIDEODRIVER=wayland). The show uses one display: SDL's
// first, which on X11 is the RandR primary output; its modes are checked, the mode is
// switched there and the window is placed there. Window sizes in size messages are the
// drawable's pixels (a scaled display has more than the window's desktop units), and
// the window keeps a minimum client area even where no window manager enforces it.
// Wayland differs: a minimised window cannot be detected, the compositor places the
// window and decides whether it stays above, and modes never really switch.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "platform/desktop/desktop.h"
#include "platform/desktop/desktop_rules.h"
#include "platform/desktop/key_codes.h"

namespace platform {

struct InstanceTag {
    int unused = 0;
};

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
    int maxWidth = 0;  // the largest: the largest monitor's size; 0 for none
    int maxHeight = 0;
    bool topmost = false;  // kept above the others while it has the focus
    bool above = false;    // kept above the others now
    int askedWidth = 0;  // the size asked for; the shell's view starts at it
    int askedHeight = 0;
    bool focusElsewhere = false;  // another window has the X input focus, seen since:
    Uint32 focusElsewhereSince = 0;
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

namespace sdl {

// The display the show uses. SDL lists the RandR primary output first on X11; Wayland
// has no primary, and the first output stands in for it.
inline constexpr int showDisplay = 0;

// Colour sizes of one attempt at a GL visual.
struct ColourSizes {
    int red, green, blue;
};

// SDL's last error after `what`, as one line on standard error.
void reportSdlError(const char* what);

bool videoDriverIs(const char* name);

// The X display (an Xlib Display*) the window is on; null off X11.
void* x11DisplayOf(SDL_Window* window);

// Whether another X window than this one has the X server's input focus; false off X11
// and when no window has it.
bool x11FocusElsewhere(SDL_Window* window);

// From the window's X display on: the process outlives the X server's refusals of
// monitor requests (rules::outlivesXError) instead of ending in SDL's error handler.
void outliveMonitorErrors(SDL_Window* window);

// 5/6/5 for 16 bits and less, else 8/8/8.
ColourSizes exactColour(std::int32_t bits);

void setGlAttributes(const PixelFormatRequest& request, ColourSizes colour);

}  // namespace sdl

class SystemDesktop final : public Desktop {
public:
    SystemDesktop();

    void messageBox(const char* text, const char* caption, MessageIcon icon) override;
    std::intptr_t dialogBox(Instance instance, int templateId, DialogProc proc, std::intptr_t param) override;

    bool registerClass(const WindowClass& windowClass) override;
    void unregisterClass(const char* className, Instance instance) override;

    bool changeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) override;
    void restoreDisplayMode() override;
    void showCursor(bool show) override;

    Window* createWindow(const WindowSpec& request) override;
    void destroyWindow(Window* window) override;
    void showWindow(Window* window) override;
    void setUserData(Window* window, void* data) override;
    void* userData(Window* window) override;
    std::intptr_t defaultWindowProc(Window* window, const Message& message) override;

    DeviceContext* getDC(Window* window) override;
    void releaseDC(Window* window, DeviceContext* dc) override;
    int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request) override;
    bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request) override;
    GlContext* createContext(DeviceContext* dc) override;
    bool makeCurrent(DeviceContext* dc, GlContext* context) override;
    void deleteContext(GlContext* context) override;
    void swapBuffers(DeviceContext* dc) override;
    bool setSwapInterval(std::int32_t interval) override;
    std::int32_t swapInterval() override;

    void postQuit(Window* window) override;
    bool peekMessage(Message& message) override;
    void dispatchMessage(const Message& message) override;
    void waitMessage() override;
    bool takeQuitSignal() override;
    bool quitSignalPending() override;

    std::uint32_t tickCount() override;

    InputResult createInput(Instance instance, Input** input) override;
    InputResult createKeyboard(Input* input, KeyboardDevice** device) override;
    InputResult setKeyboardDataFormat(KeyboardDevice* device) override;
    InputResult setCooperativeLevel(KeyboardDevice* device, Window* window, std::uint32_t flags) override;
    InputResult acquire(KeyboardDevice* device) override;
    InputResult getDeviceState(KeyboardDevice* device, std::uint32_t size, void* state) override;
    InputResult unacquire(KeyboardDevice* device) override;
    void releaseKeyboard(KeyboardDevice* device) override;
    void releaseInput(Input* input) override;

    bool claimDisplay() override;

private:
    // windows.cpp
    Window* windowFor(Uint32 id) const;
    // Keeps the client area between its minimum and the largest monitor when
    // something resized it: without a window manager nothing else refuses a resize.
    // Should the size read afterwards still be the old one, the event of the
    // correction follows.
    void keepSizeLimits(Window* window);
    void queueSize(Window* window, SizeKind kind);
    // Puts the window above all others, or back among them.
    void keepAbove(Window* window, bool above);

    // display_modes.cpp
    // Whether the window covers a monitor, and whether in a mode switched for it.
    rules::Fullscreen fullscreenOf(const Window* window) const;

    // events.cpp
    void translate(const SDL_Event& event);
    void loseFocus(Window* window);
    void noticeUnheardFocusLoss();

    // keyboard_device.cpp
    bool hasKeyboardFocus(const KeyboardDevice* device) const;

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

}  // namespace platform
