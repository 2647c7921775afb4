// Subcommands of sunmarrow-capture register themselves with a static Command object:
//   static capture::Command cmd("frame", "frame --time S [--size WxH] [--out F]", runFrame);
// run() gets the arguments after the subcommand name and returns the exit status
// (0 success, 1 failure, 2 wrong usage).
#pragma once

namespace capture {

struct Command {
    using Run = int (*)(int argc, char** argv);
    Command(const char* name, const char* usage, Run run);
    const char* name;
    const char* usage;
    Run run;
    const Command* next;
};

const Command* firstCommand();

}  // namespace capture
