#include "shell/app_window.h"

#include <GL/gl.h>

#include "painterly/painterly.h"
#include "shell/app_main.h"
#include "shell/desktop_access.h"
#include "shell/keyboard.h"

namespace shell {

AppWindow appWindow;
std::int32_t viewWidth = 0;
std::int32_t viewHeight = 0;

namespace {

platform::PixelFormatRequest pixelFormatFor(std::int32_t bits) {
    platform::PixelFormatRequest request;
    request.doubleBuffer = true;
    request.colorBits = bits;
    request.depthBits = 16;
    request.stencilBits = 0;
    request.alphaBits = 0;
    request.accumBits = 0;
    return request;
}

bool isRefusedSysCommand(std::uint32_t command) {
    return command == static_cast<std::uint32_t>(platform::SysCommand::screenSave) ||
           command == static_cast<std::uint32_t>(platform::SysCommand::monitorPower);
}

}  // namespace

bool registerAppClass(const AppIdentity& identity) {
    platform::WindowClass windowClass;
    windowClass.className = identity.className;
    windowClass.instance = identity.instance;
    windowClass.proc = appWindowProc;
    if (!desktop().registerClass(windowClass)) {
        showErrorBox("RegisterClassEx failed.");
        return false;
    }
    return true;
}

bool switchDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) {
    return desktop().changeDisplayMode(width, height, bits);
}

bool createAppWindow() {
    platform::Desktop& d = desktop();
    AppWindow& app = appWindow;
    DisplaySettings& settings = app.settings;
    const platform::PixelFormatRequest format = pixelFormatFor(settings.bits);

    platform::WindowSpec request;
    request.className = app.identity != nullptr ? app.identity->className : nullptr;
    request.instance = app.identity != nullptr ? app.identity->instance : nullptr;
    request.title = app.title;
    request.x = 0;
    request.y = 0;
    request.width = settings.width;
    request.height = settings.height;
    request.createParam = &app;
    request.pixelFormat = format;
    request.frame = platform::WindowFrame::overlapped;
    request.sizeIsClient = true;
    // The capture is read back from the window's lower left corner: a client area
    // smaller than it would hand the show pixels from outside the window.
    request.minClientWidth = painterly::captureWidth;
    request.minClientHeight = painterly::captureHeight;

    if (settings.fullscreen) {
        request.sizeIsClient = false;
        if (switchDisplayMode(settings.width, settings.height, settings.bits)) {
            d.showCursor(false);
            request.frame = platform::WindowFrame::popup;
            request.topmost = true;
            request.fullscreen = true;
        } else {
            showErrorBox("Fullscreen mode failed.\nRunning in window mode.", platform::MessageIcon::warning);
            settings.fullscreen = false;
        }
    }

    app.window = d.createWindow(request);
    if (app.window == nullptr) return false;

    app.deviceContext = d.getDC(app.window);
    if (app.deviceContext == nullptr) {
        d.destroyWindow(app.window);
        app.window = nullptr;
        return false;
    }

    const int pixelFormat = d.choosePixelFormat(app.deviceContext, format);
    bool made = pixelFormat != 0 && d.setPixelFormat(app.deviceContext, pixelFormat, format);
    if (made) {
        app.glContext = d.createContext(app.deviceContext);
        made = app.glContext != nullptr;
    }
    if (made && !d.makeCurrent(app.deviceContext, app.glContext)) {
        d.deleteContext(app.glContext);
        app.glContext = nullptr;
        made = false;
    }
    if (!made) {
        d.releaseDC(app.window, app.deviceContext);
        app.deviceContext = nullptr;
        d.destroyWindow(app.window);
        app.window = nullptr;
        return false;
    }

    // Swaps wait for the display's refresh: no tearing, and no frames the screen never
    // shows. Adaptive where the driver has it (a late frame is shown at once rather
    // than a whole refresh later), else every refresh; a driver that refuses both
    // swaps at once, and the show's pace, which follows the wall clock, is the same.
    if (!d.setSwapInterval(-1)) d.setSwapInterval(1);

    // A failed keyboard step has queued its quit request; the window still counts as made.
    setUpKeyboard();
    d.showWindow(app.window);
    app.active = true;
    resizeView(settings.width, settings.height);
    return true;
}

std::intptr_t appWindowProc(platform::Window* window, const platform::Message& message) {
    platform::Desktop& d = desktop();
    using platform::MessageKind;
    using platform::SizeKind;
    switch (message.kind) {
        case MessageKind::create:
            d.setUserData(window, message.createParam);
            return 0;
        case MessageKind::size: {
            auto* app = static_cast<AppWindow*>(d.userData(window));
            switch (message.sizeKind) {
                case SizeKind::minimized:
                    if (app != nullptr) app->active = false;
                    return 0;
                case SizeKind::restored:
                case SizeKind::maximized:
                    if (app != nullptr) app->active = true;
                    resizeView(message.width, message.height);
                    return 0;
                default:
                    return d.defaultWindowProc(window, message);
            }
        }
        case MessageKind::close:
            requestQuit();  // the window itself stays until teardown
            return 0;
        case MessageKind::sysCommand:
            if (isRefusedSysCommand(message.command)) return 0;
            return d.defaultWindowProc(window, message);
        default:
            return d.defaultWindowProc(window, message);
    }
}

int resizeView(std::int32_t width, std::int32_t height) {
    viewWidth = width;
    viewHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return 0;
}

bool destroyAppWindow(AppWindow& app) {
    platform::Desktop& d = desktop();
    if (app.window != nullptr) {
        if (app.deviceContext != nullptr) {
            d.makeCurrent(app.deviceContext, nullptr);
            if (app.glContext != nullptr) {
                d.deleteContext(app.glContext);
                app.glContext = nullptr;
            }
            d.releaseDC(app.window, app.deviceContext);
            app.deviceContext = nullptr;
        }
        d.destroyWindow(app.window);
        app.window = nullptr;
    }
    if (app.input != nullptr) releaseKeyboard(app);
    if (app.settings.fullscreen) {
        d.restoreDisplayMode();
        d.showCursor(true);
    }
    return true;
}

}  // namespace shell
