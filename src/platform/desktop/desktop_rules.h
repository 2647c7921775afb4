// The desktop room's decisions, kept apart from SDL and the window system so that each
// is a table-tested function: whether a mode switch is safe, and the size a window
// keeps. The concern files gather what SDL knows and act on the answer.
// Rectangles and sizes are in desktop units (on a scaled display the drawable has
// more pixels than that); a monitor's rectangle is where it sits on the desktop.
//
// Needs: nothing but the standard library.
// Tested by: tests/unit/test_desktop_rules.cpp, one table per decision.
#pragma once

#include <span>

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

// The client size a window keeps once something (the user, a window manager, another
// program) made it `now`: at least `minimum` in each direction.
Size keptClientSize(Size now, Size minimum);

}  // namespace platform::rules
