// The keyboard as a per-frame snapshot: a device made with the window (setUpKeyboard),
// read at the start of every frame into appWindow.keys (pollKeyboard) and released at
// teardown. A frame sees either a fresh snapshot or all zeros, never a stale one.
#pragma once

#include "shell/app_window.h"

namespace shell {

// Makes the input interface and keyboard device for appWindow.window (foreground-only).
// Each failed step shows its message and asks the run to quit; the later steps whose
// object exists are still made.
void setUpKeyboard();

// Fills appWindow.keys: the device's snapshot, or zeros when there is no device or the
// state cannot be read (another window has the focus).
void pollKeyboard();

// Unacquires and releases the device, then the interface; only what exists.
void releaseKeyboard(AppWindow& app);

}  // namespace shell
