#include "shell/command_line.h"

#include <cstring>
#include <map>
#include <vector>

#include "options/options.h"
#include "shell/settings_dialog.h"

#ifndef SUNMARROW_VERSION
#define SUNMARROW_VERSION "unknown"
#endif

namespace shell {

namespace {

// The player's sizes and depths as the form's ids, in the order the help lists them.
const std::vector<const char*> sizeTexts = {"640x480", "800x600", "1024x768"};
const int sizeIds[] = {idSize640, idSize800, idSize1024};
const std::vector<const char*> depthTexts = {"16", "32"};
const int depthIds[] = {idDepth16, idDepth32};

// The index of `text` in `texts` (the pointer choice() keeps is the table's own).
std::size_t indexOf(const std::vector<const char*>& texts, const char* text) {
    std::size_t i = 0;
    while (i < texts.size() && texts[i] != text) ++i;
    return i;
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
    const char* size = nullptr;
    const char* depth = nullptr;
    RunOptions& o = line.options;
    int painterArgs = 0;
    const std::vector<options::Option> table = {
        {"--windowed", "", [&o](const char*) {
             o.fullscreen = false;
             return true;
         }},
        {"--fullscreen", "", [&o](const char*) {
             o.fullscreen = true;
             return true;
         }},
        options::flag("--no-music", o.noMusic),
        options::choice("--size", sizeTexts, size),
        options::choice("--depth", depthTexts, depth),
        {"--painter", "gl, cpu or auto",
         [&line, &painterArgs](const char* value) {
             line.painter = painterly::parsePainterRequest(value);
             painterArgs += 2;
             return line.painter.has_value();
         }},
        {"--version", "", nullptr, true},
    };
    const options::Parsed parsed = options::parse(argc - 1, argv + 1, table);
    if (size != nullptr) o.sizeId = sizeIds[indexOf(sizeTexts, size)];
    if (depth != nullptr) o.depthId = depthIds[indexOf(depthTexts, depth)];
    switch (parsed.outcome) {
        case options::Outcome::help:
            line.action = CommandAction::help;
            break;
        case options::Outcome::stopped:
            line.action = CommandAction::version;
            break;
        case options::Outcome::wrong:
            line.action = CommandAction::wrongUsage;
            line.problem = parsed.problem;
            break;
        case options::Outcome::proceed:
            // --painter alone answers nothing the form asks.
            line.action = argc - 1 > painterArgs ? CommandAction::run : CommandAction::showForm;
            break;
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
                       "The data folder is the first of these that holds the whole data set (else the\n"
                       "first that exists, and the files it lacks are named on standard error):\n";
    for (const std::string& folder : dataFolders) {
        text += "  " + folder + (folder == "data" ? " (in the working directory)\n" : "\n");
    }
    return text;
}

std::string versionText() { return std::string("sunmarrow ") + SUNMARROW_VERSION + "\n"; }

}  // namespace shell
