// sunmarrow-capture: the headless renderer of the show. Each subcommand lives in its own
// file and registers itself here; this file only dispatches.
#include <cstdio>
#include <cstring>

#include "capture_commands.h"
#include "platform/files/data_folder.h"
#include "platform/process/quit_signal.h"

namespace {

void listCommands(std::FILE* to) {
    std::fprintf(to, "usage: sunmarrow-capture COMMAND [options]\ncommands:\n");
    for (const capture::Command* c = capture::firstCommand(); c != nullptr; c = c->next) {
        std::fprintf(to, "  %s\n", c->usage);
    }
    std::fprintf(to, "exit status: 0 done, 1 failed, 2 wrong usage, %d the show was drawn without its whole\n"
                     "data set, 128+N stopped by signal N\n", capture::lacksDataStatus);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        listCommands(stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("sunmarrow-capture " SUNMARROW_VERSION "\n", stdout);
        return 0;
    }
    // Before anything that might take a while: a signal from here on is a mark that the
    // command turns into a clean stop (SDL leaves handlers that are already there).
    platform::installQuitSignalHandlers();
    if (argc >= 2) {
        for (const capture::Command* c = capture::firstCommand(); c != nullptr; c = c->next) {
            if (std::strcmp(argv[1], c->name) != 0) continue;
            if (c->data == capture::ShowData::unused) return c->run(argc - 2, argv + 2);
            // The first folder with the whole data set; a show drawn without one lacks data,
            // which the status says even though the picture was made.
            const platform::DataFolderChoice data = platform::chooseDataFolder("sunmarrow-capture");
            const int status = c->run(argc - 2, argv + 2);
            return status == 0 && !data.missing.empty() ? capture::lacksDataStatus : status;
        }
    }
    listCommands(stderr);
    return 2;
}
