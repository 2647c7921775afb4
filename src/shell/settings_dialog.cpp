#include "shell/settings_dialog.h"

#include "shell/app_window.h"

namespace shell {

bool settingsDialogProc(platform::DialogForm& form, platform::DialogMessage message,
                        std::uintptr_t wParam, std::intptr_t) {
    switch (message) {
        case platform::DialogMessage::initDialog:
            form.checkDlgButton(idMusic, true);
            form.checkDlgButton(idFullscreen, true);
            form.checkRadioButton(idSize640, idSize1024, idSize640);
            form.checkRadioButton(idDepth16, idDepth32, idDepth32);
            return false;  // the keyboard focus is left to the form
        case platform::DialogMessage::command: {
            if ((wParam & 0xFFFFu) != static_cast<std::uintptr_t>(platform::IDOK)) return false;
            DisplaySettings& settings = appWindow.settings;
            if (!form.isDlgButtonChecked(idMusic)) settings.music = false;
            if (form.isDlgButtonChecked(idFullscreen)) settings.fullscreen = true;
            settings.bits = form.isDlgButtonChecked(idDepth16) ? 16 : 32;
            if (form.isDlgButtonChecked(idSize640)) {
                settings.width = 640;
                settings.height = 480;
            } else if (form.isDlgButtonChecked(idSize800)) {
                settings.width = 800;
                settings.height = 600;
            } else {
                settings.width = 1024;
                settings.height = 768;
            }
            form.endDialog(static_cast<std::intptr_t>(wParam));
            return true;
        }
    }
    return false;
}

}  // namespace shell
