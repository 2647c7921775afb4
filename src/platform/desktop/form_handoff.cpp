// The form hand-off: notices and the settings form are the form room's (GTK 3, in a
// child process of their own).
#include "platform/desktop/system_desktop.h"
#include "platform/form/form_apart.h"

namespace platform {

void SystemDesktop::messageBox(const char* text, const char* caption, MessageIcon icon) {
    showNoticeApart(text, caption, icon);
}

std::intptr_t SystemDesktop::dialogBox(Instance, int templateId, DialogProc proc, std::intptr_t param) {
    return runSettingsFormApart(templateId, proc, param);
}

}  // namespace platform
