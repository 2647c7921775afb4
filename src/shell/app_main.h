// The program's entry routine and run cycle: settings dialog, window class, then cycles
// of window + show set-up + message loop + teardown while keepRunning holds. The clock
// of a cycle starts when the show is loaded; elapsed time is an unsigned 32-bit
// millisecond difference (so it survives the tick counter's wrap) times 0.001.
#pragma once

#include <cstdint>

#include "platform/desktop/desktop.h"
#include "show/show.h"

namespace shell {

struct RunOptions;

// Set once the window class is registered; cleared by requestQuit and by a failed
// window creation. Another cycle starts after teardown while it holds.
extern bool keepRunning;
// The dialog's fullscreen choice; each cycle starts from it again.
extern bool wantFullscreen;

// Runs the whole program; 0 after a run (also after a failed window creation or show
// set-up, and when the settings form went away unanswered or a quit signal came while
// it was open: then nothing is shown), -1 when the window class cannot be registered.
// A second player on a display that one already plays on says so (standard error, and
// a notice where standard error is no terminal) and returns 0 before anything opens.
// With options (the command line's) the settings form is answered by them instead of
// being shown.
int appMain(platform::Instance instance, const RunOptions* options = nullptr);

// Queues the quit marker for the window and clears keepRunning; the loop ends when it
// fetches the marker, after the frame in progress.
void requestQuit();

bool isMusicOn();

// The show's entry points as the shell calls them; tests replace them.
struct ShowCalls {
    void (*setShowHost)(const show::ShowHost& host) = show::setShowHost;
    bool (*initShow)() = show::initShow;
    void (*drawShowFrame)(double elapsed, const std::uint8_t* keys) = show::drawShowFrame;
    std::int32_t (*strokeClockMs)() = nullptr;  // null: the GLUT elapsed-time query
};
void useShowCalls(const ShowCalls& calls);

}  // namespace shell
