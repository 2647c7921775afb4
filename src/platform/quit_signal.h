// SIGINT and SIGTERM end a run like the close box. The handler only sets a mark; the
// shell's message loop turns the mark into a quit request, and every blocking wait of
// this layer looks at the mark often enough to wake up for it.
#pragma once

namespace platform {

// Installs the handlers (idempotent). Before they are installed the signals keep their
// default action.
void installQuitSignalHandlers();

// True once after a signal arrived; clears the mark.
bool takeQuitSignal();

// The mark, left as it is.
bool quitSignalPending();

}  // namespace platform
