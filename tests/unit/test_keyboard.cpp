// links: shell
// The keyboard device: set-up with its four failure messages, the per-frame snapshot
// (fresh or all zero, never stale), release, and the scan-code numbering of the keys.
#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include <array>

#include "platform/desktop/key_codes.h"
#include "shell/keyboard.h"
#include "shell_fake_desktop.h"

using namespace shelltest;

namespace {

const char* const inputMessage = "messageBox error Error: Failed to initialize Direct Input.";
const char* const deviceMessage = "messageBox error Error: Failed to initialize DI device (keyboard) [errorcode: DI04].";
const char* const formatMessage = "messageBox error Error: Failed to initialize DI device (keyboard) [errorcode: DI05].";
const char* const levelMessage = "messageBox error Error: Failed to initialize DI device (keyboard) [errorcode: DI06].";

class KeyboardTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        prepareRecord();
        shell::appWindow.window = fake.window;
        shell::keepRunning = true;
    }
};

TEST_F(KeyboardTest, SetUpAsksForForegroundExclusiveAccessToTheWindow) {
    shell::setUpKeyboard();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"createInput", "createKeyboard", "setDataFormat",
                                                  "setCooperativeLevel"}));
    EXPECT_EQ(fake.cooperativeFlags, 5u);
    EXPECT_EQ(fake.cooperativeWindow, fake.window);
    EXPECT_EQ(shell::appWindow.input, fake.input);
    EXPECT_EQ(shell::appWindow.keyboard, fake.keyboard);
    EXPECT_TRUE(shell::keepRunning);
    EXPECT_FALSE(fake.logged("acquire"));  // the first poll acquires
}

struct SetUpFailure {
    const char* name;
    void (*script)(FakeDesktop&);
    std::vector<std::string> log;
    bool inputLeft;
    bool keyboardLeft;
};

class KeyboardSetUpFailure : public KeyboardTest, public ::testing::WithParamInterface<SetUpFailure> {};

TEST_P(KeyboardSetUpFailure, ReportsAsksToQuitAndGoesOnWhereItCan) {
    GetParam().script(fake);
    shell::setUpKeyboard();
    EXPECT_EQ(fake.log, GetParam().log);
    EXPECT_EQ(shell::appWindow.input != nullptr, GetParam().inputLeft);
    EXPECT_EQ(shell::appWindow.keyboard != nullptr, GetParam().keyboardLeft);
    EXPECT_FALSE(shell::keepRunning);
    ASSERT_FALSE(fake.queue.empty());
    EXPECT_EQ(fake.queue.front().kind, platform::MessageKind::quit);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, KeyboardSetUpFailure,
    ::testing::Values(
        SetUpFailure{"Interface", [](FakeDesktop& d) { d.createInputResult = platform::inputGenericFailure; },
                     {"createInput", inputMessage, "postQuit"}, false, false},
        SetUpFailure{"Device", [](FakeDesktop& d) { d.createKeyboardResult = platform::inputGenericFailure; },
                     {"createInput", "createKeyboard", deviceMessage, "postQuit"}, true, false},
        SetUpFailure{"DataFormat", [](FakeDesktop& d) { d.dataFormatResult = platform::inputInvalidParam; },
                     {"createInput", "createKeyboard", "setDataFormat", formatMessage, "postQuit",
                      "setCooperativeLevel"},
                     true, true},
        SetUpFailure{"CooperativeLevel", [](FakeDesktop& d) { d.cooperativeResult = platform::inputInvalidParam; },
                     {"createInput", "createKeyboard", "setDataFormat", "setCooperativeLevel", levelMessage,
                      "postQuit"},
                     true, true},
        SetUpFailure{"FormatAndLevel",
                     [](FakeDesktop& d) {
                         d.dataFormatResult = platform::inputInvalidParam;
                         d.cooperativeResult = platform::inputInvalidParam;
                     },
                     {"createInput", "createKeyboard", "setDataFormat", formatMessage, "postQuit",
                      "setCooperativeLevel", levelMessage, "postQuit"},
                     true, true}),
    [](const ::testing::TestParamInfo<SetUpFailure>& info) { return std::string(info.param.name); });

TEST_F(KeyboardTest, PositiveResultsAreNotFailures) {
    fake.createInputResult = 1;  // "no effect" style successes
    fake.dataFormatResult = 1;
    shell::setUpKeyboard();
    EXPECT_TRUE(fake.messageBoxes().empty());
    EXPECT_TRUE(shell::keepRunning);
}

TEST_F(KeyboardTest, FailedSetUpEndsTheRunBeforeAnyFrameButTheShowIsSetUpOnce) {
    fake.createKeyboardResult = platform::inputGenericFailure;
    fake.log.clear();
    shell::appWindow = shell::AppWindow{};
    EXPECT_EQ(shell::appMain(identity.instance), 0);
    EXPECT_EQ(fake.count("initShow"), 1);
    EXPECT_TRUE(FakeShow::frames.empty());
    EXPECT_EQ(fake.count("createWindow"), 1);
    EXPECT_EQ(fake.messageBoxes(), std::vector<std::string>{deviceMessage});
    EXPECT_LT(fake.indexOf(deviceMessage), fake.indexOf("showWindow"));
    EXPECT_TRUE(fake.logged("releaseInput"));
    EXPECT_FALSE(fake.logged("releaseKeyboard"));
}

class PollTest : public KeyboardTest {
protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        shell::setUpKeyboard();
        fake.log.clear();
        fake.stateFill[1] = 0x80;     // Escape
        fake.stateFill[0xCB] = 0x80;  // left arrow
        shell::appWindow.keys.fill(0x33);  // whatever an earlier frame left
    }
    void expectAllZero() {
        for (std::uint8_t b : shell::appWindow.keys) ASSERT_EQ(b, 0);
    }
};

TEST_F(PollTest, NormalFrameIsOneAcquireAndOneRead) {
    shell::pollKeyboard();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"acquire", "getDeviceState 256"}));
    EXPECT_EQ(shell::appWindow.keys[1], 0x80);
    EXPECT_EQ(shell::appWindow.keys[0xCB], 0x80);
    EXPECT_EQ(shell::appWindow.keys[2], 0);
}

TEST_F(PollTest, NoDeviceGivesAllZero) {
    shell::appWindow.keyboard = nullptr;
    shell::pollKeyboard();
    expectAllZero();
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(PollTest, LostInputIsAcquiredAgainAndReadInTheSameFrame) {
    fake.acquireResults = {platform::inputLost, platform::inputLost, platform::inputOk};
    fake.stateResults = {platform::inputLost};
    shell::pollKeyboard();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"acquire", "acquire", "acquire", "getDeviceState 256", "acquire",
                                                  "getDeviceState 256"}));
    EXPECT_EQ(shell::appWindow.keys[1], 0x80);
}

TEST_F(PollTest, OtherReadFailureIsReadOnceMoreWithoutAcquiring) {
    fake.acquireResults = {platform::inputOtherAppHasPriority};
    fake.stateResults = {platform::inputNotAcquired};
    shell::pollKeyboard();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"acquire", "getDeviceState 256", "getDeviceState 256"}));
    EXPECT_EQ(shell::appWindow.keys[1], 0x80);
}

TEST_F(PollTest, TwoFailedReadsGiveAllZeroNotGarbage) {
    // Another window has the focus: nothing can be read, and Escape must not count.
    fake.acquireResults = {platform::inputOtherAppHasPriority};
    fake.stateResults = {platform::inputNotAcquired, platform::inputNotAcquired};
    shell::pollKeyboard();
    expectAllZero();
    // The next frame tries again from the start.
    fake.log.clear();
    shell::pollKeyboard();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"acquire", "getDeviceState 256"}));
    EXPECT_EQ(shell::appWindow.keys[1], 0x80);
}

TEST_F(PollTest, ADeviceThatIsAlwaysLostDoesNotStallTheFrame) {
    fake.acquireResults.assign(1000, platform::inputLost);
    fake.stateResults = {platform::inputLost, platform::inputLost};
    shell::pollKeyboard();
    expectAllZero();
    EXPECT_LE(fake.count("acquire"), 32);
}

TEST_F(PollTest, ReleaseUnacquiresAndReleasesDeviceThenInterface) {
    shell::releaseKeyboard(shell::appWindow);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"unacquire", "releaseKeyboard", "releaseInput"}));
    EXPECT_EQ(shell::appWindow.keyboard, nullptr);
    EXPECT_EQ(shell::appWindow.input, nullptr);
    fake.log.clear();
    shell::releaseKeyboard(shell::appWindow);
    EXPECT_TRUE(fake.log.empty());
}

TEST(KeyCodes, CommonKeysHaveTheirScanCodes) {
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_1), 2);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_0), 11);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_Q), 0x10);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_A), 0x1E);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_Z), 0x2C);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_RETURN), 0x1C);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_SPACE), 0x39);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_F1), 0x3B);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_F12), 0x58);
    // The extended keys sit above 0x80, apart from their keypad twins.
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_UP), 0xC8);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_KP_8), 0x48);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_RCTRL), 0x9D);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_LCTRL), 0x1D);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_KP_ENTER), 0x9C);
}

TEST(KeyCodes, UnknownAndOutOfRangeScancodesHaveNoCode) {
    EXPECT_EQ(platform::keyCodeForScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(platform::keyCodeForScancode(-1), 0);
    EXPECT_EQ(platform::keyCodeForScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(platform::keyCodeForScancode(100000), 0);
}

TEST(KeyCodes, MainKeysNeverShareACode) {
    // Letters, digits and the keys around them are all distinct and nonzero.
    std::array<int, 256> owner{};
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_SLASH; ++sc) {
        if (sc == SDL_SCANCODE_NONUSHASH) continue;  // the same key as backslash
        const int code = platform::keyCodeForScancode(sc);
        ASSERT_NE(code, 0) << "scancode " << sc;
        EXPECT_EQ(owner[static_cast<std::size_t>(code)], 0) << "scancode " << sc << " shares " << code;
        owner[static_cast<std::size_t>(code)] = sc;
    }
}

TEST(KeyCodes, SnapshotMarksDownKeysWithBit7Only) {
    std::array<std::uint8_t, SDL_NUM_SCANCODES> sdl{};
    sdl[SDL_SCANCODE_ESCAPE] = 1;
    sdl[SDL_SCANCODE_LEFT] = 1;
    sdl[SDL_SCANCODE_LANG1] = 1;  // no code: ignored
    std::array<std::uint8_t, 256> keys;
    keys.fill(0xFF);
    platform::fillKeyState(sdl.data(), static_cast<int>(sdl.size()), keys.data());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::uint8_t want = (i == 1 || i == 0xCB) ? 0x80 : 0;
        EXPECT_EQ(keys[i], want) << "key " << i;
    }
}

TEST(KeyCodes, ShortOrMissingSdlArraysAreSafe) {
    std::array<std::uint8_t, 256> keys;
    keys.fill(0xFF);
    platform::fillKeyState(nullptr, 0, keys.data());
    for (std::uint8_t b : keys) ASSERT_EQ(b, 0);
    std::array<std::uint8_t, 42> shortArray{};
    shortArray[SDL_SCANCODE_ESCAPE] = 1;  // 41: the last entry
    platform::fillKeyState(shortArray.data(), static_cast<int>(shortArray.size()), keys.data());
    EXPECT_EQ(keys[1], 0x80);
}

}  // namespace
