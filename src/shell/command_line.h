// The player's command line, for unattended runs. With no arguments the settings form
// asks, as ever. Any run option answers the form instead of showing it: the options
// change the marks the form opens with (640x480, 32 bits, fullscreen, music on) and OK
// is pressed, so the settings record holds exactly what the form would give for the same
// choices. Later options win over earlier ones (--windowed --fullscreen is fullscreen).
// Values follow their option as the next argument, as in sunmarrow-capture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "painterly/painter_choice.h"

namespace shell {

// What the command line asks of the form; an unset choice keeps its opening mark.
struct RunOptions {
    std::optional<bool> fullscreen;
    std::optional<int> sizeId;   // idSize640, idSize800 or idSize1024
    std::optional<int> depthId;  // idDepth16 or idDepth32
    bool noMusic = false;
};

enum class CommandAction {
    showForm,    // no arguments: the form asks
    run,         // run options given: they answer the form
    help,        // print helpText on standard output, exit 0
    version,     // print versionText on standard output, exit 0
    wrongUsage,  // print problem and usageLine on standard error, exit 2
};

struct CommandLine {
    CommandAction action = CommandAction::showForm;
    RunOptions options;
    // --painter: which painterly path draws (not a form choice: the form still asks).
    std::optional<painterly::PainterRequest> painter;
    std::string problem;  // wrongUsage: what was wrong, one line without the newline
};

inline constexpr const char* usageLine =
    "usage: sunmarrow [--windowed | --fullscreen] [--size 640x480|800x600|1024x768] [--depth 16|32] "
    "[--no-music] [--painter gl|cpu|auto]";

// --help and --version act where they stand; anything before them must be right.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Runs the settings dialog's procedure on a form held in memory: its opening marks, the
// options' changes, then OK. Writes appWindow.settings as the shown form would.
void answerSettingsForm(const RunOptions& options);

// The options, and the data folders in the order they are looked for.
std::string helpText(const std::vector<std::string>& dataFolders);
std::string versionText();

}  // namespace shell
