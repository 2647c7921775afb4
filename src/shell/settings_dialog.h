// The settings dialog's procedure: it sets the marks when the form opens and, on OK,
// writes the choices into appWindow.settings. The form (template 101) has the three
// sizes and two depths as radio groups, the "Fullscreen" and "Music" check boxes and
// OK, its only way out. The writes rely on appMain's defaults (music on, windowed), so
// after OK the settings equal the marks.
#pragma once

#include <cstdint>

#include "platform/desktop/desktop.h"

namespace shell {

inline constexpr int settingsTemplateId = 101;
inline constexpr int settingsPictureId = 109;

inline constexpr int idFullscreen = 1000;
inline constexpr int idSize640 = 1001;
inline constexpr int idSize800 = 1002;
inline constexpr int idSize1024 = 1003;
inline constexpr int idDepth16 = 1004;
inline constexpr int idDepth32 = 1005;
inline constexpr int idMusic = 1008;

// True for a message it has fully handled (OK), false for every other one.
bool settingsDialogProc(platform::DialogForm& form, platform::DialogMessage message,
                        std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace shell
