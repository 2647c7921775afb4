#include "shell/app_main.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdio>

#include "shell/app_window.h"
#include "shell/command_line.h"
#include "shell/desktop_access.h"
#include "shell/keyboard.h"
#include "shell/settings_dialog.h"

namespace shell {

bool keepRunning = false;
bool wantFullscreen = false;

namespace {

ShowCalls showCalls;

// GLUT answers this query without glutInit: milliseconds on its own clock.
std::int32_t glutElapsedMs() { return glutGet(GLUT_ELAPSED_TIME); }
std::int32_t hostViewWidth() { return viewWidth; }
std::int32_t hostViewHeight() { return viewHeight; }

void installShowHost() {
    show::ShowHost host;
    host.requestQuit = requestQuit;
    host.isMusicOn = isMusicOn;
    host.strokeClockMs = showCalls.strokeClockMs != nullptr ? showCalls.strokeClockMs : glutElapsedMs;
    host.viewWidth = hostViewWidth;
    host.viewHeight = hostViewHeight;
    showCalls.setShowHost(host);
}

// Drains every pending message before each frame; draws back to back while the window
// is active and blocks while it is minimised. Ends when the quit marker is fetched.
void runMessageLoop(std::uint32_t clockOrigin) {
    platform::Desktop& d = desktop();
    AppWindow& app = appWindow;
    for (;;) {
        // A signal ends the run like the close box; its quit marker queues behind what
        // is already pending.
        if (d.takeQuitSignal()) requestQuit();
        platform::Message message;
        if (d.peekMessage(message)) {
            if (message.kind == platform::MessageKind::quit) return;
            d.dispatchMessage(message);
            continue;
        }
        if (!app.active) {
            d.waitMessage();
            continue;
        }
        pollKeyboard();
        const std::uint32_t ms = d.tickCount() - clockOrigin;  // unsigned: survives the wrap
        const double elapsed = static_cast<double>(ms) * 0.001;
        showCalls.drawShowFrame(elapsed, app.keys.data());
        d.swapBuffers(app.deviceContext);
    }
}

// On standard error always; as a notice too where standard error reaches nobody (a
// player started from the desktop's menu rather than from a terminal).
void reportAlreadyPlaying() {
    std::fputs("sunmarrow: the show is already playing on this display; one player per display\n", stderr);
    std::fflush(stderr);
    if (isatty(STDERR_FILENO) == 0) {
        showErrorBox("The show is already playing on this display.", platform::MessageIcon::warning);
    }
}

}  // namespace

void useShowCalls(const ShowCalls& calls) { showCalls = calls; }

void requestQuit() {
    desktop().postQuit(appWindow.window);
    keepRunning = false;
}

bool isMusicOn() { return appWindow.settings.music; }

int appMain(platform::Instance instance, const RunOptions* options) {
    platform::Desktop& d = desktop();
    const AppIdentity identity{instance, windowClassName};

    appWindow = AppWindow{};
    appWindow.identity = &identity;
    appWindow.title = windowTitle;
    appWindow.settings.width = 640;
    appWindow.settings.height = 480;
    appWindow.settings.bits = 16;
    appWindow.settings.fullscreen = false;
    appWindow.settings.music = true;

    // One player per display: a second one would take the first one's switched mode
    // for the desktop's and leave it behind, and play a second soundtrack.
    if (!d.claimDisplay()) {
        reportAlreadyPlaying();
        appWindow.identity = nullptr;
        return 0;
    }

    std::intptr_t answer = 0;
    if (options != nullptr) {
        answerSettingsForm(*options);  // the command line answers the form, unseen
    } else {
        // When the form cannot be shown the defaults stand. A form that went away without
        // an answer (its process killed, say) chose nothing, and neither does the program.
        answer = d.dialogBox(instance, settingsTemplateId, settingsDialogProc, 0);
    }
    if (d.takeQuitSignal() || answer == platform::dialogAbandoned) {
        // Nothing was opened, nothing to close.
        appWindow.identity = nullptr;
        return 0;
    }

    if (!registerAppClass(identity)) {
        showErrorBox("Error registering window class!");
        appWindow.identity = nullptr;
        return -1;
    }
    keepRunning = true;
    wantFullscreen = appWindow.settings.fullscreen;
    installShowHost();

    do {
        appWindow.settings.fullscreen = wantFullscreen;
        if (!createAppWindow()) {
            showErrorBox("Error creating window.");
            keepRunning = false;
            break;
        }
        if (showCalls.initShow()) {
            runMessageLoop(d.tickCount());
        } else {
            showErrorBox("Error initializing application.");
            requestQuit();
        }
        destroyAppWindow(appWindow);
    } while (keepRunning);

    d.unregisterClass(identity.className, identity.instance);
    appWindow.identity = nullptr;  // it lives in this frame only
    return 0;
}

}  // namespace shell
