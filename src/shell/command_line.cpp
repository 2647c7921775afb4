#include "shell/command_line.h"

#include <cstring>
#include <map>

#include "shell/settings_dialog.h"

#ifndef SUNMARROW_VERSION
#define SUNMARROW_VERSION "unknown"
#endif

namespace shell {

namespace {

CommandLine wrong(std::string problem) {
    CommandLine line;
    line.action = CommandAction::wrongUsage;
    line.problem = std::move(problem);
    return line;
}

std::optional<int> sizeIdFor(const char* text) {
    if (std::strcmp(text, "640x480") == 0) return idSize640;
    if (std::strcmp(text, "800x600") == 0) return idSize800;
    if (std::strcmp(text, "1024x768") == 0) return idSize1024;
    return std::nullopt;
}

std::optional<int> depthIdFor(const char* text) {
    if (std::strcmp(text, "16") == 0) return idDepth16;
    if (std::strcmp(text, "32") == 0) return idDepth32;
    return std::nullopt;
}

// The form's controls as plain marks; the procedure reads and writes nothing else.
class FormInMemory : public platform::DialogForm {
public:
    void checkDlgButton(int id, bool checked) override { marks_[id] = checked; }
    void checkRadioButton(int first, int last, int id) override {
        for (int i = first; i <= last; ++i) marks_[i] = i == id;
    }
    bool isDlgButtonChecked(int id) const override {
        const auto found = marks_.find(id);
        return found != marks_.end() && found->second;
    }
    void endDialog(std::intptr_t) override {}

private:
    std::map<int, bool> marks_;
};

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            line.action = CommandAction::help;
            return line;
        }
        if (std::strcmp(arg, "--version") == 0) {
            line.action = CommandAction::version;
            return line;
        }
        if (std::strcmp(arg, "--windowed") == 0) {
            line.options.fullscreen = false;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            line.options.fullscreen = true;
        } else if (std::strcmp(arg, "--no-music") == 0) {
            line.options.noMusic = true;
        } else if (std::strcmp(arg, "--size") == 0) {
            if (value == nullptr) return wrong("--size wants 640x480, 800x600 or 1024x768");
            line.options.sizeId = sizeIdFor(value);
            if (!line.options.sizeId) return wrong(std::string("--size ") + value + ": the sizes are 640x480, 800x600 and 1024x768");
            ++i;
        } else if (std::strcmp(arg, "--painter") == 0) {
            line.painter = painterly::parsePainterRequest(value);
            if (!line.painter) return wrong(std::string("--painter ") + (value ? value : "") + ": the painters are gl, cpu and auto");
            ++i;
            continue;  // not an answer to the form
        } else if (std::strcmp(arg, "--depth") == 0) {
            if (value == nullptr) return wrong("--depth wants 16 or 32");
            line.options.depthId = depthIdFor(value);
            if (!line.options.depthId) return wrong(std::string("--depth ") + value + ": the depths are 16 and 32");
            ++i;
        } else {
            return wrong(std::string("unknown argument '") + arg + "'");
        }
        line.action = CommandAction::run;
    }
    return line;
}

void answerSettingsForm(const RunOptions& options) {
    FormInMemory form;
    settingsDialogProc(form, platform::DialogMessage::initDialog, 0, 0);
    if (options.fullscreen) form.checkDlgButton(idFullscreen, *options.fullscreen);
    if (options.noMusic) form.checkDlgButton(idMusic, false);
    if (options.sizeId) form.checkRadioButton(idSize640, idSize1024, *options.sizeId);
    if (options.depthId) form.checkRadioButton(idDepth16, idDepth32, *options.depthId);
    settingsDialogProc(form, platform::DialogMessage::command, static_cast<std::uintptr_t>(platform::IDOK), 0);
}

std::string helpText(const std::vector<std::string>& dataFolders) {
    std::string text = std::string(usageLine) +
                       "\n\n"
                       "Plays the show. Without options the settings form asks first; any option\n"
                       "below skips it, and what is not given stays as the form opens.\n\n"
                       "  --windowed            play in a window\n"
                       "  --fullscreen          switch the screen to the chosen size (the default)\n"
                       "  --size WxH            640x480 (the default), 800x600 or 1024x768\n"
                       "  --depth BITS          16 or 32 (the default)\n"
                       "  --no-music            play without the soundtrack\n"
                       "  --painter PATH        gl, cpu or auto (the default): who paints the strokes;\n"
                       "                        auto lets the processor paint on a software renderer\n"
                       "                        (also SUNMARROW_PAINTER; this does not skip the form)\n"
                       "  --help                this text\n"
                       "  --version             the program's version\n\n"
                       "Escape or closing the window ends the show; it ends by itself after 204 s.\n"
                       "The data folder is the first of these that exists:\n";
    for (const std::string& folder : dataFolders) {
        text += "  " + folder + (folder == "data" ? " (in the working directory)\n" : "\n");
    }
    return text;
}

std::string versionText() { return std::string("sunmarrow ") + SUNMARROW_VERSION + "\n"; }

}  // namespace shell
