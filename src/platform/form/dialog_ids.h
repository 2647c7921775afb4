// The settings form's template and control ids, named once for the form that shows
// them (platform/form) and the shell's procedure that answers them
// (shell/settings_dialog.h). A command's low 16 bits carry one of these ids.
#pragma once

namespace platform {

inline constexpr int IDOK = 1;      // the OK button, and Enter wherever the focus is
inline constexpr int IDCANCEL = 2;  // Escape and the window manager's close request

inline constexpr int settingsTemplateId = 101;
inline constexpr int settingsPictureId = 109;  // the picture; it sends nothing

inline constexpr int idFullscreen = 1000;
inline constexpr int idSize640 = 1001;
inline constexpr int idSize800 = 1002;
inline constexpr int idSize1024 = 1003;
inline constexpr int idDepth16 = 1004;
inline constexpr int idDepth32 = 1005;
inline constexpr int idMusic = 1008;

}  // namespace platform
