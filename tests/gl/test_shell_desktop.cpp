// links: shell
// The real desktop on SDL's offscreen driver: window and GL context through the seam,
// the view mapping of resizeView, the quit marker's place in the queue, window events
// as messages (close, focus and the screen saver), the keyboard's foreground rule, the
// display modes and the wake-up of a blocking wait by SIGTERM.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "platform/desktop/desktop.h"
#include "shell/app_window.h"

namespace {

std::vector<platform::Message> received;
bool refuseSaver = true;

std::intptr_t recordingProc(platform::Window* window, const platform::Message& message) {
    received.push_back(message);
    if (message.kind == platform::MessageKind::sysCommand && refuseSaver) return 0;
    return platform::systemDesktop().defaultWindowProc(window, message);
}

class DesktopTest : public ::testing::Test {
protected:
    platform::Desktop& d = platform::systemDesktop();
    platform::Window* window = nullptr;
    platform::DeviceContext* dc = nullptr;
    platform::GlContext* gl = nullptr;
    int createParam = 0;

    void SetUp() override {
        received.clear();
        refuseSaver = true;
        platform::WindowClass wc;
        wc.className = "DesktopTest";
        wc.instance = platform::currentInstance();
        wc.proc = recordingProc;
        if (!d.registerClass(wc)) GTEST_SKIP() << "no video driver";
        platform::WindowSpec request;
        request.className = "DesktopTest";
        request.title = "test";
        request.width = 320;
        request.height = 200;
        request.createParam = &createParam;
        request.pixelFormat.colorBits = 32;
        window = d.createWindow(request);
        if (window == nullptr) GTEST_SKIP() << "no GL window";
        dc = d.getDC(window);
        const int format = d.choosePixelFormat(dc, request.pixelFormat);
        ASSERT_NE(format, 0);
        ASSERT_TRUE(d.setPixelFormat(dc, format, request.pixelFormat));
        gl = d.createContext(dc);
        if (gl == nullptr) GTEST_SKIP() << "no GL context";
        ASSERT_TRUE(d.makeCurrent(dc, gl));
        platform::Message m;
        while (d.peekMessage(m)) {
        }
        received.clear();
    }
    void TearDown() override {
        if (gl != nullptr) {
            d.makeCurrent(dc, nullptr);
            d.deleteContext(gl);
        }
        if (window != nullptr) d.destroyWindow(window);
        d.unregisterClass("DesktopTest", platform::currentInstance());
    }
    void pushWindowEvent(SDL_WindowEventID id) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = static_cast<Uint8>(id);
        e.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
        SDL_PushEvent(&e);
    }
    std::vector<platform::Message> drain() {
        std::vector<platform::Message> all;
        platform::Message m;
        while (d.peekMessage(m)) all.push_back(m);
        return all;
    }
};

TEST_F(DesktopTest, CreationMessageCarriesTheParameter) {
    // SetUp drained the queue; the creation message went straight to the procedure.
    received.clear();
    platform::WindowSpec request;
    request.className = "DesktopTest";
    request.width = 64;
    request.height = 64;
    request.createParam = &createParam;
    platform::Window* second = d.createWindow(request);
    ASSERT_NE(second, nullptr);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front().kind, platform::MessageKind::create);
    EXPECT_EQ(received.front().createParam, &createParam);
    d.setUserData(second, &createParam);
    EXPECT_EQ(d.userData(second), &createParam);
    d.destroyWindow(second);
    request.className = "NoSuchClass";
    EXPECT_EQ(d.createWindow(request), nullptr);
}

TEST_F(DesktopTest, ResizeViewMapsTheWholeViewportToTheUnitSquare) {
    glMatrixMode(GL_TEXTURE);  // whatever mode the previous pass left
    shell::resizeView(320, 200);
    EXPECT_EQ(shell::viewWidth, 320);
    EXPECT_EQ(shell::viewHeight, 200);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 200);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat projection[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const GLfloat ortho[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, -1, 0, -1, -1, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(projection[i], ortho[i]) << i;
    GLfloat modelview[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(modelview[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

    // The unit square is the whole window: a quad over it covers every corner pixel.
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(0, 1);
    glEnd();
    unsigned char px[4] = {};
    glReadPixels(319, 199, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 255);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 255);
}

TEST_F(DesktopTest, QuitMarkerQueuesBehindEarlierEvents) {
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    d.postQuit(window);
    const auto all = drain();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2].kind, platform::MessageKind::close);
    EXPECT_EQ(all[all.size() - 2].window, window);
    EXPECT_EQ(all.back().kind, platform::MessageKind::quit);
    EXPECT_EQ(all.back().window, window);
}

TEST_F(DesktopTest, FocusAsksAboutTheScreenSaverAndARefusalKeepsItOff) {
    SDL_EnableScreenSaver();
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    auto all = drain();
    std::vector<std::uint32_t> commands;
    for (const auto& m : all) {
        if (m.kind == platform::MessageKind::sysCommand) commands.push_back(m.command);
        d.dispatchMessage(m);
    }
    EXPECT_EQ(commands, (std::vector<std::uint32_t>{0xF140, 0xF170}));
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());

    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    for (const auto& m : drain()) d.dispatchMessage(m);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());

    refuseSaver = false;  // a procedure that lets default processing decide
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    for (const auto& m : drain()) d.dispatchMessage(m);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
}

TEST_F(DesktopTest, SizeEventsBecomeSizeMessages) {
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    std::vector<platform::SizeKind> kinds;
    for (const auto& m : drain()) {
        if (m.kind == platform::MessageKind::size) kinds.push_back(m.sizeKind);
    }
    EXPECT_EQ(kinds, (std::vector<platform::SizeKind>{platform::SizeKind::minimized, platform::SizeKind::restored}));
}

TEST_F(DesktopTest, KeyboardNeedsTheFocusOfItsWindow) {
    platform::Input* input = nullptr;
    platform::KeyboardDevice* keyboard = nullptr;
    ASSERT_EQ(d.createInput(platform::currentInstance(), &input), platform::inputOk);
    ASSERT_EQ(d.createKeyboard(input, &keyboard), platform::inputOk);
    EXPECT_EQ(d.setKeyboardDataFormat(keyboard), platform::inputOk);
    EXPECT_LT(d.setCooperativeLevel(keyboard, window, platform::cooperativeExclusive), 0);
    EXPECT_EQ(d.setCooperativeLevel(keyboard, window, 5), platform::inputOk);
    std::uint8_t keys[256];
    EXPECT_LT(d.getDeviceState(keyboard, 256, keys), 0);  // not acquired yet
    if (SDL_GetKeyboardFocus() != SDL_GL_GetCurrentWindow()) {
        EXPECT_EQ(d.acquire(keyboard), platform::inputOtherAppHasPriority);
        EXPECT_EQ(d.getDeviceState(keyboard, 256, keys), platform::inputNotAcquired);
    }
    EXPECT_EQ(d.getDeviceState(keyboard, 100, keys), platform::inputInvalidParam);
    d.unacquire(keyboard);
    d.releaseKeyboard(keyboard);
    d.releaseInput(input);
}

TEST_F(DesktopTest, DisplayModeSwitchNeedsTheExactSizeAtAnyDepth) {
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetDisplayMode(0, 0, &mode), 0);
    // A mode list without real modes (the offscreen driver) can switch to nothing.
    if (mode.w == 0 || mode.h == 0) {
        EXPECT_FALSE(d.changeDisplayMode(640, 480, 32));
        GTEST_SKIP() << "the video driver lists no display modes";
    }
    // The screen keeps its own depth; either choice gets the size.
    EXPECT_TRUE(d.changeDisplayMode(mode.w, mode.h, 32));
    EXPECT_TRUE(d.changeDisplayMode(mode.w, mode.h, 16));
    EXPECT_FALSE(d.changeDisplayMode(mode.w + 1, mode.h, 32));
    d.restoreDisplayMode();
}

TEST_F(DesktopTest, SigtermWakesABlockingWait) {
    platform::Message m;
    while (d.peekMessage(m)) {
    }
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::raise(SIGTERM);
    });
    const auto start = std::chrono::steady_clock::now();
    d.waitMessage();
    const auto waited = std::chrono::steady_clock::now() - start;
    sender.join();
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_TRUE(d.quitSignalPending());
    EXPECT_TRUE(d.takeQuitSignal());
    EXPECT_FALSE(d.takeQuitSignal());
}

// The player's own window on the real desktop: its swaps are synchronised where the
// driver has a swap interval at all (software GL under Xvfb has none).
TEST(PlayerWindow, SwapIntervalReadsBackAfterSetUp) {
    const shell::AppIdentity identity{platform::currentInstance(), "SwapTest"};
    shell::appWindow = shell::AppWindow{};
    shell::appWindow.identity = &identity;
    shell::appWindow.title = "swap";
    shell::appWindow.settings = shell::DisplaySettings{320, 240, 32, false, false};
    if (!shell::registerAppClass(identity)) GTEST_SKIP() << "no video driver";
    ASSERT_TRUE(shell::createAppWindow());
    const int interval = platform::systemDesktop().swapInterval();
    // Whether it can is the driver's word: setting 1 again tells.
    const bool driverHasIt = platform::systemDesktop().setSwapInterval(1);
    shell::destroyAppWindow(shell::appWindow);
    platform::systemDesktop().unregisterClass("SwapTest", identity.instance);
    shell::appWindow.identity = nullptr;
    if (!driverHasIt) GTEST_SKIP() << "the GL driver has no swap interval (read back " << interval << ")";
    EXPECT_NE(interval, 0);
}

}  // namespace
