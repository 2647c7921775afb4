// SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGQUIT end a run like the close
// box: the screen mode is put back and the window torn down, as after Escape. The
// handler only sets a mark; the shell's message loop turns the mark into a quit
// request, and every blocking wait of this layer looks at the mark often enough to
// wake up for it.
#pragma once

namespace platform {

// Installs the handlers (idempotent). Before they are installed the signals keep their
// default action.
void installQuitSignalHandlers();

// True once after a signal arrived; clears the mark.
bool takeQuitSignal();

// The mark, left as it is.
bool quitSignalPending();

// The number of the signal that set the mark, 0 while none is pending.
int pendingQuitSignal();

}  // namespace platform
