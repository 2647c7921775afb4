// The desktop room: the seam through which the shell asks the windowing system for
// everything, as one abstract class (Desktop, below). The real one (systemDesktop)
// stands on SDL2 for the window, GL context, event queue, display mode, cursor and
// keyboard, and hands message boxes and the settings form to the form room
// (platform/form/form.h: GTK 3, in a child process); tests put a scripted fake in its
// place.
//
// The room is two libraries, so that each program takes no more of it than it uses:
//   desktop           this seam on SDL2 (one file per concern over one private
//                     record, system_desktop.h, which lists them), the key
//                     numbering (key_codes.h) and the tick clock (tick_clock.h)
//   offscreen_gl      a GL context with no window system (offscreen_gl.h), for the
//                     capture tool, the GL tests and the fuzzers
// Beside the rooms stand two small folders that the rooms and the tools share:
//   platform/process  (platform_process) the quit signal mark (quit_signal.h) and child
//                     processes joined by a pipe (child_process.h); no SDL, so that the
//                     form and the capture tool can use them
//   platform/files    (platform_files) opening the show's files (file_path.h) and the
//                     data folder (data_folder.h); no desktop libraries at all
// They depend one way: desktop on the form room, the form room on platform_process.
//
// Handles are opaque pointers, null when absent. Keyboard calls answer with an
// InputResult: negative means failure, as the device layer's codes have it.
// Times are unsigned 32-bit milliseconds that wrap after about 49.7 days.
//
// Needs: SDL2 (its video; the sound room uses its audio); the form room.
// Leaves: once the real desktop is made, SIGINT, SIGTERM, SIGHUP and SIGQUIT set the
//   quit mark instead of ending the process; once its video is up, X errors of
//   monitor requests no longer end it; a display claimed until the process ends.
// Tested by: tests/unit/test_desktop_rules.cpp (the decisions, without SDL),
//   tests/gl/test_shell_desktop.cpp (the real desktop on SDL's offscreen driver),
//   tests/gl/test_gl_context.cpp, tests/unit/test_keyboard.cpp (key numbering); the
//   shell's unit tests drive the scripted fake (tests/unit/shell_fake_desktop.h); end
//   to end tests/e2e/player_window.sh, window_abuse.sh and
//   desktop_{x11,monitors,wayland,sharing}.sh.
#pragma once

#include <cstdint>

#include "platform/form/form.h"

namespace platform {

struct InstanceTag;
struct Window;
struct DeviceContext;
struct GlContext;
struct Input;
struct KeyboardDevice;

// The process instance handle; it only identifies the process to the class registry.
using Instance = InstanceTag*;
Instance currentInstance();

// ---- window messages -------------------------------------------------------------

enum class MessageKind : std::uint8_t {
    create,      // the window is being made; createParam carries the creation parameter
    size,        // client size changed; sizeKind says how, width/height the client size
    close,       // the close box, the system close command or the manager's close request
    sysCommand,  // a system command; the screen saver and monitor power-down ask here
    quit,        // the quit marker posted by postQuit; never dispatched
    other,       // anything else (keys, mouse, exposure): default processing only
};

enum class SizeKind : std::uint8_t { restored = 0, minimized = 1, maximized = 2, maxShow = 3, maxHide = 4 };

// System commands, with the values the window manager protocol of the show's origin
// used; the two the show refuses are asked whenever the window gains the focus.
enum class SysCommand : std::uint32_t {
    close = 0xF060,
    minimize = 0xF020,
    screenSave = 0xF140,
    monitorPower = 0xF170,
};

struct Message {
    MessageKind kind = MessageKind::other;
    Window* window = nullptr;
    SizeKind sizeKind = SizeKind::restored;
    // Client size for MessageKind::size (16 bits each), in the drawable's pixels: on a
    // scaled display that is more than the window's size in desktop units.
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t command = 0;  // SysCommand value for MessageKind::sysCommand
    void* createParam = nullptr;
};

// Window procedure: the result of a message, 0 when fully handled.
using WindowProc = std::intptr_t (*)(Window* window, const Message& message);

struct WindowClass {
    const char* className = nullptr;
    Instance instance = nullptr;
    WindowProc proc = nullptr;
};

// ---- window and surface ------------------------------------------------------------

// What the GL surface must offer. Colour bits 16 mean 5/6/5, 32 mean 8/8/8 (no alpha
// asked for); where that exact format is missing the closest one is taken.
struct PixelFormatRequest {
    bool doubleBuffer = true;
    std::int32_t colorBits = 32;
    std::int32_t depthBits = 16;
    std::int32_t stencilBits = 0;
    std::int32_t alphaBits = 0;
    std::int32_t accumBits = 0;
};

enum class WindowFrame : std::uint8_t {
    overlapped,  // caption, border, system buttons, resizable
    popup,       // no frame at all
};

struct WindowSpec {
    const char* className = nullptr;
    const char* title = nullptr;
    WindowFrame frame = WindowFrame::overlapped;
    bool topmost = false;
    bool fullscreen = false;   // covers the show's display in the mode set by changeDisplayMode
    // Outer top-left corner, from the top-left of the show's display (the primary
    // monitor; other monitors are left alone). Compositors may place it themselves.
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool sizeIsClient = true;  // false: width x height is the outer size, frame included
    // The client area never gets smaller than this, whoever resizes the window (the
    // user through the window manager, or another program with no manager to refuse).
    std::int32_t minClientWidth = 0;
    std::int32_t minClientHeight = 0;
    Instance instance = nullptr;
    void* createParam = nullptr;  // handed to the window procedure with MessageKind::create
    // An X window's visual is fixed when it is made, so the surface format travels with
    // the window; setPixelFormat later confirms it for the context.
    PixelFormatRequest pixelFormat;
};

// ---- keyboard device ---------------------------------------------------------------

using InputResult = std::int32_t;
inline constexpr InputResult inputOk = 0;
inline constexpr InputResult inputLost = static_cast<std::int32_t>(0x8007001EU);
inline constexpr InputResult inputNotAcquired = static_cast<std::int32_t>(0x8007000CU);
inline constexpr InputResult inputOtherAppHasPriority = static_cast<std::int32_t>(0x80070005U);
inline constexpr InputResult inputInvalidParam = static_cast<std::int32_t>(0x80070057U);
inline constexpr InputResult inputGenericFailure = static_cast<std::int32_t>(0x80004005U);

inline constexpr std::uint32_t cooperativeExclusive = 0x1;
inline constexpr std::uint32_t cooperativeForeground = 0x4;

// ---- the seam ----------------------------------------------------------------------

class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal notice with no owner window; blocks until dismissed. Without a display the
    // text goes to standard error instead.
    virtual void messageBox(const char* text, const char* caption, MessageIcon icon) = 0;

    // Shows form `templateId` modally and runs `proc` for it until it calls endDialog;
    // returns that result, -1 when the form cannot be shown, or dialogAbandoned.
    virtual std::intptr_t dialogBox(Instance instance, int templateId, DialogProc proc,
                                    std::intptr_t param) = 0;

    virtual bool registerClass(const WindowClass& windowClass) = 0;
    virtual void unregisterClass(const char* className, Instance instance) = 0;

    // Switches the show's display (the primary monitor) to width x height for a
    // fullscreen window; true when that display has the mode, which is then in force
    // as soon as the fullscreen window shows. Where modes cannot really switch (Wayland,
    // or a monitor that the switch would turn off) the window covers the display in the
    // mode it has. A screen has the one depth it was started with: any depth is
    // accepted, and `bits` chooses only the GL colour buffer (pixelFormat).
    virtual bool changeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) = 0;
    // Returns the screen to the mode of the desktop's own settings.
    virtual void restoreDisplayMode() = 0;
    virtual void showCursor(bool show) = 0;

    // Made hidden. The class's procedure gets MessageKind::create before this returns.
    virtual Window* createWindow(const WindowSpec& request) = 0;
    virtual void destroyWindow(Window* window) = 0;
    virtual void showWindow(Window* window) = 0;
    virtual void setUserData(Window* window, void* data) = 0;
    virtual void* userData(Window* window) = 0;
    virtual std::intptr_t defaultWindowProc(Window* window, const Message& message) = 0;

    virtual DeviceContext* getDC(Window* window) = 0;
    virtual void releaseDC(Window* window, DeviceContext* dc) = 0;
    // 0 when no format fits; otherwise a format number for setPixelFormat.
    virtual int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request) = 0;
    virtual bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request) = 0;
    virtual GlContext* createContext(DeviceContext* dc) = 0;
    // A null context releases the current one.
    virtual bool makeCurrent(DeviceContext* dc, GlContext* context) = 0;
    virtual void deleteContext(GlContext* context) = 0;
    virtual void swapBuffers(DeviceContext* dc) = 0;
    // Asks the current context to wait for the display's refresh at each swap: interval
    // 1 every refresh, -1 every refresh unless a frame came late (adaptive, no wait
    // then), 0 never. False when the driver refuses that interval.
    virtual bool setSwapInterval(std::int32_t interval) = 0;
    // The interval in force for the current context, as the driver reports it (0 when
    // it has no way to wait).
    virtual std::int32_t swapInterval() = 0;

    // Queues the quit marker behind every event that has already happened.
    virtual void postQuit(Window* window) = 0;
    // Takes the next message off the queue without blocking; false when it is empty.
    virtual bool peekMessage(Message& message) = 0;
    // Hands a message to the procedure of the class of its window.
    virtual void dispatchMessage(const Message& message) = 0;
    // Blocks until a message is queued (it stays queued) or a quit signal arrives.
    virtual void waitMessage() = 0;
    // True once after SIGINT, SIGTERM, SIGHUP or SIGQUIT arrived; clears the mark.
    virtual bool takeQuitSignal() = 0;
    // The mark without clearing it.
    virtual bool quitSignalPending() = 0;

    virtual std::uint32_t tickCount() = 0;

    virtual InputResult createInput(Instance instance, Input** input) = 0;
    virtual InputResult createKeyboard(Input* input, KeyboardDevice** device) = 0;
    virtual InputResult setKeyboardDataFormat(KeyboardDevice* device) = 0;
    virtual InputResult setCooperativeLevel(KeyboardDevice* device, Window* window,
                                            std::uint32_t flags) = 0;
    virtual InputResult acquire(KeyboardDevice* device) = 0;
    // Fills `size` bytes at `state` with the key snapshot (bit 7: key down).
    virtual InputResult getDeviceState(KeyboardDevice* device, std::uint32_t size, void* state) = 0;
    virtual InputResult unacquire(KeyboardDevice* device) = 0;
    virtual void releaseKeyboard(KeyboardDevice* device) = 0;
    virtual void releaseInput(Input* input) = 0;

    // Claims the display this process will show on, for as long as the process runs
    // (however it ends); false when another player holds it. Best effort: where there
    // is nothing to claim or no claim can be made, true.
    virtual bool claimDisplay() = 0;
};

// The process's real desktop (SDL2 and GTK 3), made on first use. Making it installs
// the quit signal handlers that feed takeQuitSignal.
Desktop& systemDesktop();

}  // namespace platform
