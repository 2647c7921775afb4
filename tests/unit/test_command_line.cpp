// links: shell
// The player's command line: what each argument list asks for, what is refused, and
// that run options answer the settings form unseen, giving the run the form would give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/app_main.h"
#include "shell/command_line.h"
#include "shell/settings_dialog.h"
#include "shell_fake_desktop.h"

using namespace shelltest;
using shell::CommandAction;

namespace {

shell::CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "sunmarrow");
    return shell::parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineParse, NoArgumentsLeaveTheFormToAsk) {
    const shell::CommandLine line = parse({});
    EXPECT_EQ(line.action, CommandAction::showForm);
    EXPECT_FALSE(line.options.fullscreen || line.options.sizeId || line.options.depthId || line.options.noMusic);
}

TEST(CommandLineParse, RunOptionsSetOnlyWhatTheyNameAndLaterOnesWin) {
    shell::CommandLine line = parse({"--windowed", "--size", "800x600"});
    EXPECT_EQ(line.action, CommandAction::run);
    EXPECT_EQ(line.options.fullscreen, false);
    EXPECT_EQ(line.options.sizeId, shell::idSize800);
    EXPECT_FALSE(line.options.depthId);
    EXPECT_FALSE(line.options.noMusic);

    line = parse({"--depth", "16", "--no-music", "--size", "1024x768", "--size", "640x480", "--windowed", "--fullscreen"});
    EXPECT_EQ(line.action, CommandAction::run);
    EXPECT_EQ(line.options.fullscreen, true);
    EXPECT_EQ(line.options.sizeId, shell::idSize640);
    EXPECT_EQ(line.options.depthId, shell::idDepth16);
    EXPECT_TRUE(line.options.noMusic);

    EXPECT_EQ(parse({"--depth", "32"}).options.depthId, shell::idDepth32);

    // The painter is no answer to the form: alone it leaves the form to ask.
    line = parse({"--painter", "cpu"});
    EXPECT_EQ(line.action, CommandAction::showForm);
    EXPECT_EQ(line.painter, painterly::PainterRequest::cpu);
    line = parse({"--painter", "gl", "--windowed", "--painter", "auto"});
    EXPECT_EQ(line.action, CommandAction::run);
    EXPECT_EQ(line.painter, painterly::PainterRequest::automatic);
}

TEST(CommandLineParse, HelpAndVersionActWhereTheyStand) {
    EXPECT_EQ(parse({"--help"}).action, CommandAction::help);
    EXPECT_EQ(parse({"--windowed", "-h", "--bogus"}).action, CommandAction::help);
    EXPECT_EQ(parse({"--version", "--size", "1x1"}).action, CommandAction::version);
    EXPECT_EQ(parse({"--size", "1x1", "--help"}).action, CommandAction::wrongUsage);
    EXPECT_EQ(shell::versionText().rfind("sunmarrow ", 0), 0u);
    const std::string help = shell::helpText({"data", "/usr/share/sunmarrow/data"});
    EXPECT_EQ(help.rfind(shell::usageLine, 0), 0u);
    EXPECT_NE(help.find("  data (in the working directory)\n  /usr/share/sunmarrow/data\n"), std::string::npos);
}

// How any argument is read is tests/unit/test_options.cpp's; these are the player's own.
TEST(CommandLineParse, WrongArgumentsAreRefusedAndNamed) {
    struct Case {
        std::vector<const char*> args;
        const char* named;
    };
    const std::vector<Case> cases = {
        {{"--size", "999x1"}, "999x1"},
        {{"--size", "800X600"}, "800X600"},
        {{"--size", "800x600x32"}, "800x600x32"},
        {{"--size"}, "--size"},
        {{"--depth", "24"}, "24"},
        {{"--depth", "16bit"}, "16bit"},
        {{"--depth"}, "--depth"},
        {{"--windowed", "--music"}, "--music"},
        {{"fullscreen"}, "fullscreen"},
        {{"--painter", "gpu"}, "gpu"},
        {{"--painter"}, "--painter"},
    };
    for (const Case& c : cases) {
        const shell::CommandLine line = parse(c.args);
        EXPECT_EQ(line.action, CommandAction::wrongUsage) << c.named;
        EXPECT_NE(line.problem.find(c.named), std::string::npos) << line.problem;
        EXPECT_EQ(line.problem.find('\n'), std::string::npos) << line.problem;
    }
}

// ---- run options in the run

class RunOptionsInRunTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // The form could be shown: a run that shows it anyway would get these marks.
        fake.dialogShown = true;
        fake.onDialog = [](FakeForm& f, platform::DialogProc proc) { f.click(proc, platform::IDOK); };
        FakeShow::onFrame = [](double, const std::uint8_t*) { shell::requestQuit(); };
    }
    int run(std::vector<const char*> args) {
        line = parse(std::move(args));
        EXPECT_EQ(line.action, CommandAction::run);
        return shell::appMain(identity.instance, &line.options);
    }
    shell::CommandLine line;
};

TEST_F(RunOptionsInRunTest, WindowedSizeSkipsTheFormAndOpensThatClientArea) {
    EXPECT_EQ(run({"--windowed", "--size", "800x600"}), 0);
    EXPECT_EQ(fake.count("dialogBox 101"), 0);
    EXPECT_EQ(fake.log[0], "registerClass OpenGL");
    EXPECT_FALSE(fake.logged("changeDisplayMode 800x600x32"));
    EXPECT_FALSE(fake.lastSpec.fullscreen);
    EXPECT_EQ(fake.lastSpec.width, 800);
    EXPECT_EQ(fake.lastSpec.height, 600);
    EXPECT_EQ(fake.lastPixelFormat.colorBits, 32);
    EXPECT_TRUE(FakeShow::host.isMusicOn());
}

TEST_F(RunOptionsInRunTest, WhatIsNotGivenStaysAsTheFormOpens) {
    // Fullscreen, 640 x 480, 32 bits, music on: not appMain's own defaults (windowed,
    // 16 bits), which stand only when the form cannot be shown.
    run({"--no-music"});
    EXPECT_EQ(fake.count("dialogBox 101"), 0);
    EXPECT_TRUE(fake.logged("changeDisplayMode 640x480x32"));
    EXPECT_TRUE(fake.lastSpec.fullscreen);
    EXPECT_FALSE(FakeShow::host.isMusicOn());
}

TEST_F(RunOptionsInRunTest, DepthAndSizeGoToTheScreenModeTogether) {
    run({"--depth", "16", "--size", "1024x768"});
    EXPECT_TRUE(fake.logged("changeDisplayMode 1024x768x16"));
    EXPECT_EQ(fake.lastPixelFormat.colorBits, 16);
    EXPECT_TRUE(FakeShow::host.isMusicOn());
}

TEST_F(RunOptionsInRunTest, SignalBeforeTheWindowStillEndsTheRunWithNothingOpened) {
    fake.quitSignals = {true};
    EXPECT_EQ(run({"--windowed"}), 0);
    EXPECT_TRUE(fake.log.empty()) << fake.log.front();
}

}  // namespace
