// The settings form on GTK 3: template 101, a borderless modal window centred on the
// screen and kept above the others, built from a GtkBuilder definition compiled into
// the program. Controls by id (dialog_ids.h): IDOK (the default button), idFullscreen
// "Fullscreen", idSize640..idSize1024 the sizes, idDepth16 and idDepth32 the depths,
// idMusic "Music". Enter presses OK wherever the focus is; Escape and the window
// manager's close request reach the procedure as the command IDCANCEL; clicks on the
// check boxes and radio buttons reach it as their ids.
#pragma once

#include <cstdint>

#include "platform/form/form.h"

namespace platform {

// Runs the form until its procedure calls endDialog and returns that result; -1 when
// the form cannot be shown (no display, unknown template) or SIGINT/SIGTERM ended it.
std::intptr_t runSettingsForm(int templateId, DialogProc proc, std::intptr_t param);

// The GtkBuilder definition of template 101.
extern const char* const settingsFormDefinition;

}  // namespace platform
