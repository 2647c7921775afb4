// sunmarrow-capture: the headless renderer of the show. Each subcommand lives in its own
// file and registers itself here; this file only dispatches.
#include <cstdio>
#include <cstring>

#include "capture_commands.h"
#include "platform/files/data_folder.h"

int main(int argc, char** argv) {
    platform::chooseDataFolder();  // the working directory's data/, else the installed set
    if (argc >= 2) {
        for (const capture::Command* c = capture::firstCommand(); c != nullptr; c = c->next) {
            if (std::strcmp(argv[1], c->name) == 0) return c->run(argc - 2, argv + 2);
        }
    }
    std::fprintf(stderr, "usage: sunmarrow-capture COMMAND [options]\ncommands:\n");
    for (const capture::Command* c = capture::firstCommand(); c != nullptr; c = c->next) {
        std::fprintf(stderr, "  %s\n", c->usage);
    }
    return 2;
}
