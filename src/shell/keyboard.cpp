#include "shell/keyboard.h"

#include "shell/app_main.h"
#include "shell/desktop_access.h"

namespace shell {

namespace {

// A device that reports its input lost is acquired again at once; the bound keeps a
// device that never stops reporting it from stalling the frame forever.
constexpr int maxAcquireAttempts = 8;

void acquireDevice(platform::Desktop& d, platform::KeyboardDevice* keyboard) {
    for (int attempt = 0; attempt < maxAcquireAttempts; ++attempt) {
        if (d.acquire(keyboard) != platform::inputLost) return;
    }
}

void failStep(const char* text) {
    showErrorBox(text);
    requestQuit();
}

}  // namespace

void setUpKeyboard() {
    platform::Desktop& d = desktop();
    AppWindow& app = appWindow;
    const platform::Instance instance = app.identity != nullptr ? app.identity->instance : nullptr;

    if (d.createInput(instance, &app.input) < 0) {
        app.input = nullptr;
        failStep("Failed to initialize Direct Input.");
    }
    if (app.input != nullptr && d.createKeyboard(app.input, &app.keyboard) < 0) {
        app.keyboard = nullptr;
        failStep("Failed to initialize DI device (keyboard) [errorcode: DI04].");
    }
    if (app.keyboard != nullptr) {
        if (d.setKeyboardDataFormat(app.keyboard) < 0) {
            failStep("Failed to initialize DI device (keyboard) [errorcode: DI05].");
        }
        if (d.setCooperativeLevel(app.keyboard, app.window,
                                  platform::cooperativeExclusive | platform::cooperativeForeground) < 0) {
            failStep("Failed to initialize DI device (keyboard) [errorcode: DI06].");
        }
    }
}

void pollKeyboard() {
    platform::Desktop& d = desktop();
    AppWindow& app = appWindow;
    if (app.keyboard == nullptr) {
        app.keys.fill(0);
        return;
    }
    acquireDevice(d, app.keyboard);
    const platform::InputResult first =
        d.getDeviceState(app.keyboard, platform::keyboardStateSize, app.keys.data());
    if (first >= 0) return;
    if (first == platform::inputLost) acquireDevice(d, app.keyboard);
    if (d.getDeviceState(app.keyboard, platform::keyboardStateSize, app.keys.data()) < 0) app.keys.fill(0);
}

void releaseKeyboard(AppWindow& app) {
    platform::Desktop& d = desktop();
    if (app.input == nullptr) return;
    if (app.keyboard != nullptr) {
        d.unacquire(app.keyboard);
        d.releaseKeyboard(app.keyboard);
        app.keyboard = nullptr;
    }
    d.releaseInput(app.input);
    app.input = nullptr;
}

}  // namespace shell
