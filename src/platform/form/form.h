// The form room: the settings form and the notices on GTK 3, each shown from a child
// process of its own so that GTK's memory never stays in the player. The desktop
// (platform/desktop/desktop.h) hands its message boxes and dialog boxes to this room;
// nothing here knows the desktop's window, GL context or events.
//
// This header is what the form shares with the desktop seam and the shell: the kinds
// of notice, the messages a dialog procedure gets and the controls it reads and marks.
// The rest of the room:
//   dialog_ids.h        the form's template and control ids, shared with the shell
//   form_apart.h        the child-process runner: runSettingsFormApart, showNoticeApart
//   settings_form.h     the form itself on GTK (template 101, a GtkBuilder definition)
//   gtk_ui.h            GTK's start and the notices
//   settings_picture.h  the picture at the top of the form, painted in code (also the
//                       installed icon's source)
//
// Needs: GTK 3 and platform/process (platform_process: the quit signal mark and child
//   processes), never SDL nor the desktop room.
// Leaves: GTK started only in the child (in the player's process only when no child
//   can be made); the player's own process carries no GTK state.
// Tested by: tests/unit/test_form_apart.cpp, tests/unit/test_settings_dialog.cpp (the
//   GTK form's own tests run under e2e.settings_dialog's Xvfb), tests/e2e/settings_dialog.sh,
//   tests/e2e/desktop_x11.sh (the form's process killed).
#pragma once

#include <cstdint>

#include "platform/form/dialog_ids.h"

namespace platform {

enum class MessageIcon : std::uint8_t { error, warning };

enum class DialogMessage : std::uint8_t { initDialog, command };

// The controls of an open form, by id. Radio buttons and check boxes keep their own
// marks (automatic controls); the procedure reads and sets them through these calls.
class DialogForm {
public:
    virtual ~DialogForm() = default;
    virtual void checkDlgButton(int id, bool checked) = 0;
    // Marks `id` and clears the other radio buttons with ids first..last.
    virtual void checkRadioButton(int first, int last, int id) = 0;
    virtual bool isDlgButtonChecked(int id) const = 0;
    virtual void endDialog(std::intptr_t result) = 0;
};

// Dialog procedure: true when the message was fully handled. For DialogMessage::command
// the low 16 bits of wParam hold the control id (IDOK, IDCANCEL or one of dialog_ids.h),
// the high 16 the event.
using DialogProc = bool (*)(DialogForm& form, DialogMessage message, std::uintptr_t wParam,
                            std::intptr_t lParam);

// dialogBox's result when the form went away without being answered (its process was
// killed or lost its display): the user chose nothing, and the run ends.
inline constexpr std::intptr_t dialogAbandoned = -2;

}  // namespace platform
