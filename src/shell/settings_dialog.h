// The settings dialog's procedure: it sets the marks when the form opens and, on OK,
// writes the choices into appWindow.settings. The form (template 101) has the three
// sizes and two depths as radio groups, the "Fullscreen" and "Music" check boxes and
// OK, its only way out. The writes rely on appMain's defaults (music on, windowed), so
// after OK the settings equal the marks.
#pragma once

#include <cstdint>

#include "platform/form/dialog_ids.h"
#include "platform/form/form.h"

namespace shell {

// The form's template and control ids, as the form itself names them.
using platform::settingsTemplateId;
using platform::settingsPictureId;
using platform::idFullscreen;
using platform::idSize640;
using platform::idSize800;
using platform::idSize1024;
using platform::idDepth16;
using platform::idDepth32;
using platform::idMusic;

// True for a message it has fully handled (OK), false for every other one.
bool settingsDialogProc(platform::DialogForm& form, platform::DialogMessage message,
                        std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace shell
