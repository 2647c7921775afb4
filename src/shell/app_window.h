// The shell's records and its one window: the user's display settings, the process
// identity, the 256-byte keyboard snapshot, and the AppWindow record that holds the
// window, its drawing context and GL context, the keyboard device and the keys.
// Sizes are pixels; the view is the whole client area mapped to the unit square
// (x right, y up). One window at a time, made and torn down once per cycle.
#pragma once

#include <array>
#include <cstdint>

#include "platform/desktop/desktop.h"
#include "platform/desktop/key_codes.h"

namespace shell {

struct DisplaySettings {
    std::int32_t width = 0;   // client width, and screen width in fullscreen
    std::int32_t height = 0;
    std::int32_t bits = 0;    // colour depth: 16 or 32
    bool fullscreen = false;  // true during a cycle only while the screen mode is switched
    bool music = false;
};

struct AppIdentity {
    platform::Instance instance = nullptr;
    const char* className = nullptr;  // "OpenGL"
};

// Indexed by the classic scan-code numbering (Escape = 1); bit 7 set: key down.
using KeyboardState = std::array<std::uint8_t, platform::keyboardStateSize>;

struct AppWindow {
    platform::Window* window = nullptr;
    platform::DeviceContext* deviceContext = nullptr;
    platform::GlContext* glContext = nullptr;
    const AppIdentity* identity = nullptr;
    const char* title = nullptr;
    DisplaySettings settings;
    bool active = false;  // not minimised: frames are drawn
    platform::Input* input = nullptr;
    platform::KeyboardDevice* keyboard = nullptr;
    KeyboardState keys{};
};

// The one record of the run; appMain zeroes it before anything else.
extern AppWindow appWindow;

// The size last given to resizeView; the show paints its picture at this size.
extern std::int32_t viewWidth;
extern std::int32_t viewHeight;

inline constexpr const char* windowTitle = "Tessaly - Sunmarrow";
inline constexpr const char* windowClassName = "OpenGL";

// Registers the window class with appWindowProc; shows "RegisterClassEx failed." when
// that fails.
bool registerAppClass(const AppIdentity& identity);

// True when the screen is (about to be) in width x height x bits for a fullscreen window.
bool switchDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits);

// Makes the window, its GL context (current on this thread, its swaps synchronised with
// the display) and the keyboard device for appWindow.settings, shows the window and sets
// the view. The client area never gets smaller than the capture. False, with everything it made
// released, when the window or its context cannot be made; a screen mode switched on
// the way stays switched. A fullscreen switch that fails shows a warning and falls back
// to a decorated window whose outer size is width x height.
bool createAppWindow();

// The window's procedure: records the AppWindow at creation, follows minimise, restore
// and resize, turns the close request into requestQuit, refuses the screen saver and
// monitor power-down.
std::intptr_t appWindowProc(platform::Window* window, const platform::Message& message);

// Records the view size and maps the whole viewport to the unit square. Always 0.
int resizeView(std::int32_t width, std::int32_t height);

// Releases what exists, newest first (context, drawing context, window, keyboard), then
// returns the screen to its own mode and shows the cursor if a switch was in force.
// Every handle ends null. Always true.
bool destroyAppWindow(AppWindow& app);

}  // namespace shell
