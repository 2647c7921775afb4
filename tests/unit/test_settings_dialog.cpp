// links: shell
// The settings dialog: its procedure against a form with automatic controls (marks
// on opening, what OK writes, what every other command leaves alone), its place in the
// run, the real GTK form where a display exists, and the picture at its top.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/form/gtk_ui.h"
#include "platform/form/settings_form.h"
#include "platform/form/settings_picture.h"
#include "shell/settings_dialog.h"
#include "shell_fake_desktop.h"

using namespace shelltest;
using platform::DialogMessage;

namespace {

class SettingsDialogTest : public ShellTest {
protected:
    FakeForm form;
    void SetUp() override {
        ShellTest::SetUp();
        // appMain's defaults, which the procedure's writes rely on.
        shell::appWindow.settings = shell::DisplaySettings{640, 480, 16, false, true};
        EXPECT_FALSE(shell::settingsDialogProc(form, DialogMessage::initDialog, 0, 0));
    }
    bool ok() { return form.click(shell::settingsDialogProc, platform::IDOK); }
    const shell::DisplaySettings& settings() { return shell::appWindow.settings; }
};

TEST_F(SettingsDialogTest, OpensWithMusicFullscreen640And32Marked) {
    const std::map<int, bool> expected = {{1000, true},  {1001, true},  {1002, false}, {1003, false},
                                          {1004, false}, {1005, true},  {1008, true}};
    EXPECT_EQ(form.marks, expected);
    EXPECT_FALSE(form.ended);
    // Opening writes nothing.
    EXPECT_EQ(settings().bits, 16);
    EXPECT_FALSE(settings().fullscreen);
}

TEST_F(SettingsDialogTest, OkAtOnceGivesTheMarksAsOpened) {
    EXPECT_TRUE(ok());
    EXPECT_EQ(settings().width, 640);
    EXPECT_EQ(settings().height, 480);
    EXPECT_EQ(settings().bits, 32);
    EXPECT_TRUE(settings().fullscreen);
    EXPECT_TRUE(settings().music);
    EXPECT_TRUE(form.ended);
    EXPECT_EQ(form.result, platform::IDOK);
}

TEST_F(SettingsDialogTest, ClearedBoxesAndOtherChoicesGiveAWindowedSilentRun) {
    form.click(shell::settingsDialogProc, shell::idFullscreen);
    form.click(shell::settingsDialogProc, shell::idMusic);
    form.click(shell::settingsDialogProc, shell::idSize1024);
    form.click(shell::settingsDialogProc, shell::idDepth16);
    EXPECT_FALSE(form.ended);
    EXPECT_TRUE(ok());
    EXPECT_EQ(settings().width, 1024);
    EXPECT_EQ(settings().height, 768);
    EXPECT_EQ(settings().bits, 16);
    EXPECT_FALSE(settings().fullscreen);
    EXPECT_FALSE(settings().music);
}

struct Choice {
    int sizeId, depthId, width, height, bits;
};

class SettingsChoice : public SettingsDialogTest, public ::testing::WithParamInterface<Choice> {};

TEST_P(SettingsChoice, SizeAndDepthAreIndependent) {
    // Depth first then size, and the other way round: the result is the same.
    const Choice c = GetParam();
    form.click(shell::settingsDialogProc, c.depthId);
    form.click(shell::settingsDialogProc, c.sizeId);
    EXPECT_TRUE(form.isDlgButtonChecked(c.depthId));
    ok();
    EXPECT_EQ(settings().width, c.width);
    EXPECT_EQ(settings().height, c.height);
    EXPECT_EQ(settings().bits, c.bits);

    FakeForm again;
    shell::settingsDialogProc(again, DialogMessage::initDialog, 0, 0);
    again.click(shell::settingsDialogProc, c.sizeId);
    again.click(shell::settingsDialogProc, c.depthId);
    EXPECT_TRUE(again.isDlgButtonChecked(c.sizeId));
    again.click(shell::settingsDialogProc, platform::IDOK);
    EXPECT_EQ(settings().width, c.width);
    EXPECT_EQ(settings().bits, c.bits);
}

INSTANTIATE_TEST_SUITE_P(AllSix, SettingsChoice,
                         ::testing::Values(Choice{1001, 1004, 640, 480, 16}, Choice{1001, 1005, 640, 480, 32},
                                           Choice{1002, 1004, 800, 600, 16}, Choice{1002, 1005, 800, 600, 32},
                                           Choice{1003, 1004, 1024, 768, 16}, Choice{1003, 1005, 1024, 768, 32}));

TEST_F(SettingsDialogTest, OkWritesTheFiveSettingsAndNothingElse) {
    shell::AppWindow& app = shell::appWindow;
    app.title = "unchanged";
    app.active = true;
    app.window = fake.window;
    app.keys.fill(7);
    ok();
    EXPECT_STREQ(app.title, "unchanged");
    EXPECT_TRUE(app.active);
    EXPECT_EQ(app.window, fake.window);
    EXPECT_EQ(app.keys[200], 7);
    EXPECT_EQ(app.deviceContext, nullptr);
}

TEST_F(SettingsDialogTest, CancelAndClicksChangeNothingAndKeepItOpen) {
    const shell::DisplaySettings before = settings();
    EXPECT_FALSE(shell::settingsDialogProc(form, DialogMessage::command, platform::IDCANCEL, 0));
    EXPECT_FALSE(form.click(shell::settingsDialogProc, shell::idSize800));
    EXPECT_FALSE(form.click(shell::settingsDialogProc, shell::idFullscreen));
    // A command whose high word is set but whose id is not OK, and id 0x10001's low part
    // being OK: only the low 16 bits name the control.
    EXPECT_FALSE(shell::settingsDialogProc(form, DialogMessage::command, 0x00010002u, 0));
    EXPECT_FALSE(form.ended);
    EXPECT_EQ(settings().width, before.width);
    EXPECT_EQ(settings().bits, before.bits);
    EXPECT_EQ(settings().fullscreen, before.fullscreen);
    EXPECT_EQ(settings().music, before.music);
    EXPECT_TRUE(shell::settingsDialogProc(form, DialogMessage::command, 0x00010001u, 0));
    EXPECT_EQ(form.result, 0x00010001);
}

// ---- the dialog in the run

class DialogInRunTest : public ShellTest {
protected:
    int run() { return shell::appMain(identity.instance); }
    void okAtOnce() {
        fake.dialogShown = true;
        fake.onDialog = [](FakeForm& f, platform::DialogProc proc) { f.click(proc, platform::IDOK); };
    }
};

TEST_F(DialogInRunTest, ShownBeforeTheClassIsRegistered) {
    okAtOnce();
    FakeShow::onFrame = [](double, const std::uint8_t*) { shell::requestQuit(); };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.log[0], "dialogBox 101");
    EXPECT_EQ(fake.log[1], "registerClass OpenGL");
    // Accepted unchanged: a fullscreen 640 x 480 x 32 run.
    EXPECT_TRUE(fake.logged("changeDisplayMode 640x480x32"));
    EXPECT_EQ(fake.lastPixelFormat.colorBits, 32);
    EXPECT_TRUE(FakeShow::host.isMusicOn());
}

TEST_F(DialogInRunTest, FullscreenIsTriedAgainEveryCycle) {
    // The switch fails; the first cycle ends with a quit from outside the program, so
    // a second cycle starts and asks for the mode again.
    okAtOnce();
    fake.modeSwitchOk = false;
    FakeShow::onFrame = [this](double, const std::uint8_t*) {
        EXPECT_FALSE(shell::appWindow.settings.fullscreen);
        EXPECT_TRUE(shell::wantFullscreen);
        if (fake.windowsMade == 1) {
            fake.queue.push_back(simpleMessage(fake.window, platform::MessageKind::quit));
        } else {
            shell::requestQuit();
        }
    };
    run();
    EXPECT_EQ(fake.count("changeDisplayMode 640x480x32"), 2);
    EXPECT_EQ(fake.count("messageBox warning Error: Fullscreen mode failed.\nRunning in window mode."), 2);
    EXPECT_FALSE(fake.logged("restoreDisplayMode"));
    EXPECT_FALSE(fake.logged("showCursor on"));
}

TEST_F(DialogInRunTest, SwitchedModeIsRestoredAfterEveryCycle) {
    okAtOnce();
    FakeShow::onFrame = [this](double, const std::uint8_t*) {
        if (fake.windowsMade == 1) {
            fake.queue.push_back(simpleMessage(fake.window, platform::MessageKind::quit));
        } else {
            shell::requestQuit();
        }
    };
    run();
    EXPECT_EQ(fake.count("restoreDisplayMode"), 2);
    EXPECT_EQ(fake.count("showCursor off"), 2);
    EXPECT_EQ(fake.count("showCursor on"), 2);
}

TEST_F(DialogInRunTest, SignalOrAFormGoneUnansweredEndsTheRunBeforeAnythingOpens) {
    fake.quitSignals = {true};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.log, std::vector<std::string>{"dialogBox 101"});

    // The form's process was killed: no choice was made, so no show either.
    fake.log.clear();
    fake.dialogGone = true;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake.log, std::vector<std::string>{"dialogBox 101"});
}

// ---- the real form, where a display exists

class GtkFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr || !platform::startGtk()) GTEST_SKIP() << "no display for GTK";
    }
};

int formCommands = 0;
std::map<int, bool> seen;

bool probeProc(platform::DialogForm& form, DialogMessage message, std::uintptr_t wParam, std::intptr_t) {
    if (message == DialogMessage::command) {
        ++formCommands;
        return false;
    }
    shell::settingsDialogProc(form, message, wParam, 0);
    // Choosing a size leaves the depth alone and the reverse; marks set here are not
    // clicks and send no command.
    form.checkRadioButton(1001, 1003, 1002);
    form.checkRadioButton(1004, 1005, 1004);
    form.checkDlgButton(1000, false);
    for (int id : {1000, 1001, 1002, 1003, 1004, 1005, 1008}) seen[id] = form.isDlgButtonChecked(id);
    form.endDialog(1234);
    return false;
}

TEST_F(GtkFormTest, ControlsKeepTheirGroupsAndProgrammaticMarksSendNothing) {
    formCommands = 0;
    seen.clear();
    EXPECT_EQ(platform::runSettingsForm(101, probeProc, 0), 1234);
    const std::map<int, bool> expected = {{1000, false}, {1001, false}, {1002, true}, {1003, false},
                                          {1004, true},  {1005, false}, {1008, true}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(formCommands, 0);
}

TEST_F(GtkFormTest, UnknownTemplateCannotBeShown) {
    EXPECT_EQ(platform::runSettingsForm(102, probeProc, 0), -1);
    EXPECT_EQ(platform::runSettingsForm(101, nullptr, 0), -1);
}

// ---- the picture

TEST(SettingsPicture, IsTheFormSizeAndTheSameEveryTime) {
    const auto a = platform::paintSettingsPicture(280, 177);
    EXPECT_EQ(a.size(), 280u * 177u * 3u);
    EXPECT_EQ(a, platform::paintSettingsPicture(280, 177));
}

TEST(SettingsPicture, SkyAboveSunAtTheHorizonHillsBelow) {
    const int w = 280, h = 177;
    const auto rgb = platform::paintSettingsPicture(w, h);
    auto at = [&](int x, int y, int c) { return static_cast<int>(rgb[(static_cast<std::size_t>(y) * w + x) * 3 + c]); };
    auto luma = [&](int x, int y) { return at(x, y, 0) * 3 + at(x, y, 1) * 6 + at(x, y, 2); };
    // Deep blue sky at the top, warmer towards the horizon.
    EXPECT_GT(at(20, 3, 2), at(20, 3, 0));
    EXPECT_GT(at(20, 95, 0), at(20, 3, 0));
    // The sun is the brightest thing in its column.
    const int sunX = static_cast<int>(0.64f * w), sunCentre = static_cast<int>(0.57f * h);
    const int sunY = sunCentre - 6;  // the upper half, above the hills
    for (int y = 0; y < h; y += 3) {
        if (y > sunCentre - 16 && y < sunCentre + 16) continue;
        EXPECT_GT(luma(sunX, sunY), luma(sunX, y)) << y;
    }
    // Green in the foreground.
    EXPECT_GT(at(140, 170, 1), at(140, 170, 0));
    EXPECT_GT(at(140, 170, 1), at(140, 170, 2));
}

TEST(SettingsPicture, AnySizeIsSafe) {
    EXPECT_TRUE(platform::paintSettingsPicture(0, 177).empty());
    EXPECT_TRUE(platform::paintSettingsPicture(280, -1).empty());
    EXPECT_EQ(platform::paintSettingsPicture(1, 1).size(), 3u);
    EXPECT_EQ(platform::paintSettingsPicture(3, 500).size(), 3u * 500u * 3u);
}

}  // namespace
