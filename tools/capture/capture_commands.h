// Subcommands of sunmarrow-capture register themselves with a static Command object:
//   static capture::Command cmd("frame", "frame --time S [--size WxH] [--out F]", runFrame);
// run() gets the arguments after the subcommand name and returns the exit status:
// 0 success, 1 failure, 2 wrong usage, 3 for a show drawn while no folder held the whole
// data set (what it made lacks data; the dispatcher turns 0 into 3 for the commands that
// draw the show), and 128 + the signal's number for a run cut short by SIGINT, SIGTERM,
// SIGHUP or SIGQUIT (as a shell reports a process the signal
// ended). The quit signals only set a mark (platform/process/quit_signal.h), installed
// before any command runs; each command looks at it between its steps.
#pragma once

#include <vector>

#include "options/options.h"

namespace capture {

// Whether a command draws the show from the data folder (which is then chosen for it).
enum class ShowData { unused, drawn };

// The status of a run that drew the show without the whole data set.
constexpr int lacksDataStatus = 3;

struct Command {
    using Run = int (*)(int argc, char** argv);
    Command(const char* name, const char* usage, Run run, ShowData data = ShowData::unused);
    const char* name;
    const char* usage;
    Run run;
    ShowData data;
    const Command* next;
};

const Command* firstCommand();

// Reads a command's arguments by its table. Returns -1 when the command goes on; else
// the status to end with: 0 after --help (the usage line on standard output), 2 after
// a wrong argument (what was wrong and the usage line on standard error).
int readOptions(const char* name, const char* usage, int argc, char** argv, const std::vector<options::Option>& table);

// 2 after saying what was wrong and the usage line on standard error.
int wrongUsage(const char* name, const char* usage, const char* problem);

// 128 + the number of the quit signal that came, 0 while none did.
int cutShortStatus();

}  // namespace capture
