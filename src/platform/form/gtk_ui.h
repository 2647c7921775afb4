// The GTK 3 side of the desktop: modal notices and the settings form. GTK is started
// on first use; when it cannot start (no display) notices go to standard error and the
// form reports that it cannot be shown. GTK never changes the process locale here.
#pragma once

#include <cstdint>

#include "platform/form/form.h"

namespace platform {

// True when GTK is up (starting it on the first call).
bool startGtk();

// Modal message dialog with one OK button, centred, above other windows; blocks until
// dismissed or until SIGINT/SIGTERM arrives. Without GTK: "caption: text" on stderr.
void showNotice(const char* text, const char* caption, MessageIcon icon);

}  // namespace platform
