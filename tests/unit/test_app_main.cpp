// links: shell
// The run as a whole against a scripted desktop: start-up and its failures, the
// message loop (drain first, draw when active, block when minimised), the clock, and
// the cycles that a quit from outside the program starts again.
#include <gtest/gtest.h>

#include "shell/app_main.h"
#include "shell/app_window.h"
#include "shell_fake_desktop.h"

using namespace shelltest;
using platform::MessageKind;
using platform::SizeKind;

namespace {

class AppMainTest : public ShellTest {
protected:
    int run() { return shell::appMain(identity.instance); }
    void quitOnFrame(int n) {
        FakeShow::onFrame = [n](double, const std::uint8_t*) {
            if (static_cast<int>(FakeShow::frames.size()) == n) shell::requestQuit();
        };
    }
};

TEST_F(AppMainTest, OneCycleInOrderAndExitZero) {
    quitOnFrame(1);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.log[0], "dialogBox 101");  // it cannot be shown here: defaults
    EXPECT_EQ(fake.log[1], "registerClass OpenGL");
    const int create = fake.indexOf("createWindow");
    const int init = fake.indexOf("initShow");
    const int origin = fake.indexOf("tickCount", init);
    const int frame = fake.indexOf("frame");
    const int swap = fake.indexOf("swapBuffers");
    const int fetch = fake.indexOf("fetch quit");
    const int destroy = fake.indexOf("destroyWindow");
    const int unregister = fake.indexOf("unregisterClass OpenGL");
    EXPECT_LT(fake.indexOf("setShowHost"), init);
    EXPECT_LT(create, init);
    EXPECT_LT(fake.indexOf("showWindow"), init);
    EXPECT_LT(init, origin);
    EXPECT_LT(origin, frame);
    EXPECT_LT(frame, swap);
    EXPECT_LT(swap, fetch);
    EXPECT_LT(fetch, destroy);
    EXPECT_LT(destroy, unregister);
    EXPECT_EQ(unregister, static_cast<int>(fake.log.size()) - 1);
    EXPECT_EQ(fake.count("frame"), 1);
    EXPECT_FALSE(shell::keepRunning);
    EXPECT_TRUE(fake.messageBoxes().empty());
    EXPECT_EQ(shell::appWindow.window, nullptr);
    EXPECT_EQ(shell::appWindow.identity, nullptr);  // it lived in appMain's frame
}

TEST_F(AppMainTest, ASecondPlayerOnTheDisplaySaysSoAndOpensNothing) {
    fake.displayTaken = true;
    EXPECT_EQ(run(), 0);
    // Standard error is no terminal under the test runner: the notice says it too.
    EXPECT_EQ(fake.log, std::vector<std::string>{"messageBox warning Error: The show is already playing on this display."});
    EXPECT_EQ(shell::appWindow.identity, nullptr);
}

TEST_F(AppMainTest, DefaultsStandWithoutTheDialog) {
    quitOnFrame(1);
    run();
    EXPECT_EQ(fake.lastSpec.width, 640);
    EXPECT_EQ(fake.lastSpec.height, 480);
    EXPECT_EQ(fake.lastPixelFormat.colorBits, 16);
    EXPECT_TRUE(fake.lastSpec.sizeIsClient);
    EXPECT_FALSE(fake.lastSpec.fullscreen);
    EXPECT_STREQ(fake.lastSpec.title, "Tessaly - Sunmarrow");
    EXPECT_STREQ(fake.lastSpec.className, "OpenGL");
    ASSERT_NE(FakeShow::host.isMusicOn, nullptr);
    EXPECT_TRUE(FakeShow::host.isMusicOn());
}

TEST_F(AppMainTest, ShowHostReportsTheViewAndClock) {
    FakeShow::onFrame = [this](double, const std::uint8_t*) {
        fake.classProc(fake.window, sizeMessage(fake.window, SizeKind::restored, 800, 600));
        EXPECT_EQ(FakeShow::host.viewWidth(), 800);
        EXPECT_EQ(FakeShow::host.viewHeight(), 600);
        EXPECT_EQ(FakeShow::host.strokeClockMs(), 1234);
        FakeShow::host.requestQuit();
    };
    run();
    EXPECT_EQ(FakeShow::frames.size(), 1u);
}

TEST_F(AppMainTest, PendingMessagesAreDrainedBeforeTheFirstFrame) {
    fake.duringCreate = [](FakeDesktop& d) {
        d.queue.push_back(simpleMessage(d.window, MessageKind::other));
        d.queue.push_back(sizeMessage(d.window, SizeKind::restored, 630, 470));
    };
    quitOnFrame(1);
    run();
    const int frame = fake.indexOf("frame");
    EXPECT_EQ(fake.dispatched.size(), 2u);
    EXPECT_LT(fake.indexOf("dispatch"), frame);
    EXPECT_LT(fake.indexOf("dispatch", fake.indexOf("dispatch") + 1), frame);
    // The queued size message came after the view set-up of window creation.
    EXPECT_EQ(shell::viewWidth, 630);
}

TEST_F(AppMainTest, AQuitInsideAFrameFinishesAndPresentsThatFrame) {
    quitOnFrame(2);
    run();
    EXPECT_EQ(FakeShow::frames.size(), 2u);
    const int second = fake.indexOf("frame", fake.indexOf("frame") + 1);
    EXPECT_EQ(fake.log[static_cast<std::size_t>(second + 1)], "postQuit");
    EXPECT_EQ(fake.log[static_cast<std::size_t>(second + 2)], "swapBuffers");
    EXPECT_EQ(fake.log[static_cast<std::size_t>(second + 3)], "fetch quit");
}

TEST_F(AppMainTest, ElapsedTimeCountsFromTheEndOfShowSetUp) {
    fake.ticks = {1000, 1000, 1016, 3500};
    quitOnFrame(3);
    run();
    ASSERT_EQ(FakeShow::frames.size(), 3u);
    EXPECT_DOUBLE_EQ(FakeShow::frames[0], 0.0);
    EXPECT_DOUBLE_EQ(FakeShow::frames[1], 0.016);
    EXPECT_DOUBLE_EQ(FakeShow::frames[2], 2.5);
}

TEST_F(AppMainTest, TickCounterWrapBetweenOriginAndFrame) {
    fake.ticks = {0xFFFFFF00u, 0x00000100u};
    quitOnFrame(1);
    run();
    ASSERT_EQ(FakeShow::frames.size(), 1u);
    EXPECT_DOUBLE_EQ(FakeShow::frames[0], 0.512);
}

TEST_F(AppMainTest, MinimisedWindowBlocksAndDrawsNothing) {
    // Frame 1 minimises the window; the loop must wait, not draw, until it is restored.
    FakeShow::onFrame = [this](double, const std::uint8_t*) {
        if (FakeShow::frames.size() == 1) {
            fake.queue.push_back(sizeMessage(fake.window, SizeKind::minimized, 0, 0));
        } else {
            shell::requestQuit();
        }
    };
    // The first wake-up brings a message that leaves the window minimised: wait again.
    fake.onWait = [](FakeDesktop& d) {
        if (d.waits == 1) d.queue.push_back(simpleMessage(d.window, MessageKind::other));
        if (d.waits == 2) d.queue.push_back(sizeMessage(d.window, SizeKind::maximized, 1280, 1000));
    };
    fake.ticks = {100, 100, 40100};
    run();
    ASSERT_EQ(FakeShow::frames.size(), 2u);
    EXPECT_EQ(fake.waits, 2);
    const int first = fake.indexOf("frame");
    const int second = fake.indexOf("frame", first + 1);
    const int wait1 = fake.indexOf("waitMessage");
    const int wait2 = fake.indexOf("waitMessage", wait1 + 1);
    EXPECT_LT(first, wait1);
    EXPECT_LT(wait2, second);
    // Restored, the show goes on at wall time, and the view follows the new client size.
    EXPECT_DOUBLE_EQ(FakeShow::frames[1], 40.0);
    EXPECT_EQ(shell::viewWidth, 1280);
    EXPECT_EQ(shell::viewHeight, 1000);
}

TEST_F(AppMainTest, AQuitFromElsewhereStartsAnotherCycle) {
    // The first cycle's quit message does not come from requestQuit: the window is
    // rebuilt and the show set up again; the second cycle ends the ordinary way.
    int cycle = 0;
    FakeShow::onFrame = [this, &cycle](double, const std::uint8_t*) {
        if (fake.windowsMade == 1) {
            fake.queue.push_back(simpleMessage(fake.window, MessageKind::quit));
        } else {
            shell::requestQuit();
        }
        ++cycle;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.count("createWindow"), 2);
    EXPECT_EQ(fake.count("initShow"), 2);
    EXPECT_EQ(fake.count("destroyWindow"), 2);
    EXPECT_EQ(fake.count("registerClass OpenGL"), 1);
    EXPECT_EQ(fake.count("unregisterClass OpenGL"), 1);
    EXPECT_EQ(cycle, 2);
}

TEST_F(AppMainTest, ClassRegistrationFailureShowsTwoMessagesAndReturnsMinusOne) {
    fake.registerOk = false;
    EXPECT_EQ(run(), -1);
    const std::vector<std::string> boxes = {"messageBox error Error: RegisterClassEx failed.",
                                            "messageBox error Error: Error registering window class!"};
    EXPECT_EQ(fake.messageBoxes(), boxes);
    EXPECT_FALSE(fake.logged("createWindow"));
    EXPECT_FALSE(fake.logged("unregisterClass OpenGL"));
    EXPECT_FALSE(shell::keepRunning);
}

TEST_F(AppMainTest, WindowCreationFailureEndsWithoutTeardown) {
    fake.createWindowOk = false;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.messageBoxes(), std::vector<std::string>{"messageBox error Error: Error creating window."});
    EXPECT_FALSE(fake.logged("initShow"));
    EXPECT_FALSE(fake.logged("destroyWindow"));
    EXPECT_FALSE(fake.logged("makeCurrent none"));
    EXPECT_EQ(fake.count("createWindow"), 1);
    EXPECT_TRUE(fake.logged("unregisterClass OpenGL"));
    EXPECT_FALSE(shell::keepRunning);
}

TEST_F(AppMainTest, ShowSetUpFailureQuitsBeforeTheLoop) {
    FakeShow::initResult = false;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.messageBoxes(), std::vector<std::string>{"messageBox error Error: Error initializing application."});
    EXPECT_LT(fake.indexOf("messageBox error Error: Error initializing application."), fake.indexOf("postQuit"));
    EXPECT_TRUE(FakeShow::frames.empty());
    EXPECT_TRUE(fake.logged("destroyWindow"));
    EXPECT_EQ(fake.count("initShow"), 1);
    EXPECT_EQ(fake.indexOf("unregisterClass OpenGL"), static_cast<int>(fake.log.size()) - 1);
}

TEST_F(AppMainTest, SignalEndsTheRunLikeTheCloseBox) {
    // The mark is seen at the first fetch: the quit marker goes behind the pending
    // message, which is still handled, and no frame is drawn.
    fake.duringCreate = [](FakeDesktop& d) { d.queue.push_back(simpleMessage(d.window, MessageKind::other)); };
    fake.quitSignals = {false, true};  // the first answer is the one after the dialog
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(FakeShow::frames.empty());
    EXPECT_EQ(fake.dispatched.size(), 1u);
    EXPECT_EQ(fake.count("createWindow"), 1);
    EXPECT_FALSE(shell::keepRunning);
}

TEST_F(AppMainTest, SignalWakesAMinimisedWindow) {
    fake.duringCreate = [](FakeDesktop& d) {
        d.queue.push_back(sizeMessage(d.window, SizeKind::minimized, 0, 0));
    };
    // The blocking wait returns for the signal with nothing queued.
    fake.onWait = [](FakeDesktop& d) { d.quitSignals = {true}; };
    fake.quitSignals = {false, false, false};
    run();
    EXPECT_EQ(fake.waits, 1);
    EXPECT_TRUE(FakeShow::frames.empty());
    EXPECT_EQ(fake.count("postQuit"), 1);
    EXPECT_EQ(fake.count("createWindow"), 1);
}

}  // namespace
