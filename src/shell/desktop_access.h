// Which desktop the shell talks to: the system's own (platform/desktop: SDL2, with the
// form room's GTK 3 for notices and the settings form) unless a test has put a scripted
// one in its place. Also the shell's one way of reporting a failure.
#pragma once

#include "platform/desktop/desktop.h"

namespace shell {

platform::Desktop& desktop();

// Installs `replacement` for every later shell call; null returns to the system desktop.
void useDesktop(platform::Desktop* replacement);

// Modal notice with no owner window and the caption "Error".
void showErrorBox(const char* text, platform::MessageIcon icon = platform::MessageIcon::error);

}  // namespace shell
