// links: shell
// The window with its GL context against a scripted desktop: what is asked for in
// each display case, how every failed step unwinds, what the window procedure does with
// each message, and what teardown releases.
#include <gtest/gtest.h>

#include "shell/app_main.h"
#include "shell/app_window.h"
#include "shell_fake_desktop.h"

using namespace shelltest;
using platform::MessageKind;
using platform::SizeKind;
using platform::SysCommand;

namespace {

using WindowTest = ShellTest;

TEST_F(WindowTest, WindowedAsksForAClientAreaOfTheSettingsSize) {
    prepareRecord(800, 600, 32, false);
    ASSERT_TRUE(shell::createAppWindow());
    const platform::WindowSpec& request = fake.lastSpec;
    EXPECT_EQ(request.frame, platform::WindowFrame::overlapped);
    EXPECT_TRUE(request.sizeIsClient);
    EXPECT_FALSE(request.topmost);
    EXPECT_FALSE(request.fullscreen);
    EXPECT_EQ(request.x, 0);
    EXPECT_EQ(request.y, 0);
    EXPECT_EQ(request.width, 800);
    EXPECT_EQ(request.height, 600);
    EXPECT_EQ(request.instance, identity.instance);
    EXPECT_EQ(request.createParam, &shell::appWindow);
    // However it is resized, the capture stays inside the client area.
    EXPECT_EQ(request.minClientWidth, 160);
    EXPECT_EQ(request.minClientHeight, 120);
    EXPECT_FALSE(fake.logged("changeDisplayMode 800x600x32"));
    EXPECT_FALSE(fake.logged("showCursor off"));

    const platform::PixelFormatRequest& pf = fake.lastPixelFormat;
    EXPECT_TRUE(pf.doubleBuffer);
    EXPECT_EQ(pf.colorBits, 32);
    EXPECT_EQ(pf.depthBits, 16);
    EXPECT_EQ(pf.stencilBits, 0);
    EXPECT_EQ(pf.alphaBits, 0);
    EXPECT_EQ(pf.accumBits, 0);

    // The record is reachable from the window, and the run is live.
    EXPECT_EQ(fake.userDataSlot, &shell::appWindow);
    EXPECT_EQ(shell::appWindow.window, fake.window);
    EXPECT_EQ(shell::appWindow.deviceContext, fake.dc);
    EXPECT_EQ(shell::appWindow.glContext, fake.gl);
    EXPECT_TRUE(shell::appWindow.active);
    EXPECT_EQ(shell::viewWidth, 800);
    EXPECT_EQ(shell::viewHeight, 600);
}

TEST_F(WindowTest, CreationStepsRunInOrder) {
    prepareRecord();
    ASSERT_TRUE(shell::createAppWindow());
    const std::vector<std::string> expected = {
        "createWindow",  "getDC",         "choosePixelFormat", "setPixelFormat 7",
        "createContext", "makeCurrent",   "setSwapInterval -1", "createInput",
        "createKeyboard", "setDataFormat", "setCooperativeLevel", "showWindow"};
    EXPECT_EQ(fake.log, expected);
}

TEST_F(WindowTest, SwapsWaitForTheDisplayAdaptivelyWhereTheDriverCan) {
    // Read back after set-up: adaptive where offered, else every refresh, else none,
    // and a driver that refuses both still gets a window.
    struct Case {
        std::vector<int> refused;
        int readBack;
    };
    for (const Case& c : {Case{{}, -1}, Case{{-1}, 1}, Case{{-1, 1}, 0}}) {
        fake.refusedSwapIntervals = c.refused;
        fake.swapIntervalNow = 0;
        prepareRecord();
        ASSERT_TRUE(shell::createAppWindow());
        EXPECT_EQ(fake.swapInterval(), c.readBack);
        EXPECT_EQ(fake.count("setSwapInterval 1"), c.readBack == -1 ? 0 : 1);
        shell::destroyAppWindow(shell::appWindow);
    }
}

TEST_F(WindowTest, SwitchedFullscreenIsABorderlessTopmostWindowWithoutCursor) {
    prepareRecord(1024, 768, 16, true);
    ASSERT_TRUE(shell::createAppWindow());
    EXPECT_LT(fake.indexOf("changeDisplayMode 1024x768x16"), fake.indexOf("showCursor off"));
    EXPECT_LT(fake.indexOf("showCursor off"), fake.indexOf("createWindow"));
    EXPECT_EQ(fake.lastSpec.frame, platform::WindowFrame::popup);
    EXPECT_TRUE(fake.lastSpec.topmost);
    EXPECT_TRUE(fake.lastSpec.fullscreen);
    EXPECT_EQ(fake.lastSpec.width, 1024);
    EXPECT_EQ(fake.lastSpec.height, 768);
    EXPECT_TRUE(shell::appWindow.settings.fullscreen);
    EXPECT_TRUE(fake.messageBoxes().empty());

    fake.log.clear();
    EXPECT_TRUE(shell::destroyAppWindow(shell::appWindow));
    const std::vector<std::string> expected = {
        "makeCurrent none", "deleteContext",   "releaseDC",   "destroyWindow",      "unacquire",
        "releaseKeyboard",  "releaseInput",    "restoreDisplayMode", "showCursor on"};
    EXPECT_EQ(fake.log, expected);
}

TEST_F(WindowTest, FailedFullscreenSwitchFallsBackToAnOuterSizedWindow) {
    prepareRecord(640, 480, 32, true);
    fake.modeSwitchOk = false;
    ASSERT_TRUE(shell::createAppWindow());
    EXPECT_EQ(fake.messageBoxes(),
              std::vector<std::string>{"messageBox warning Error: Fullscreen mode failed.\nRunning in window mode."});
    EXPECT_EQ(fake.lastSpec.frame, platform::WindowFrame::overlapped);
    EXPECT_FALSE(fake.lastSpec.sizeIsClient);  // the frame comes out of 640 x 480
    EXPECT_FALSE(fake.lastSpec.topmost);
    EXPECT_FALSE(fake.lastSpec.fullscreen);
    EXPECT_EQ(fake.lastSpec.width, 640);
    EXPECT_FALSE(shell::appWindow.settings.fullscreen);
    EXPECT_FALSE(fake.logged("showCursor off"));
    // The view starts at the settings' size even though the client area is smaller.
    EXPECT_EQ(shell::viewWidth, 640);
    EXPECT_EQ(shell::viewHeight, 480);

    fake.log.clear();
    shell::destroyAppWindow(shell::appWindow);
    EXPECT_FALSE(fake.logged("restoreDisplayMode"));
    EXPECT_FALSE(fake.logged("showCursor on"));
}

// Each failing step of window creation and what must be released after it.
struct CreationFailure {
    const char* name;
    void (*script)(FakeDesktop&);
    std::vector<std::string> tail;  // the log from the failing step on
};

class WindowCreationFailure : public ShellTest, public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(WindowCreationFailure, UnwindsWhatWasMadeAndReportsNothing) {
    prepareRecord(1024, 768, 32, true);
    GetParam().script(fake);
    EXPECT_FALSE(shell::createAppWindow());
    const std::vector<std::string>& tail = GetParam().tail;
    ASSERT_GE(fake.log.size(), tail.size());
    const std::vector<std::string> got(fake.log.end() - static_cast<std::ptrdiff_t>(tail.size()), fake.log.end());
    EXPECT_EQ(got, tail);
    EXPECT_EQ(shell::appWindow.window, nullptr);
    EXPECT_EQ(shell::appWindow.deviceContext, nullptr);
    EXPECT_EQ(shell::appWindow.glContext, nullptr);
    EXPECT_EQ(shell::appWindow.input, nullptr);
    EXPECT_FALSE(shell::appWindow.active);
    EXPECT_TRUE(fake.messageBoxes().empty());
    EXPECT_FALSE(fake.logged("showWindow"));
    EXPECT_FALSE(fake.logged("createInput"));
    // The screen mode switched on the way stays switched: the caller gives up.
    EXPECT_FALSE(fake.logged("restoreDisplayMode"));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, WindowCreationFailure,
    ::testing::Values(
        CreationFailure{"Window", [](FakeDesktop& d) { d.createWindowOk = false; }, {"createWindow"}},
        CreationFailure{"DeviceContext", [](FakeDesktop& d) { d.getDcOk = false; },
                        {"createWindow", "getDC", "destroyWindow"}},
        CreationFailure{"PixelFormatChoice", [](FakeDesktop& d) { d.pixelFormat = 0; },
                        {"getDC", "choosePixelFormat", "releaseDC", "destroyWindow"}},
        CreationFailure{"PixelFormatSet", [](FakeDesktop& d) { d.setPixelFormatOk = false; },
                        {"choosePixelFormat", "setPixelFormat 7", "releaseDC", "destroyWindow"}},
        CreationFailure{"Context", [](FakeDesktop& d) { d.createContextOk = false; },
                        {"setPixelFormat 7", "createContext", "releaseDC", "destroyWindow"}},
        CreationFailure{"MakeCurrent", [](FakeDesktop& d) { d.makeCurrentOk = false; },
                        {"createContext", "makeCurrent", "deleteContext", "releaseDC", "destroyWindow"}}),
    [](const ::testing::TestParamInfo<CreationFailure>& info) { return std::string(info.param.name); });

TEST_F(WindowTest, SizeMessageDuringCreationIsOverriddenByTheSettings) {
    prepareRecord(800, 600, 32, false);
    fake.duringCreate = [](FakeDesktop& d) {
        d.classProc(d.window, sizeMessage(d.window, SizeKind::restored, 790, 570));
    };
    ASSERT_TRUE(shell::createAppWindow());
    EXPECT_EQ(shell::viewWidth, 800);
    EXPECT_EQ(shell::viewHeight, 600);
}

class WindowProcTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        prepareRecord(640, 480, 32, false);
        ASSERT_TRUE(shell::createAppWindow());
        shell::keepRunning = true;
        fake.log.clear();
    }
    std::intptr_t send(const platform::Message& m) { return shell::appWindowProc(fake.window, m); }
};

TEST_F(WindowProcTest, MinimiseStopsDrawingWithoutTouchingTheView) {
    EXPECT_EQ(send(sizeMessage(fake.window, SizeKind::minimized, 0, 0)), 0);
    EXPECT_FALSE(shell::appWindow.active);
    EXPECT_EQ(shell::viewWidth, 640);
    EXPECT_EQ(shell::viewHeight, 480);
}

TEST_F(WindowProcTest, RestoreAndMaximiseResumeAndFollowTheClientSize) {
    send(sizeMessage(fake.window, SizeKind::minimized, 0, 0));
    EXPECT_EQ(send(sizeMessage(fake.window, SizeKind::restored, 500, 300)), 0);
    EXPECT_TRUE(shell::appWindow.active);
    EXPECT_EQ(shell::viewWidth, 500);
    EXPECT_EQ(shell::viewHeight, 300);
    send(sizeMessage(fake.window, SizeKind::minimized, 0, 0));
    EXPECT_EQ(send(sizeMessage(fake.window, SizeKind::maximized, 65535, 1000)), 0);
    EXPECT_TRUE(shell::appWindow.active);
    EXPECT_EQ(shell::viewWidth, 65535);  // the full 16-bit range, unsigned
    EXPECT_EQ(shell::viewHeight, 1000);
    EXPECT_FALSE(fake.logged("defaultWindowProc"));
}

TEST_F(WindowProcTest, OtherSizeKindsGetDefaultProcessing) {
    for (SizeKind kind : {SizeKind::maxShow, SizeKind::maxHide}) {
        shell::appWindow.active = false;
        EXPECT_EQ(send(sizeMessage(fake.window, kind, 100, 100)), 77);
        EXPECT_FALSE(shell::appWindow.active);
        EXPECT_EQ(shell::viewWidth, 640);
    }
}

TEST_F(WindowProcTest, CloseRequestsQuitAndKeepsTheWindow) {
    EXPECT_EQ(send(simpleMessage(fake.window, MessageKind::close)), 0);
    EXPECT_EQ(fake.log, std::vector<std::string>{"postQuit"});
    ASSERT_EQ(fake.queue.size(), 1u);
    EXPECT_EQ(fake.queue.front().kind, MessageKind::quit);
    EXPECT_EQ(fake.queue.front().window, fake.window);
    EXPECT_FALSE(shell::keepRunning);
    EXPECT_EQ(shell::appWindow.window, fake.window);
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerDownAreRefused) {
    EXPECT_EQ(send(simpleMessage(fake.window, MessageKind::sysCommand, 0xF140)), 0);
    EXPECT_EQ(send(simpleMessage(fake.window, MessageKind::sysCommand, 0xF170)), 0);
    EXPECT_FALSE(fake.logged("defaultWindowProc"));
    // Only those exact commands: their neighbours and the rest behave as usual.
    for (std::uint32_t command : {0xF141u, 0xF171u, 0xF060u, 0xF020u}) {
        fake.log.clear();
        EXPECT_EQ(send(simpleMessage(fake.window, MessageKind::sysCommand, command)), 77);
        EXPECT_EQ(fake.log, std::vector<std::string>{"defaultWindowProc"});
    }
    EXPECT_TRUE(shell::keepRunning);
}

TEST_F(WindowTest, SizeMessageBeforeTheRecordIsKnownIsHarmless) {
    // A platform may size the window before the creation message has stored the record.
    fake.userDataSlot = nullptr;
    EXPECT_EQ(shell::appWindowProc(fake.window, sizeMessage(fake.window, SizeKind::restored, 320, 200)), 0);
    EXPECT_EQ(shell::viewWidth, 320);
    EXPECT_EQ(shell::appWindowProc(fake.window, sizeMessage(fake.window, SizeKind::minimized, 0, 0)), 0);
}

TEST_F(WindowTest, TeardownWithNothingCreatedDoesNothing) {
    shell::AppWindow empty;
    EXPECT_TRUE(shell::destroyAppWindow(empty));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(WindowTest, TeardownReleasesOnlyWhatExists) {
    // A window without a drawing context, and an interface without a device.
    shell::AppWindow partial;
    partial.window = fake.window;
    partial.input = fake.input;
    EXPECT_TRUE(shell::destroyAppWindow(partial));
    EXPECT_EQ(fake.log, (std::vector<std::string>{"destroyWindow", "releaseInput"}));
    EXPECT_EQ(partial.window, nullptr);
    EXPECT_EQ(partial.input, nullptr);
}

TEST_F(WindowTest, RegistrationNamesTheClassAndProcedure) {
    identity.className = "OpenGL";
    fake.log.clear();
    EXPECT_TRUE(shell::registerAppClass(identity));
    EXPECT_EQ(fake.log, std::vector<std::string>{"registerClass OpenGL"});
    EXPECT_EQ(fake.classProc, &shell::appWindowProc);
    fake.registerOk = false;
    EXPECT_FALSE(shell::registerAppClass(identity));
    EXPECT_EQ(fake.messageBoxes(), std::vector<std::string>{"messageBox error Error: RegisterClassEx failed."});
}

}  // namespace
