// A scripted desktop for the shell's tests. Every call is written to `log` as one line
// ("createWindow", "messageBox error: Error creating window.", ...); results come from
// the public fields, so each failure path of window creation, keyboard set-up and the
// message loop can be driven. The show is replaced too (FakeShow), and logs into the
// same list, so tests can check the order of everything the shell does.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/desktop/desktop.h"
#include "shell/app_main.h"
#include "shell/app_window.h"
#include "shell/desktop_access.h"

namespace shelltest {

template <typename T>
T* fakeHandle(std::uintptr_t value) {
    return reinterpret_cast<T*>(value);
}

inline platform::Message sizeMessage(platform::Window* window, platform::SizeKind kind, int w, int h) {
    platform::Message m;
    m.kind = platform::MessageKind::size;
    m.window = window;
    m.sizeKind = kind;
    m.width = static_cast<std::uint16_t>(w);
    m.height = static_cast<std::uint16_t>(h);
    return m;
}

inline platform::Message simpleMessage(platform::Window* window, platform::MessageKind kind,
                                       std::uint32_t command = 0) {
    platform::Message m;
    m.kind = kind;
    m.window = window;
    m.command = command;
    return m;
}

// The settings form with automatic controls: clicking a check box flips it, clicking a
// radio button selects it within its group (sizes 1001-1003, depths 1004-1005).
class FakeForm : public platform::DialogForm {
public:
    std::map<int, bool> marks;
    bool ended = false;
    std::intptr_t result = 0;

    void checkDlgButton(int id, bool checked) override { marks[id] = checked; }
    void checkRadioButton(int first, int last, int id) override {
        for (int i = first; i <= last; ++i) marks[i] = i == id;
    }
    bool isDlgButtonChecked(int id) const override {
        const auto found = marks.find(id);
        return found != marks.end() && found->second;
    }
    void endDialog(std::intptr_t r) override {
        ended = true;
        result = r;
    }

    // What the user does, then the command the form sends for it.
    bool click(platform::DialogProc proc, int id) {
        if (id >= 1001 && id <= 1003) checkRadioButton(1001, 1003, id);
        if (id >= 1004 && id <= 1005) checkRadioButton(1004, 1005, id);
        if (id == 1000 || id == 1008) marks[id] = !marks[id];
        return proc(*this, platform::DialogMessage::command, static_cast<std::uintptr_t>(id), 0);
    }
};

class FakeDesktop : public platform::Desktop {
public:
    std::vector<std::string> log;

    // ---- scripted results
    bool registerOk = true;
    bool modeSwitchOk = true;
    bool createWindowOk = true;
    bool getDcOk = true;
    int pixelFormat = 7;
    bool setPixelFormatOk = true;
    bool createContextOk = true;
    bool makeCurrentOk = true;
    platform::InputResult createInputResult = platform::inputOk;
    platform::InputResult createKeyboardResult = platform::inputOk;
    platform::InputResult dataFormatResult = platform::inputOk;
    platform::InputResult cooperativeResult = platform::inputOk;
    std::deque<platform::InputResult> acquireResults;  // then inputOk
    std::deque<platform::InputResult> stateResults;    // then inputOk
    std::uint8_t stateFill[256] = {};                 // what a good read delivers
    std::deque<std::uint32_t> ticks;                   // then tickDefault
    std::uint32_t tickDefault = 5000;
    std::deque<platform::Message> queue;               // the message queue
    std::function<void(FakeDesktop&)> onWait;          // waitMessage: must queue something
    std::function<void(FakeDesktop&)> duringCreate;    // after the create message
    std::deque<bool> quitSignals;                      // takeQuitSignal answers, then false
    bool displayTaken = false;                         // another player holds the display
    bool dialogShown = false;                          // false: the form cannot be shown
    bool dialogGone = false;                           // the form goes away unanswered
    std::vector<int> refusedSwapIntervals;             // the driver says no to these
    // Drives the open form after its opening message; must end it (or not, to see the
    // form stay open).
    std::function<void(FakeForm&, platform::DialogProc)> onDialog;
    FakeForm lastForm;

    // ---- what was seen
    platform::WindowSpec lastSpec;
    platform::PixelFormatRequest lastPixelFormat;
    platform::WindowProc classProc = nullptr;
    void* userDataSlot = nullptr;
    std::vector<platform::Message> dispatched;
    std::uint32_t cooperativeFlags = 0;
    platform::Window* cooperativeWindow = nullptr;
    int waits = 0;
    int windowsMade = 0;
    int swapIntervalNow = 0;  // what the driver reports back

    platform::Window* const window = fakeHandle<platform::Window>(0x100);
    platform::DeviceContext* const dc = fakeHandle<platform::DeviceContext>(0x200);
    platform::GlContext* const gl = fakeHandle<platform::GlContext>(0x300);
    platform::Input* const input = fakeHandle<platform::Input>(0x400);
    platform::KeyboardDevice* const keyboard = fakeHandle<platform::KeyboardDevice>(0x500);

    bool logged(const std::string& line) const {
        for (const auto& l : log) {
            if (l == line) return true;
        }
        return false;
    }
    int count(const std::string& line) const {
        int n = 0;
        for (const auto& l : log) n += l == line ? 1 : 0;
        return n;
    }
    // Index of the first line equal to `line` at or after `from`; -1 when absent.
    int indexOf(const std::string& line, int from = 0) const {
        for (int i = from; i < static_cast<int>(log.size()); ++i) {
            if (log[static_cast<std::size_t>(i)] == line) return i;
        }
        return -1;
    }
    std::vector<std::string> messageBoxes() const {
        std::vector<std::string> boxes;
        for (const auto& l : log) {
            if (l.rfind("messageBox", 0) == 0) boxes.push_back(l);
        }
        return boxes;
    }

    // ---- the seam
    void messageBox(const char* text, const char* caption, platform::MessageIcon icon) override {
        log.push_back(std::string("messageBox ") + (icon == platform::MessageIcon::error ? "error" : "warning") +
                      " " + caption + ": " + text);
    }
    std::intptr_t dialogBox(platform::Instance, int templateId, platform::DialogProc proc,
                            std::intptr_t param) override;

    bool registerClass(const platform::WindowClass& wc) override {
        log.push_back(std::string("registerClass ") + wc.className);
        if (registerOk) classProc = wc.proc;
        return registerOk;
    }
    void unregisterClass(const char* className, platform::Instance) override {
        log.push_back(std::string("unregisterClass ") + className);
    }
    bool changeDisplayMode(std::int32_t w, std::int32_t h, std::int32_t bits) override {
        log.push_back("changeDisplayMode " + std::to_string(w) + "x" + std::to_string(h) + "x" +
                      std::to_string(bits));
        return modeSwitchOk;
    }
    void restoreDisplayMode() override { log.push_back("restoreDisplayMode"); }
    void showCursor(bool show) override { log.push_back(show ? "showCursor on" : "showCursor off"); }

    platform::Window* createWindow(const platform::WindowSpec& request) override {
        log.push_back("createWindow");
        lastSpec = request;
        lastPixelFormat = request.pixelFormat;
        if (!createWindowOk) return nullptr;
        ++windowsMade;
        platform::Message create;
        create.kind = platform::MessageKind::create;
        create.window = window;
        create.createParam = request.createParam;
        if (classProc != nullptr) classProc(window, create);
        if (duringCreate) duringCreate(*this);
        return window;
    }
    void destroyWindow(platform::Window*) override { log.push_back("destroyWindow"); }
    void showWindow(platform::Window*) override { log.push_back("showWindow"); }
    void setUserData(platform::Window*, void* data) override { userDataSlot = data; }
    void* userData(platform::Window*) override { return userDataSlot; }
    std::intptr_t defaultWindowProc(platform::Window*, const platform::Message&) override {
        log.push_back("defaultWindowProc");
        return 77;
    }

    platform::DeviceContext* getDC(platform::Window*) override {
        log.push_back("getDC");
        return getDcOk ? dc : nullptr;
    }
    void releaseDC(platform::Window*, platform::DeviceContext*) override { log.push_back("releaseDC"); }
    int choosePixelFormat(platform::DeviceContext*, const platform::PixelFormatRequest& r) override {
        log.push_back("choosePixelFormat");
        lastPixelFormat = r;
        return pixelFormat;
    }
    bool setPixelFormat(platform::DeviceContext*, int format, const platform::PixelFormatRequest&) override {
        log.push_back("setPixelFormat " + std::to_string(format));
        return setPixelFormatOk;
    }
    platform::GlContext* createContext(platform::DeviceContext*) override {
        log.push_back("createContext");
        return createContextOk ? gl : nullptr;
    }
    bool makeCurrent(platform::DeviceContext*, platform::GlContext* context) override {
        log.push_back(context != nullptr ? "makeCurrent" : "makeCurrent none");
        return context == nullptr || makeCurrentOk;
    }
    void deleteContext(platform::GlContext*) override { log.push_back("deleteContext"); }
    void swapBuffers(platform::DeviceContext*) override { log.push_back("swapBuffers"); }
    bool setSwapInterval(std::int32_t interval) override {
        log.push_back("setSwapInterval " + std::to_string(interval));
        for (int refused : refusedSwapIntervals) {
            if (refused == interval) return false;
        }
        swapIntervalNow = interval;
        return true;
    }
    std::int32_t swapInterval() override { return swapIntervalNow; }

    void postQuit(platform::Window* w) override {
        log.push_back("postQuit");
        queue.push_back(simpleMessage(w, platform::MessageKind::quit));
    }
    bool peekMessage(platform::Message& message) override {
        if (queue.empty()) return false;
        message = queue.front();
        queue.pop_front();
        if (message.kind == platform::MessageKind::quit) log.push_back("fetch quit");
        return true;
    }
    void dispatchMessage(const platform::Message& message) override {
        dispatched.push_back(message);
        log.push_back("dispatch");
        if (classProc != nullptr) classProc(message.window, message);
    }
    void waitMessage() override {
        log.push_back("waitMessage");
        ++waits;
        if (onWait) onWait(*this);
        // A wait that nothing would end is a test mistake: end the run instead of hanging.
        if (queue.empty() && !quitSignalPending()) {
            queue.push_back(simpleMessage(window, platform::MessageKind::quit));
        }
    }
    bool takeQuitSignal() override {
        if (quitSignals.empty()) return false;
        const bool signal = quitSignals.front();
        quitSignals.pop_front();
        return signal;
    }
    bool quitSignalPending() override { return !quitSignals.empty() && quitSignals.front(); }

    std::uint32_t tickCount() override {
        log.push_back("tickCount");
        if (ticks.empty()) return tickDefault;
        const std::uint32_t t = ticks.front();
        ticks.pop_front();
        return t;
    }

    platform::InputResult createInput(platform::Instance, platform::Input** out) override {
        log.push_back("createInput");
        *out = createInputResult >= 0 ? input : nullptr;
        return createInputResult;
    }
    platform::InputResult createKeyboard(platform::Input*, platform::KeyboardDevice** out) override {
        log.push_back("createKeyboard");
        *out = createKeyboardResult >= 0 ? keyboard : nullptr;
        return createKeyboardResult;
    }
    platform::InputResult setKeyboardDataFormat(platform::KeyboardDevice*) override {
        log.push_back("setDataFormat");
        return dataFormatResult;
    }
    platform::InputResult setCooperativeLevel(platform::KeyboardDevice*, platform::Window* w,
                                              std::uint32_t flags) override {
        log.push_back("setCooperativeLevel");
        cooperativeWindow = w;
        cooperativeFlags = flags;
        return cooperativeResult;
    }
    platform::InputResult acquire(platform::KeyboardDevice*) override {
        log.push_back("acquire");
        if (acquireResults.empty()) return platform::inputOk;
        const platform::InputResult r = acquireResults.front();
        acquireResults.pop_front();
        return r;
    }
    platform::InputResult getDeviceState(platform::KeyboardDevice*, std::uint32_t size, void* state) override {
        log.push_back("getDeviceState " + std::to_string(size));
        platform::InputResult r = platform::inputOk;
        if (!stateResults.empty()) {
            r = stateResults.front();
            stateResults.pop_front();
        }
        if (r >= 0) {
            std::memcpy(state, stateFill, 256);
        } else {
            std::memset(state, 0x5A, 256);  // a failed read leaves garbage behind
        }
        return r;
    }
    platform::InputResult unacquire(platform::KeyboardDevice*) override {
        log.push_back("unacquire");
        return platform::inputOk;
    }
    void releaseKeyboard(platform::KeyboardDevice*) override { log.push_back("releaseKeyboard"); }
    void releaseInput(platform::Input*) override { log.push_back("releaseInput"); }
    bool claimDisplay() override { return !displayTaken; }
};

// The show as the shell sees it, logging into the desktop's list.
struct FakeShow {
    static inline FakeDesktop* desktop = nullptr;
    static inline bool initResult = true;
    static inline show::ShowHost host;
    static inline std::vector<double> frames;
    static inline std::function<void(double, const std::uint8_t*)> onFrame;

    static void setShowHost(const show::ShowHost& h) {
        host = h;
        desktop->log.push_back("setShowHost");
    }
    static bool initShow() {
        desktop->log.push_back("initShow");
        return initResult;
    }
    static void drawShowFrame(double elapsed, const std::uint8_t* keys) {
        desktop->log.push_back("frame");
        frames.push_back(elapsed);
        if (onFrame) onFrame(elapsed, keys);
    }
    static std::int32_t strokeClock() { return 1234; }

    static void install(FakeDesktop& d) {
        desktop = &d;
        initResult = true;
        host = show::ShowHost{};
        frames.clear();
        onFrame = nullptr;
        shell::ShowCalls calls;
        calls.setShowHost = setShowHost;
        calls.initShow = initShow;
        calls.drawShowFrame = drawShowFrame;
        calls.strokeClockMs = strokeClock;
        shell::useShowCalls(calls);
    }
};

// Installs a fresh fake desktop and show for each test and puts the real ones back.
class ShellTest : public ::testing::Test {
protected:
    FakeDesktop fake;

    void SetUp() override {
        shell::useDesktop(&fake);
        FakeShow::install(fake);
        shell::appWindow = shell::AppWindow{};
        shell::keepRunning = false;
        shell::wantFullscreen = false;
        shell::viewWidth = 0;
        shell::viewHeight = 0;
    }
    void TearDown() override {
        shell::useDesktop(nullptr);
        shell::useShowCalls(shell::ShowCalls{});
    }

    // The state appMain sets up before the first cycle, for tests that call the window
    // functions on their own.
    shell::AppIdentity identity{fakeHandle<platform::InstanceTag>(0x42), "OpenGL"};
    void prepareRecord(int width = 640, int height = 480, int bits = 32, bool fullscreen = false) {
        shell::appWindow.identity = &identity;
        shell::appWindow.title = shell::windowTitle;
        shell::appWindow.settings = shell::DisplaySettings{width, height, bits, fullscreen, true};
        fake.registerClass(platform::WindowClass{"OpenGL", identity.instance, shell::appWindowProc});
        fake.log.clear();
    }
};

inline std::intptr_t FakeDesktop::dialogBox(platform::Instance, int templateId, platform::DialogProc proc,
                                            std::intptr_t param) {
    log.push_back("dialogBox " + std::to_string(templateId));
    if (dialogGone) return platform::dialogAbandoned;
    if (!dialogShown) return -1;
    lastForm = FakeForm{};
    proc(lastForm, platform::DialogMessage::initDialog, 0, param);
    if (onDialog) onDialog(lastForm, proc);
    return lastForm.ended ? lastForm.result : -1;
}

}  // namespace shelltest
