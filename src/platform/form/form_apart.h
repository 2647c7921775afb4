// The settings form and the notices, shown from a child process. GTK, its themes, icons
// and fonts then load into a process that ends with the form, and the player carries
// none of that memory through the show (about 15 MB). The child reports every message
// the form's procedure received, with the marks the procedure saw, and the parent runs
// the same procedure over the same messages against those marks: the procedure's
// writes land in the player exactly as if the form had run there.
#pragma once

#include <cstdint>

#include "platform/form/form.h"

namespace platform {

// runSettingsForm in a child process; falls back to running it here when no child can
// be made. A quit signal to the player ends the form as it would in-process. When the
// child goes away before OK (killed, crashed, its display connection cut, a quit
// signal of its own) the result is dialogAbandoned and standard error says why.
std::intptr_t runSettingsFormApart(int templateId, DialogProc proc, std::intptr_t param);

// showNotice in a child process (here when no child can be made); returns when the
// notice is dismissed.
void showNoticeApart(const char* text, const char* caption, MessageIcon icon);

// In the child: the process whose windows these are (the player), or 0 in-process.
// The form's window names it as its owner, so the desktop sees the player's window.
int formOwnerProcess();

}  // namespace platform
