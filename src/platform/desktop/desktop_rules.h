// The desktop room's decisions, kept apart from SDL and the window system so that each
// is a table-tested function: whether a mode switch is safe, what a window does when
// it loses the focus, the size a window keeps, which X errors the show outlives, and
// where the claim on a display lives. The concern files gather what SDL knows and act
// on the answer.
// Rectangles and sizes are in desktop units (on a scaled display the drawable has
// more pixels than that); a monitor's rectangle is where it sits on the desktop.
//
// Needs: nothing but the standard library.
// Tested by: tests/unit/test_desktop_rules.cpp, one table per decision.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform::rules {

struct Size {
    int w = 0;
    int h = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// Whether switching the show's monitor, at `show` in its desktop mode, to `wanted`
// leaves every monitor on. SDL 2.26 switches an X monitor's mode by turning it off,
// resizing the whole X screen to the new mode's size and turning it on again where it
// was; the way back does the same with the desktop's mode. Where the `others` fit
// into that size the resize goes through, and a monitor away from the desktop's
// top-left corner lands outside the screen: it stays off, and SDL's next look at it
// ends the process (two equal monitors, the primary one on the right, are enough).
// So the switch is safe from the top-left corner, or where another monitor reaches
// beyond both sizes, so that the X server refuses the resize both ways.
bool modeSwitchIsSafe(Rect show, Size desktopMode, std::span<const Rect> others, Size wanted);

// How a window covers the screen.
enum class Fullscreen : unsigned char {
    no,
    desktopMode,   // covers a monitor in the mode the desktop has
    switchedMode,  // the monitor was switched to another mode for it
};

// What a window does when another one takes the focus. A switched mode must not stay
// behind a window that cannot then be seen: the window minimises, which gives the
// desktop its mode back (and switches again once it is restored). A window kept above
// all others stops being so, so that the window with the focus can be seen.
struct FocusLoss {
    bool minimise = false;
    bool leaveTop = false;
    bool operator==(const FocusLoss&) const = default;
};
FocusLoss onFocusLoss(Fullscreen fullscreen, bool keptAbove, bool minimised);

// Whether a window takes a focus loss that SDL never reported. SDL 2.26 holds a focus
// change back for 200 ms and drops it when another comes meanwhile, so a window that
// gets the focus and loses it at once (Alt+Tab as the show starts) hears of neither and
// would stay switched above a window the user types into unseen. So while a switched
// window that is not minimised lacks the focus in SDL's eyes, the X server is asked:
// `elsewhere` when another window has its input focus (not this one, not none), seen
// so for `elsewhereMs`; a second of that is a loss (the time the window manager may
// take to hand a new window the focus).
bool unheardFocusLoss(Fullscreen fullscreen, bool minimised, bool sdlFocused, bool elsewhere,
                      std::uint32_t elsewhereMs);

// The largest size any of the monitors shows: the widest one's width and the tallest
// one's height. {0, 0} without monitors.
Size largestMonitor(std::span<const Rect> monitors);

// The client size a window keeps once something (the user, a window manager, another
// program) made it `now`: at least `minimum`, and at most `maximum` in each direction
// where that is above 0. The minimum wins where the two cross: the show reads its
// picture back from a corner of that size.
Size keptClientSize(Size now, Size minimum, Size maximum);

// Whether the show carries on after the X server refused a request with major opcode
// `requestCode` (the error handler's answer). Only the refusals of RandR requests
// (`randrOpcode`, 0 when the server has no RandR) are outlived: they mean a monitor
// changed under the show (turned off, unplugged), and SDL then gives up the mode
// change it was making. Every other error goes to SDL's own handler, which ends the
// process.
bool outlivesXError(int requestCode, int randrOpcode);

// Where a player claims the display it shows on, so that a second player on the same
// display can tell: a lock file named after the display, in the user's runtime folder
// (`runtimeDir`, XDG_RUNTIME_DIR) or, where that is not an absolute path, in /tmp with
// the user's id in its name. The display is the one SDL will take: SDL_VIDEODRIVER's
// (its first name) when it is "x11" or "wayland", else X (DISPLAY) before Wayland
// (WAYLAND_DISPLAY, "wayland-0" when a Wayland run names none). An X display's screen
// number and a "unix" host are left out (":0.0", "unix:0" and ":0" are one display).
// Empty where there is nothing to claim: no display named, or another driver asked for.
struct DisplayNames {
    const char* videoDriver = nullptr;  // SDL_VIDEODRIVER
    const char* x11 = nullptr;          // DISPLAY
    const char* wayland = nullptr;      // WAYLAND_DISPLAY
    const char* runtimeDir = nullptr;   // XDG_RUNTIME_DIR
    unsigned uid = 0;
};
std::string displayClaimPath(const DisplayNames& names);

}  // namespace platform::rules
