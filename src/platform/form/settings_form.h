// The settings form on GTK 3: template 101, a borderless modal window centred on the
// screen and kept above the others, built from a GtkBuilder definition compiled into
// the program. Controls by id: 1 OK (the default button), 1000 "Fullscreen", 1001-1003
// the sizes, 1004-1005 the depths, 1008 "Music". Enter presses OK wherever the focus
// is; Escape and the window manager's close request reach the procedure as the command
// 2 (cancel); clicks on the check boxes and radio buttons reach it as their ids.
#pragma once

#include <cstdint>

#include "platform/desktop/desktop.h"

namespace platform {

// Runs the form until its procedure calls endDialog and returns that result; -1 when
// the form cannot be shown (no display, unknown template) or SIGINT/SIGTERM ended it.
std::intptr_t runSettingsForm(int templateId, DialogProc proc, std::intptr_t param);

// The GtkBuilder definition of template 101.
extern const char* const settingsFormDefinition;

}  // namespace platform
