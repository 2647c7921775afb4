// The player. Without arguments the settings dialog is all its configuration; the few
// options of shell/command_line.h answer it for unattended runs. A wrong argument stops
// the program before anything opens.
#include <cstdio>

#include "platform/files/data_folder.h"
#include "platform/desktop/desktop.h"
#include "shell/app_main.h"
#include "shell/command_line.h"

int main(int argc, char** argv) {
    const shell::CommandLine line = shell::parseCommandLine(argc, argv);
    switch (line.action) {
        case shell::CommandAction::help:
            std::fputs(shell::helpText(platform::dataFolderCandidates(platform::programFolder())).c_str(), stdout);
            return 0;
        case shell::CommandAction::version:
            std::fputs(shell::versionText().c_str(), stdout);
            return 0;
        case shell::CommandAction::wrongUsage:
            std::fprintf(stderr, "sunmarrow: %s\n%s\n", line.problem.c_str(), shell::usageLine);
            return 2;
        case shell::CommandAction::showForm:
        case shell::CommandAction::run:
            break;
    }
    if (line.painter) painterly::requestPainter(*line.painter);
    platform::chooseDataFolder("sunmarrow");  // the show plays on whatever it finds
    const bool answered = line.action == shell::CommandAction::run;
    return shell::appMain(platform::currentInstance(), answered ? &line.options : nullptr);
}
